// Times the unit dialog's preview of a model of N faces (tekpaint's hidden-line picture
// painted into a window of the Windows stand-in, set up as the dialog's preview is) against
// the same faces and edges rasterised straight with cairo, in the same order, without hiding
// anything. Usage: preview_bench FACES [OUT.png]
// prints "faces N preview SECONDS reference SECONDS" (processor seconds, best of three runs).
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "tekpaint.h"
#include "tekshape.h"
#include "windows.h"

namespace {

const int kWidth = 230, kHeight = 210;  // the dialog's picture control in pixels
const int kSides = 24;                  // faces around a cylinder; as many again in its lid
const double kPi = 3.14159265358979323846;
const double kView[3] = {-1, -1.2, 0.9};

// A field of upright cylinders of varying height, each 24 side quads and a lid of 24
// triangles, seam edges hidden as the product models hide them.
void addCylinder(gm_model* list, double cx, double cy, double r, double h) {
  for (int k = 0; k < kSides; ++k) {
    double a0 = 2 * kPi * k / kSides, a1 = 2 * kPi * (k + 1) / kSides;
    double x0 = cx + r * std::cos(a0), y0 = cy + r * std::sin(a0);
    double x1 = cx + r * std::cos(a1), y1 = cy + r * std::sin(a1);
    gm_model_add(list, GM_FACE, 1, x0, y0, 0);
    gm_model_add(list, GM_FACE_VERTEX, 1, x1, y1, 0);
    gm_model_add(list, GM_FACE_VERTEX, GM_PEN_INVISIBLE, x1, y1, h);
    gm_model_add(list, GM_FACE_LAST, GM_PEN_INVISIBLE, x0, y0, h);
    gm_model_add(list, GM_FACE, GM_PEN_INVISIBLE, cx, cy, h);
    gm_model_add(list, GM_FACE_VERTEX, 1, x0, y0, h);
    gm_model_add(list, GM_FACE_LAST, GM_PEN_INVISIBLE, x1, y1, h);
  }
}

gm_model makeModel(int faces) {
  gm_model list;
  gm_model_init(&list);
  int cylinders = std::max(1, faces / (2 * kSides));
  int side = static_cast<int>(std::ceil(std::sqrt(cylinders)));
  unsigned seed = 12345;
  for (int i = 0; i < cylinders; ++i) {
    seed = seed * 1103515245u + 12345u;
    double h = 300 + (seed >> 16) % 900;
    addCylinder(&list, (i % side) * 400.0, (i / side) * 400.0, 150, h);
  }
  return list;
}

// Processor time of this process: a shared machine's other work does not count.
double now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// The preview as the unit dialog paints it: one material, the edge pen, the depth offset
// for lines on faces, the model's view fitted to the picture, painted into the window.
double preview(const gm_model& list, HWND window) {
  const double start = now();
  tp_context* ctx = tp_create_without_wnd(0, 0, kWidth, kHeight);
  tp_define_material(ctx, 1, 1, 0xE8DED6, 0, 0.6, 0.4);
  tp_define_pen(ctx, 1001, 0, -1, 0, 0, 255);
  tp_set_pen_width(ctx, 1001, -16, 0, 0, 255);
  tp_set_depth_offset(ctx, -10.0);
  const double origin[3] = {0, 0, 0};
  tp_add_model(ctx, 1, origin, 0, 0, &list, 65);
  tp_set_view_direction(ctx, kView[0], kView[1], kView[2]);
  tp_update_view(ctx);
  tp_fit_view(ctx);
  HDC dc = GetDC(window);
  tp_paint(ctx, dc);
  ReleaseDC(window, dc);
  tp_destroy(ctx);
  return now() - start;
}

// The same faces, projected the same way, filled and their visible edges stroked with
// cairo in list order: no sorting, no hiding.
double reference(const gm_model& list, const char* png) {
  const double start = now();
  gm_vector w{kView[0], kView[1], kView[2]}, z{0, 0, 1}, u, v;
  gm_vector_set_length(&w, 1.0);
  gm_vector_cross(&z, &w, &u);
  gm_vector_set_length(&u, 1.0);
  gm_vector_cross(&w, &u, &v);
  std::vector<double> xy(static_cast<size_t>(list.count) * 2);
  double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
  for (int i = 0; i < list.count; ++i) {
    gm_vector p{list.items[i].x, list.items[i].y, list.items[i].z};
    xy[2 * i] = gm_vector_dot(&p, &u);
    xy[2 * i + 1] = gm_vector_dot(&p, &v);
    for (int c = 0; c < 2; ++c) {
      lo[c] = std::min(lo[c], xy[2 * i + c]);
      hi[c] = std::max(hi[c], xy[2 * i + c]);
    }
  }
  double scale = std::min(kWidth / (hi[0] - lo[0]), kHeight / (hi[1] - lo[1])) / 1.1;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_line_width(cr, 2);
  auto at = [&](int i, double& x, double& y) {
    x = kWidth / 2.0 + (xy[2 * i] - (lo[0] + hi[0]) / 2) * scale;
    y = kHeight / 2.0 - (xy[2 * i + 1] - (lo[1] + hi[1]) / 2) * scale;
  };
  for (int i = 0; i < list.count;) {
    int n = (i + 3 < list.count && list.items[i + 2].code == GM_FACE_VERTEX) ? 4 : 3;
    double x, y;
    at(i, x, y);
    cairo_move_to(cr, x, y);
    for (int k = 1; k < n; ++k) {
      at(i + k, x, y);
      cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.82, 0.82, 0.84);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 1);
    for (int k = 0; k < n; ++k) {
      if (list.items[i + k].pen == GM_PEN_INVISIBLE) continue;
      double x0, y0, x1, y1;
      at(i + k, x0, y0);
      at(i + (k + 1) % n, x1, y1);
      cairo_move_to(cr, x0, y0);
      cairo_line_to(cr, x1, y1);
      cairo_stroke(cr);
    }
    i += n;
  }
  cairo_surface_flush(surface);
  double elapsed = now() - start;
  if (png) cairo_surface_write_to_png(surface, png);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  int faces = argc > 1 ? std::atoi(argv[1]) : 0;
  if (faces <= 0) {
    std::fprintf(stderr, "usage: preview_bench FACES [OUT.png]\n");
    return 2;
  }
  gm_model list = makeModel(faces);
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr, nullptr,
                                nullptr, nullptr);
  double best = 1e300, bestReference = 1e300;
  for (int run = 0; run < 3; ++run) {
    best = std::min(best, preview(list, window));
    bestReference = std::min(bestReference, reference(list, run == 0 && argc > 2 ? argv[2] : nullptr));
  }
  int count = 0;
  for (int i = 0; i < list.count; ++i) count += list.items[i].code == GM_FACE;
  std::printf("faces %d preview %.4f reference %.4f\n", count, best, bestReference);
  DestroyWindow(window);
  gm_model_free(&list);
  winShutdownGraphics();
  return 0;
}
