// The costs of hostile and large foreign files, each against a reference of the same size
// in the same run. Usage: foreign_bench WORK_FOLDER   prints, for each case,
// "NAME SECONDS REFERENCE_SECONDS" (best of three):
//   layers  a drawing of 40 000 layers, a line on each | 40 000 lines on one layer
//   keys    a hive of 40 000 sibling keys | 40 000 keys, 200 under each of 200
//   picks   opening and one pick in a drawing whose blocks insert the one below three
//           times, 14 levels deep | opening it
//   cycle   refusing a drawing whose blocks insert each other | opening the 14 levels
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "arxhost.h"
#include "hosttest.h"
#include "windows.h"
#include "winhost.h"

namespace {

const int kCount = 40000;
const int kGroups = 200;
const int kLevels = 14;

double best(const std::function<void()>& run) {
  double least = 1e9;
  for (int i = 0; i < 3; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    least = std::min(least, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return least;
}

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string line(int i, const std::string& layer) {
  return "  0\nLINE\n  5\n" + std::to_string(100000 + i) + "\n  8\n" + layer + "\n 10\n0.0\n 20\n" + std::to_string(i) +
         "\n 30\n0.0\n 11\n1.0\n 21\n" + std::to_string(i) + "\n 31\n0.0\n";
}

std::string drawing(const std::string& tables, const std::string& blocks, const std::string& entities) {
  return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n"
         "  0\nSECTION\n  2\nTABLES\n" + tables + "  0\nENDSEC\n"
         "  0\nSECTION\n  2\nBLOCKS\n" + blocks + "  0\nENDSEC\n"
         "  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n";
}

bool open(const std::string& path) {
  AcDbDatabase db(false);
  std::wstring wide(path.begin(), path.end());
  return db.dxfIn(wide.c_str()) == Acad::eOk;
}

// Blocks B0 (a line) to B13, each inserting the one below three times; model space one B13.
// With "cycle", B0 inserts B13 too.
std::string levels(bool cycle) {
  std::string blocks;
  for (int k = 0; k < kLevels; ++k) {
    blocks += "  0\nBLOCK\n  2\nB" + std::to_string(k) + "\n 10\n0.0\n 20\n0.0\n 30\n0.0\n";
    if (k == 0) blocks += line(0, "0");
    for (int j = 0; k > 0 && j < 3; ++j)
      blocks += "  0\nINSERT\n  2\nB" + std::to_string(k - 1) + "\n 10\n" + std::to_string(j * 2) + ".0\n 20\n0.0\n";
    if (k == 0 && cycle) blocks += "  0\nINSERT\n  2\nB" + std::to_string(kLevels - 1) + "\n 10\n0.0\n 20\n0.0\n";
    blocks += "  0\nENDBLK\n";
  }
  return drawing("", blocks, "  0\nINSERT\n  2\nB" + std::to_string(kLevels - 1) + "\n 10\n0.0\n 20\n0.0\n");
}

void layers(const std::string& work) {
  std::string table = "  0\nTABLE\n  2\nLAYER\n", many, one;
  for (int i = 0; i < kCount; ++i) {
    table += "  0\nLAYER\n  2\nL" + std::to_string(i) + "\n 70\n0\n 62\n7\n  6\nCONTINUOUS\n";
    many += line(i, "L" + std::to_string(i));
    one += line(i, "0");
  }
  write(work + "/layers.dxf", drawing(table + "  0\nENDTAB\n", "", many));
  write(work + "/one.dxf", drawing("", "", one));
  double t = best([&] { open(work + "/layers.dxf"); }), r = best([&] { open(work + "/one.dxf"); });
  std::printf("layers %.4f %.4f\n", t, r);
}

double loadHive(const std::string& folder) {
  return best([&] {
    winSetMachineFolder(folder);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\K0", 0, KEY_READ, &key) == ERROR_SUCCESS) RegCloseKey(key);
  });
}

void keys(const std::string& work) {
  std::string wide = "Windows Registry Editor Version 5.00\n\n", deep = wide;
  for (int i = 0; i < kCount; ++i) {
    wide += "[HKEY_CURRENT_USER\\Software\\K" + std::to_string(i) + "]\n\"V\"=dword:00000001\n\n";
    deep += "[HKEY_CURRENT_USER\\Software\\K" + std::to_string(i % kGroups) + "\\K" + std::to_string(i) +
            "]\n\"V\"=dword:00000001\n\n";
  }
  std::system(("mkdir -p '" + work + "/wide' '" + work + "/deep'").c_str());
  write(work + "/wide/user.reg", wide);
  write(work + "/deep/user.reg", deep);
  double t = loadHive(work + "/wide"), r = loadHive(work + "/deep");
  std::printf("keys %.4f %.4f\n", t, r);
}

void picks(const std::string& work) {
  write(work + "/levels.dxf", levels(false));
  write(work + "/cycle.dxf", levels(true));
  std::wstring path = std::wstring(work.begin(), work.end()) + L"/levels.dxf";
  double opening = best([&] { open(work + "/levels.dxf"); });
  double picking = best([&] {
    AcDbDatabase db(false);
    db.dxfIn(path.c_str());
    cadhost::startTestSession({"0.5,0"});
    acdbHostApplicationServices()->setWorkingDatabase(&db);
    ads_name picked;
    ads_point at;
    if (acedEntSel(L"Select object: ", picked, at) != RTNORM) std::fprintf(stderr, "foreign_bench: nothing picked\n");
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    cadhost::endTestSession();
  });
  std::printf("picks %.4f %.4f\n", picking, opening);
  double refusing = best([&] {
    if (open(work + "/cycle.dxf")) std::fprintf(stderr, "foreign_bench: the cycle was read\n");
  });
  std::printf("cycle %.4f %.4f\n", refusing, opening);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: foreign_bench WORK_FOLDER\n");
    return 2;
  }
  std::string work = argv[1];
  layers(work);
  keys(work);
  picks(work);
  return 0;
}
