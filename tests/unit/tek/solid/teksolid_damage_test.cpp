// Guards the model reader against hostile data blocks: random and mutated bytes must never crash or yield non-finite geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "teksolid.h"

namespace {

const char* const kSeed =
    "teksolid 1\n"
    "param L = 1000\n"
    "param P1 = 1\n"
    "param D = 200\n"
    "material kind=1 colour=(200, 200, 200)\n"
    "box origin=(-L/2, -100, 0) size=(L, 200, 300)\n"
    "cylinder base=(0,0,300) axis=(0,0,1) radius=D/2 length=(L-900)*2\n"
    "arc centre=(0,0,0) normal=(0,0,1) major=(10,0,0) start=0 end=90 ratio=0.5\n"
    "line points=((0,0,0),(1,0,0),(1,1,0)) closed=1 when=cat\n"
    "connection slot=1 at=(L/2, 0, 150) dir=(1, 0, 0) normal=(0, 0, 1) collar=50\n";

// Feeds a block to the reader; when accepted, draws it with a few parameter values.
void exercise(const std::string& block) {
  ts_model* m = ts_create_model(0, block.data(), static_cast<long>(block.size()), nullptr);
  if (!m) return;
  const char* values[] = {"0", "-1", "1000000000", "7"};
  for (const char* name : {"L", "D", "cat", "P1"})
    for (const char* v : values) {
      ts_set_parameter(m, name, v);
      gm_model list;
      gm_model_init(&list);
      if (ts_draw(m, &list) == 0) {
        for (int i = 0; i < list.count; ++i)
          ASSERT_TRUE(std::isfinite(list.items[i].x + list.items[i].y + list.items[i].z));
      }
      gm_model_free(&list);
    }
  ts_free_model(m);
}

}  // namespace

TEST(TsFuzz, RandomBytesNeverCrash) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string block(rng() % 200, '\0');
    for (char& c : block) c = static_cast<char>(rng());
    if (round % 2) block = "teksolid 1\n" + block;
    exercise(block);
  }
}

TEST(TsFuzz, MutatedValidBlocksNeverCrash) {
  std::mt19937 rng(777);
  const std::string seed = kSeed;
  const std::string alphabet = "()+-*/,=#\n 0123456789.LDPcatboxe";
  for (int round = 0; round < 4000; ++round) {
    std::string block = seed;
    int edits = 1 + rng() % 6;
    for (int k = 0; k < edits; ++k) {
      size_t at = rng() % (block.size() + 1);
      switch (rng() % 3) {
        case 0: if (at < block.size()) block.erase(at, 1 + rng() % 4); break;
        case 1: block.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
        default: if (at < block.size()) block[at] = alphabet[rng() % alphabet.size()]; break;
      }
    }
    exercise(block);
  }
}
