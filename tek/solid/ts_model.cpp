// The model object: creation from a data block, parameters, materials, evaluation.
#include "ts_internal.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

namespace teksolid {

int findParameter(const Block& block, const char* name, size_t length) {
  for (size_t i = 0; i < block.params.size(); ++i) {
    const std::string& p = block.params[i].name;
    if (p.size() == length && std::memcmp(p.data(), name, length) == 0) return static_cast<int>(i);
  }
  return -1;
}

bool evaluateOne(const Block& block, const std::vector<long long>& params, size_t i,
                 std::vector<double>& values) {
  const Expr& e = block.exprs[i];
  double v = 0;
  if (e.kind == Expr::Number) {
    v = e.value;
  } else if (e.kind == Expr::Param) {
    if (e.op.a < 0 || static_cast<size_t>(e.op.a) >= params.size()) return false;
    v = static_cast<double>(params[e.op.a]);
  } else {
    const bool binary = e.kind != Expr::Neg;
    if (e.op.a < 0 || static_cast<size_t>(e.op.a) >= i) return false;
    if (binary && (e.op.b < 0 || static_cast<size_t>(e.op.b) >= i)) return false;
    const double a = values[e.op.a], b = binary ? values[e.op.b] : 0;
    switch (e.kind) {
      case Expr::Neg: v = -a; break;
      case Expr::Add: v = a + b; break;
      case Expr::Sub: v = a - b; break;
      case Expr::Mul: v = a * b; break;
      default:
        if (std::fabs(b) < 1e-12) return false;
        v = a / b;
    }
  }
  if (!std::isfinite(v) || std::fabs(v) > kMaxMagnitude) return false;
  values[i] = v;
  return true;
}

bool evaluateAll(const Block& block, const std::vector<long long>& params, std::vector<double>& values) {
  values.assign(block.exprs.size(), 0.0);
  for (size_t i = 0; i < block.exprs.size(); ++i)
    if (!evaluateOne(block, params, i, values)) return false;
  return true;
}

}  // namespace teksolid

using namespace teksolid;

namespace {

double clampValue(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Material records from their expressions, with the block's default parameters.
void fillMaterials(Block& m) {
  auto value = [&](int e, double fallback) { return e >= 0 ? m.defaults[e] : fallback; };
  for (size_t i = 0; i + 7 <= m.materialExprs.size(); i += 7) {
    const int* e = &m.materialExprs[i];
    ts_material mat;
    std::memset(&mat, 0, sizeof(mat));
    mat.kind = static_cast<int32_t>(value(e[0], 0));
    int rgb[3];
    for (int k = 0; k < 3; ++k) rgb[k] = static_cast<int>(std::lround(clampValue(value(e[1 + k], 200), 0, 255)));
    mat.colour = rgb[0] | (rgb[1] << 8) | (rgb[2] << 16);
    mat.flags = static_cast<int16_t>(clampValue(value(e[4], 0), -32768, 32767));
    mat.ambient = clampValue(value(e[5], 0.4), 0, 1);
    mat.diffuse = clampValue(value(e[6], 0.6), 0, 1);
    m.materials.push_back(mat);
  }
}

// Strict decimal integer, blanks around it allowed, within +-1e9.
bool parseInteger(const char* text, long long& out) {
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
  long long v = 0;
  while (std::isdigit(static_cast<unsigned char>(*text))) {
    v = v * 10 + (*text++ - '0');
    if (v > static_cast<long long>(kMaxMagnitude)) return false;
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (*text) return false;
  out = negative ? -v : v;
  return true;
}

// A product's models are read several times in an import: each part's for its
// connections, then the unit's again for its block and for its picture. The blocks read
// last are kept, and the same block again shares its reading instead of being parsed again.
const size_t kKeptBlocks = 8;

struct ReadBlock {
  std::string text;
  std::shared_ptr<const Block> block;
};

struct LastRead {
  std::mutex lock;
  std::vector<ReadBlock> kept;  // the most recently used last
};

LastRead& lastRead() {
  static LastRead last;
  return last;
}

// The block of a data block's text, or null when it does not read; throws std::bad_alloc.
std::shared_ptr<const Block> readBlock(const char* text, size_t size) {
  LastRead& last = lastRead();
  {
    std::lock_guard<std::mutex> hold(last.lock);
    for (size_t i = 0; i < last.kept.size(); ++i) {
      const ReadBlock& r = last.kept[i];
      if (r.text.size() != size || std::memcmp(r.text.data(), text, size) != 0) continue;
      std::shared_ptr<const Block> found = r.block;
      std::rotate(last.kept.begin() + i, last.kept.begin() + i + 1, last.kept.end());
      return found;
    }
  }
  auto block = std::make_shared<Block>();
  std::vector<long long> params;
  if (!parseBlock(text, size, *block)) return nullptr;
  for (const Parameter& p : block->params) params.push_back(p.value);
  if (!evaluateAll(*block, params, block->defaults)) return nullptr;
  fillMaterials(*block);
  ReadBlock read{std::string(text, size), block};
  std::lock_guard<std::mutex> hold(last.lock);
  if (last.kept.size() >= kKeptBlocks) last.kept.erase(last.kept.begin());
  last.kept.push_back(std::move(read));
  return block;
}

ts_model* newModel(std::shared_ptr<const Block> block) {
  std::unique_ptr<ts_model> model(new ts_model);
  model->params.reserve(block->params.size());
  for (const Parameter& p : block->params) model->params.push_back(p.value);
  model->values = block->defaults;
  model->block = std::move(block);
  return model.release();
}

// Parameter p set to v, and the expressions that depend on it evaluated again; on a value
// that may not be taken, everything is put back and false returned.
bool changeParameter(ts_model& m, int p, long long v) {
  const Block& block = *m.block;
  const long long old = m.params[p];
  if (old == v) return true;
  m.params[p] = v;
  const std::vector<int>& own = block.users[p];
  const std::vector<int>& several = block.several;
  std::vector<std::pair<int, double>> before;
  before.reserve(own.size() + several.size());
  size_t i = 0, j = 0;
  bool ok = true;
  while (ok && (i < own.size() || j < several.size())) {
    int next = (j >= several.size() || (i < own.size() && own[i] < several[j])) ? own[i++] : several[j++];
    before.emplace_back(next, m.values[next]);
    ok = evaluateOne(block, m.params, static_cast<size_t>(next), m.values);
  }
  if (ok) return true;
  for (const auto& kept : before) m.values[kept.first] = kept.second;
  m.params[p] = old;
  return false;
}

}  // namespace

extern "C" {

ts_model* ts_create_model(int, const void* data, long size, int16_t* count) {
  if (count) *count = 0;
  if (!data || size <= 0 || size > TS_MAX_BLOCK_SIZE) return nullptr;
  ts_model* model = nullptr;
  try {
    std::shared_ptr<const Block> block = readBlock(static_cast<const char*>(data), static_cast<size_t>(size));
    if (block) model = newModel(std::move(block));
  } catch (...) {
    model = nullptr;  // out of memory while reading
  }
  if (!model) return nullptr;
  const size_t statements = model->block->statements.size();
  if (count) *count = static_cast<int16_t>(statements > 32767 ? 32767 : statements);
  return model;
}

int ts_set_parameter(ts_model* model, const char* name, const char* value) {
  if (!model || !name || !value) return -1;
  int p = findParameter(*model->block, name, std::strlen(name));
  if (p < 0) return -1;
  long long v;
  if (!parseInteger(value, v)) return -2;
  bool ok;
  try {
    ok = changeParameter(*model, p, v);
  } catch (...) {
    ok = false;  // no memory to keep the old values: nothing was changed
  }
  return ok ? 0 : -3;
}

int ts_get_parameter(const ts_model* model, const char* name, long* value) {
  if (!model || !name || !value) return -1;
  int p = findParameter(*model->block, name, std::strlen(name));
  if (p < 0) return -1;
  *value = static_cast<long>(model->params[p]);
  return 0;
}

void ts_free_model(ts_model* model) { delete model; }

int ts_material_count(const ts_model* model) {
  return model ? static_cast<int>(model->block->materials.size()) : 0;
}

int ts_get_material(const ts_model* model, int index, ts_material* out) {
  if (!out) return -1;
  std::memset(out, 0, sizeof(*out));
  if (!model || index < 0 || static_cast<size_t>(index) >= model->block->materials.size()) return -1;
  *out = model->block->materials[index];
  return 0;
}

double ts_line_width(const ts_model* model) { return model ? model->block->lineWidth : 0.0; }

// The values always belong to the current parameters: every change that would not
// evaluate is refused, so there is nothing left to check.
int ts_prepare(ts_model* model) { return model ? 0 : -1; }

int ts_draw(ts_model* model, gm_model* out) {
  if (!model || !out) return -1;
  try {
    return drawModel(*model, out) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

int ts_default_view(const ts_model* model, double out[3]) {
  if (!model || !out) return -1;
  const int* view = model->block->view;
  if (view[0] >= 0) {
    for (int i = 0; i < 3; ++i) out[i] = model->values[view[i]];
    if (out[0] != 0 || out[1] != 0 || out[2] != 0) return 0;
  }
  out[0] = -1;
  out[1] = -1;
  out[2] = 1;
  return 0;
}

}  // extern "C"
