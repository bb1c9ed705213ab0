// catalog_preview: pictures of the catalogue's products, for people to look at.
//
//   catalog_preview DICTIONARY DATABASE OUT_DIR [PRODUCT-ID...]
// opens the (uncompressed) model dictionary and database, draws each product's model with
// its parameters, as the unit dialog's preview does, and writes OUT_DIR/<id>.png
// (400 x 300). Without ids it draws every product of the catalogue source beside this
// program's source (CATALOG_SOURCE_DIR). Exit 0 when every picture was written.
#include <cairo.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalog_source.h"
#include "tekcore.h"
#include "tekpaint.h"
#include "teksolid.h"

namespace {

void setColour(cairo_t* cr, uint32_t c) {
  cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

void clear(void* user, uint32_t colour) {
  cairo_t* cr = static_cast<cairo_t*>(user);
  setColour(cr, colour);
  cairo_paint(cr);
}

void polygon(void* user, const double* xy, int count, uint32_t fill) {
  cairo_t* cr = static_cast<cairo_t*>(user);
  cairo_move_to(cr, xy[0], xy[1]);
  for (int k = 1; k < count; ++k) cairo_line_to(cr, xy[2 * k], xy[2 * k + 1]);
  cairo_close_path(cr);
  setColour(cr, fill);
  cairo_set_line_width(cr, 1.0);
  cairo_fill_preserve(cr);
  cairo_stroke(cr);
}

void line(void* user, double x0, double y0, double x1, double y1, uint32_t colour, double width) {
  cairo_t* cr = static_cast<cairo_t*>(user);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  setColour(cr, colour);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

// The product's model with its parameters set, or null (with a message).
ts_model* loadModel(int16_t db, const std::string& id) {
  char name[128], params[1024];
  int16_t count = 0;
  if (tc_get_attribute(db, "OTP", id.c_str(), 1525, &count, name, sizeof name) != 0 || count <= 0) {
    std::fprintf(stderr, "catalog_preview: %s has no model\n", id.c_str());
    return nullptr;
  }
  tc_get_attribute(db, "OTP", id.c_str(), 1507, &count, params, sizeof params);
  tc_record* rec = tc_find_record(db, "TSD", name, 0);
  long size = rec ? tc_get_data_size(db, rec) : -1;
  void* data = rec ? tc_load_data(db, rec, &size) : nullptr;
  ts_model* model = data ? ts_create_model(0, data, size, nullptr) : nullptr;
  tc_free_data(data);
  tc_release_record(rec);
  if (!model) {
    std::fprintf(stderr, "catalog_preview: model %s of %s not usable\n", name, id.c_str());
    return nullptr;
  }
  char* save = nullptr;
  for (char* field = strtok_r(params, ";", &save); field; field = strtok_r(nullptr, ";", &save)) {
    char* eq = std::strchr(field, '=');
    if (!eq) continue;
    *eq = '\0';
    ts_set_parameter(model, field, eq + 1);
  }
  return model;
}

bool picture(int16_t db, const std::string& id, const std::string& path) {
  ts_model* model = loadModel(db, id);
  if (!model) return false;
  const int width = 400, height = 300;
  tp_context* ctx = tp_create_without_wnd(0, 0, width, height);
  for (int i = 0; i < ts_material_count(model); ++i) {
    ts_material m;
    if (ts_get_material(model, i, &m) == 0 && m.kind != 0)
      tp_define_material(ctx, i + 1, m.kind, m.colour, m.flags, m.ambient, m.diffuse);
  }
  tp_define_pen(ctx, 1, 0, -1, 255, 0, 0);
  tp_define_pen(ctx, 2, 0, -1, 0, 255, 0);
  tp_define_pen(ctx, 3, 0, -1, 0, 0, 255);
  tp_define_pen(ctx, 1001, 0, -1, 0, 0, 255);
  int lineWidth = static_cast<int>(ts_line_width(model));
  tp_set_pen_width(ctx, 1001, -(lineWidth == 0 ? 16 : lineWidth), 0, 0, 255);
  tp_enable(ctx, TP_FACES);
  tp_enable(ctx, TP_EDGES);
  tp_enable(ctx, TP_BACKGROUND);
  tp_set_window(ctx, -50, -50, 50, 50);
  tp_set_depth_offset(ctx, -10.0);
  tp_set_background(ctx, 255, 255, 255);
  ts_prepare(model);
  gm_model list;
  gm_model_init(&list);
  ts_draw(model, &list);
  const double origin[3] = {0, 0, 0};
  tp_add_model(ctx, 1, origin, 0, 0, &list, 65);
  gm_vector dir;
  ts_default_view(model, &dir.x);
  gm_vector_set_length(&dir, 1.0);
  tp_set_view_direction(ctx, dir.x, dir.y, dir.z);
  tp_update_view(ctx);
  tp_fit_view(ctx);

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  tp_painter painter{cr, clear, polygon, line};
  bool ok = tp_render(ctx, &painter) == 0;
  cairo_destroy(cr);
  ok = ok && cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  gm_model_free(&list);
  tp_destroy(ctx);
  ts_free_model(model);
  if (!ok) std::fprintf(stderr, "catalog_preview: cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: catalog_preview DICTIONARY DATABASE OUT_DIR [PRODUCT-ID...]\n");
    return 2;
  }
  std::vector<std::string> ids(argv + 4, argv + argc);
  if (ids.empty()) {
    catalog::Source src;
    std::string error;
    if (!catalog::readSource(CATALOG_SOURCE_DIR, src, error)) {
      std::fprintf(stderr, "catalog_preview: %s\n", error.c_str());
      return 1;
    }
    for (const catalog::Section& p : src.products) ids.push_back(p.name);
  }
  int16_t db = tc_open_database(argv[1], argv[2], 0);
  if (db < 0) {
    std::fprintf(stderr, "catalog_preview: cannot open the product database (%d)\n", db);
    return 1;
  }
  bool ok = true;
  for (const std::string& id : ids) ok = picture(db, id, std::string(argv[3]) + "/" + id + ".png") && ok;
  tc_close_database(db);
  cairo_debug_reset_static_data();
  return ok ? 0 : 1;
}
