// Times the host opening a drawing and saving it.
// Usage: dxfio_bench IN.dxf OUT.dxf   prints "open SECONDS save SECONDS entities COUNT".
#include <chrono>
#include <cstdio>
#include <string>

#include "arxhost.h"

namespace {
double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dxfio_bench IN.dxf OUT.dxf\n");
    return 2;
  }
  std::string in = argv[1], out = argv[2];
  std::wstring win(in.begin(), in.end()), wout(out.begin(), out.end()), why;
  AcDbDatabase db(false);
  auto start = std::chrono::steady_clock::now();
  if (db.dxfIn(win.c_str(), &why) != Acad::eOk) {
    std::fprintf(stderr, "dxfio_bench: %s does not open\n", in.c_str());
    return 1;
  }
  double open = since(start);
  start = std::chrono::steady_clock::now();
  if (db.dxfOut(wout.c_str(), &why) != Acad::eOk) {
    std::fprintf(stderr, "dxfio_bench: %s is not saved\n", out.c_str());
    return 1;
  }
  double save = since(start);
  AcDbBlockTableRecord* ms = nullptr;
  size_t entities = 0;
  if (acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead) == Acad::eOk) {
    entities = ms->entities().size();
    ms->close();
  }
  std::printf("open %.4f save %.4f entities %zu\n", open, save, entities);
  return 0;
}
