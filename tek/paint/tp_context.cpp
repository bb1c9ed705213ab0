// The drawing context: materials, pens, scene objects and the view.
#include "tp_internal.h"

#include <cmath>
#include <new>

namespace tekpaint {

uint32_t rgb(int r, int g, int b) {
  auto c = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  return c(r) | (c(g) << 8) | (c(b) << 16);
}

Basis basisFor(const gm_vector& direction) {
  Basis b;
  b.w = direction;
  if (gm_vector_set_length(&b.w, 1.0) != 0) return Basis();
  gm_vector up{0, 0, 1};
  gm_vector_cross(&up, &b.w, &b.u);
  if (gm_vector_set_length(&b.u, 1.0) != 0) {
    // Looking straight down or up: screen right is world X.
    b.u = {1, 0, 0};
  }
  gm_vector_cross(&b.w, &b.u, &b.v);
  gm_vector_set_length(&b.v, 1.0);
  return b;
}

}  // namespace tekpaint

using namespace tekpaint;

namespace {

bool isFinite(double v) { return std::isfinite(v); }

}  // namespace

extern "C" {

tp_context* tp_create_without_wnd(int x, int y, int width, int height) {
  if (width < 0 || height < 0) return nullptr;
  tp_context* ctx = new (std::nothrow) tp_context;
  if (!ctx) return nullptr;
  ctx->x = x;
  ctx->y = y;
  ctx->width = width;
  ctx->height = height;
  ctx->basis = basisFor(ctx->direction);
  return ctx;
}

void tp_destroy(tp_context* ctx) { delete ctx; }

int tp_define_material(tp_context* ctx, int number, int32_t kind, int32_t colour, int16_t,
                       double ambient, double diffuse) {
  if (!ctx || number < 1 || !isFinite(ambient) || !isFinite(diffuse)) return -1;
  Material m;
  m.kind = kind;
  m.colour = static_cast<uint32_t>(colour) & 0xFFFFFF;
  m.ambient = ambient < 0 ? 0 : (ambient > 1 ? 1 : ambient);
  m.diffuse = diffuse < 0 ? 0 : (diffuse > 1 ? 1 : diffuse);
  ctx->materials[number] = m;
  return 0;
}

int tp_define_pen(tp_context* ctx, int number, int, int width, int red, int green, int blue) {
  if (!ctx) return -1;
  ctx->pens[number] = Pen{rgb(red, green, blue), width == 0 ? -1 : width};
  return 0;
}

int tp_set_pen_width(tp_context* ctx, int number, int width, int red, int green, int blue) {
  return tp_define_pen(ctx, number, 0, width, red, green, blue);
}

int tp_set_window(tp_context* ctx, double xmin, double ymin, double xmax, double ymax) {
  if (!ctx || !isFinite(xmin) || !isFinite(ymin) || !isFinite(xmax) || !isFinite(ymax)) return -1;
  if (!(xmax > xmin) || !(ymax > ymin)) return -1;
  ctx->cx = (xmin + xmax) / 2;
  ctx->cy = (ymin + ymax) / 2;
  ctx->viewWidth = xmax - xmin;
  ctx->viewHeight = ymax - ymin;
  return 0;
}

int tp_set_background(tp_context* ctx, int red, int green, int blue) {
  if (!ctx) return -1;
  ctx->background = rgb(red, green, blue);
  return 0;
}

int tp_enable(tp_context* ctx, int feature) {
  if (!ctx || feature < 0 || feature > 2) return -1;
  ctx->features[feature] = true;
  return 0;
}

int tp_disable(tp_context* ctx, int feature) {
  if (!ctx || feature < 0 || feature > 2) return -1;
  ctx->features[feature] = false;
  return 0;
}

int tp_set_depth_offset(tp_context* ctx, double offset) {
  if (!ctx || !isFinite(offset)) return -1;
  ctx->depthOffset = offset;
  return 0;
}

int tp_add_model(tp_context* ctx, int number, const double origin[3], int, int,
                 const gm_model* model, int flags) {
  if (!ctx || !model || model->count < 0 || (model->count > 0 && !model->items)) return -1;
  try {
    std::unique_ptr<SceneObject> o(new SceneObject);
    if (model->count > 0 && gm_model_copy(model, &o->items, GM_COPY_APPEND) != 0) return -1;
    if (origin)
      for (int i = 0; i < 3; ++i) o->origin[i] = isFinite(origin[i]) ? origin[i] : 0;
    o->flags = flags;
    ctx->objects[number] = std::move(o);
  } catch (...) {
    return -1;
  }
  return 0;
}

int tp_set_view_direction(tp_context* ctx, double x, double y, double z) {
  if (!ctx || !isFinite(x) || !isFinite(y) || !isFinite(z)) return -1;
  gm_vector d{x, y, z};
  if (!(gm_vector_length(&d) > 0)) return -1;
  ctx->direction = d;
  ctx->basis = basisFor(d);
  return 0;
}

int tp_update_view(tp_context* ctx) {
  if (!ctx) return -1;
  ctx->basis = basisFor(ctx->direction);
  return 0;
}

int tp_get_view(const tp_context* ctx, double view[10]) {
  if (!ctx || !view) return -1;
  view[0] = ctx->cx;
  view[1] = ctx->cy;
  view[2] = ctx->viewWidth;
  view[3] = ctx->viewHeight;
  view[4] = ctx->direction.x;
  view[5] = ctx->direction.y;
  view[6] = ctx->direction.z;
  view[7] = ctx->depthOffset;
  view[8] = ctx->width;
  view[9] = ctx->height;
  return 0;
}

int tp_set_view(tp_context* ctx, const double view[10]) {
  if (!ctx || !view) return -1;
  for (int i = 0; i < 7; ++i)
    if (!isFinite(view[i])) return -1;
  if (!(view[2] > 0) || !(view[3] > 0)) return -1;
  ctx->cx = view[0];
  ctx->cy = view[1];
  ctx->viewWidth = view[2];
  ctx->viewHeight = view[3];
  if (view[4] != 0 || view[5] != 0 || view[6] != 0)
    tp_set_view_direction(ctx, view[4], view[5], view[6]);
  return 0;
}

}  // extern "C"
