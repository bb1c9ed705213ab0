// Times block_build_from_a2d on a display list of N elements, then the drawing's save.
// Usage: blocks_bench N OUT.dxf   prints "build SECONDS save SECONDS entities COUNT".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "arxhost.h"
#include "blocks.h"
#include "hosttest.h"
#include "tekshape.h"

namespace {

// One group of 18 elements: a run of three lines, a circle, an elliptical arc, a quad face
// and a triangle face. bench/blocks.sh builds the same entities with ezdxf.
const int kGroupElements = 18;

void addGroup(gm_model* list, int k) {
  double x = (k % 100) * 10.0, y = (k / 100) * 10.0;
  gm_model_add(list, GM_RUN_START, 1, x, y, 0);
  gm_model_add(list, GM_RUN_POINT, 1, x + 5, y, 0);
  gm_model_add(list, GM_RUN_POINT, 2, x + 5, y + 5, 0);
  gm_model_add(list, GM_RUN_END, 1, x, y + 5, 0);
  gm_model_add(list, GM_CIRCLE, 3, x + 2.5, y + 2.5, 1);
  gm_model_add(list, GM_CIRCLE_NORMAL, 3, 0, 0, 1);
  gm_model_add(list, GM_CIRCLE_RADIUS, 3, 2, 0, 0);
  gm_model_add(list, GM_ARC, 4, x + 2.5, y + 2.5, 2);
  gm_model_add(list, GM_ARC_NORMAL, 4, 0, 0, 1);
  gm_model_add(list, GM_ARC_MAJOR, 4, 3, 0, 0);
  gm_model_add(list, GM_ARC_ANGLES, 4, 0, 3.14159, 0.5);
  gm_model_add(list, GM_FACE, 1, x, y, 3);
  gm_model_add(list, GM_FACE_VERTEX, 99, x + 5, y, 3);
  gm_model_add(list, GM_FACE_VERTEX, 1, x + 5, y + 5, 3);
  gm_model_add(list, GM_FACE_LAST, 1, x, y + 5, 3);
  gm_model_add(list, GM_FACE, 2, x, y, 4);
  gm_model_add(list, GM_FACE_VERTEX, 2, x + 5, y, 4);
  gm_model_add(list, GM_FACE_LAST, 2, x + 5, y + 5, 4);
}

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: blocks_bench ELEMENTS OUT.dxf\n");
    return 2;
  }
  long elements = std::atol(argv[1]);
  cadhost::startTestSession();
  gm_model list;
  gm_model_init(&list);
  for (int k = 0; (long)(k + 1) * kGroupElements <= elements; ++k) addGroup(&list, k);

  auto start = std::chrono::steady_clock::now();
  AcDbObjectId block = block_build_from_a2d("Zephyr1", "0", "L2", "L3", "L4", &list);
  double build = since(start);
  if (block.isNull()) {
    std::fprintf(stderr, "blocks_bench: block not built\n");
    return 1;
  }
  AcDbObjectId reference =
      block_insertblockref("Zephyr1", "0", false, AcGePoint3d(0, 0, 0), false, 0.0, 1.0);
  std::string out = argv[2];
  std::wstring wout(out.begin(), out.end());
  start = std::chrono::steady_clock::now();
  Acad::ErrorStatus saved = acdbHostApplicationServices()->workingDatabase()->dxfOut(wout.c_str());
  double save = since(start);
  if (reference.isNull() || saved != Acad::eOk) {
    std::fprintf(stderr, "blocks_bench: reference or save failed\n");
    return 1;
  }
  AcDbBlockTableRecord* record = nullptr;
  size_t entities = 0;
  if (acdbOpenObject(record, block, AcDb::kForRead) == Acad::eOk) {
    entities = record->entities().size();
    record->close();
  }
  std::printf("build %.4f save %.4f entities %zu\n", build, save, entities);
  gm_model_free(&list);
  cadhost::endTestSession();
  return 0;
}
