// Points, vectors and 4 x 4 frames (column vectors; columns are X, Y, Z axes and origin).
#include "tekshape.h"

#include <cmath>
#include <cstring>
#include <utility>

extern "C" {

void gm_point_copy(gm_point* target, const gm_point* source) {
  if (target && source) *target = *source;
}

void gm_vector_copy(gm_vector* target, const gm_vector* source) {
  if (target && source) *target = *source;
}

void gm_vector_cross(const gm_vector* a, const gm_vector* b, gm_vector* out) {
  if (!a || !b || !out) return;
  gm_vector r{a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
  *out = r;
}

double gm_vector_dot(const gm_vector* a, const gm_vector* b) {
  if (!a || !b) return 0.0;
  return a->x * b->x + a->y * b->y + a->z * b->z;
}

double gm_vector_length(const gm_vector* v) {
  if (!v) return 0.0;
  return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
}

int gm_vector_set_length(gm_vector* v, double length) {
  if (!v) return -1;
  double current = gm_vector_length(v);
  if (!(current > 0.0) || !std::isfinite(current) || !std::isfinite(length)) return -1;
  double f = length / current;
  v->x *= f;
  v->y *= f;
  v->z *= f;
  return 0;
}

void gm_frame_init(gm_frame* frame) {
  if (!frame) return;
  std::memset(frame, 0, sizeof(*frame));
  for (int i = 0; i < 4; ++i) frame->m[i][i] = 1.0;
}

void gm_frame_copy(gm_frame* target, const gm_frame* source) {
  if (target && source) *target = *source;
}

void gm_frame_multiply(const gm_frame* a, const gm_frame* b, gm_frame* out) {
  if (!a || !b || !out) return;
  gm_frame r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k) s += a->m[i][k] * b->m[k][j];
      r.m[i][j] = s;
    }
  *out = r;
}

// General 4 x 4 inverse by Gauss-Jordan elimination with partial pivoting.
int gm_frame_invert(const gm_frame* source, gm_frame* out) {
  if (!source || !out) return -1;
  double a[4][8];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      a[i][j] = source->m[i][j];
      a[i][j + 4] = (i == j) ? 1.0 : 0.0;
    }
  double scale = 0.0;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) scale = std::fmax(scale, std::fabs(a[i][j]));
  if (!(scale > 0.0) || !std::isfinite(scale)) return -1;
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (std::fabs(a[pivot][col]) <= 1e-12 * scale) return -1;
    if (pivot != col)
      for (int j = 0; j < 8; ++j) std::swap(a[pivot][j], a[col][j]);
    double p = a[col][col];
    for (int j = 0; j < 8; ++j) a[col][j] /= p;
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      double f = a[r][col];
      if (f == 0.0) continue;
      for (int j = 0; j < 8; ++j) a[r][j] -= f * a[col][j];
    }
  }
  gm_frame r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = a[i][j + 4];
  *out = r;
  return 0;
}

static void set_column(gm_frame* frame, int col, double x, double y, double z) {
  if (!frame) return;
  frame->m[0][col] = x;
  frame->m[1][col] = y;
  frame->m[2][col] = z;
}

static void get_column(const gm_frame* frame, int col, double out[3]) {
  if (!frame || !out) return;
  out[0] = frame->m[0][col];
  out[1] = frame->m[1][col];
  out[2] = frame->m[2][col];
}

void gm_frame_set_xaxis(gm_frame* f, double x, double y, double z) { set_column(f, 0, x, y, z); }
void gm_frame_set_yaxis(gm_frame* f, double x, double y, double z) { set_column(f, 1, x, y, z); }
void gm_frame_set_zaxis(gm_frame* f, double x, double y, double z) { set_column(f, 2, x, y, z); }
void gm_frame_set_origin(gm_frame* f, double x, double y, double z) { set_column(f, 3, x, y, z); }
void gm_frame_get_xaxis(const gm_frame* f, double out[3]) { get_column(f, 0, out); }
void gm_frame_get_yaxis(const gm_frame* f, double out[3]) { get_column(f, 1, out); }
void gm_frame_get_zaxis(const gm_frame* f, double out[3]) { get_column(f, 2, out); }
void gm_frame_get_origin(const gm_frame* f, double out[3]) { get_column(f, 3, out); }

void gm_frame_transform_point(const gm_frame* f, const gm_point* in, gm_point* out) {
  if (!f || !in || !out) return;
  const double (*m)[4] = f->m;
  gm_point r{m[0][0] * in->x + m[0][1] * in->y + m[0][2] * in->z + m[0][3],
             m[1][0] * in->x + m[1][1] * in->y + m[1][2] * in->z + m[1][3],
             m[2][0] * in->x + m[2][1] * in->y + m[2][2] * in->z + m[2][3]};
  *out = r;
}

void gm_frame_transform_vector(const gm_frame* f, const gm_vector* in, gm_vector* out) {
  if (!f || !in || !out) return;
  const double (*m)[4] = f->m;
  gm_vector r{m[0][0] * in->x + m[0][1] * in->y + m[0][2] * in->z,
              m[1][0] * in->x + m[1][1] * in->y + m[1][2] * in->z,
              m[2][0] * in->x + m[2][1] * in->y + m[2][2] * in->z};
  *out = r;
}

}  // extern "C"
