// Guards the sample catalogue and the renderer: every product builds with its connection points, and pictures show the model.
#include <gtest/gtest.h>

#include <cairo.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

#include "catalog_units.h"
#include "tekcore.h"
#include "tekpaint.h"
#include "teksolid.h"

namespace {

const std::string kDict = std::string(TEK_CATALOG_DIR) + "/Duratcd.ddt";
const std::string kDb = std::string(TEK_CATALOG_DIR) + "/Ventholm_14a.tcd";

// Product id -> its connection points.
const std::map<std::string, std::vector<int>> kProducts = {
    {"VH-CX-1200", {201, 202, 205, 206}},   {"VH-CX-1800", {201, 202, 205, 206}},
    {"VH-CX-3000", {201, 202, 205, 206}},   {"VH-RX-2500", {201, 202, 205, 206}},
    {"VH-RX-1000T", {202, 203, 204, 205}},  {"VH-CF-800", {201, 202, 205, 206}},
    {"VH-CF-1500P", {201, 202, 249, 205, 206}}};
const char* const kComponents[] = {"VH-SIL-250", "VH-SIL-315", "VH-SIL-500x300", "VH-HTR-250",
                                   "VH-HTR-315", "VH-FLT-500x300", "VH-DMP-250", "VH-DMP-315"};

// Units and components with their connection points.
std::map<std::string, std::vector<int>> allProducts() {
  std::map<std::string, std::vector<int>> products = kProducts;
  for (const char* id : kComponents) products[id] = {201, 202};
  return products;
}

std::string readGzip(const std::string& path, bool& ok) {
  gzFile f = gzopen(path.c_str(), "rb");
  std::string out;
  char buf[8192];
  int n;
  while (f && (n = gzread(f, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  int err = Z_OK;
  if (f) gzerror(f, &err);
  ok = f && err == Z_OK;
  if (f) gzclose(f);
  return out;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    h_ = tc_open_database(kDict.c_str(), kDb.c_str(), 0);
    ASSERT_GE(h_, 0);
  }
  void TearDown() override { tc_close_database(h_); }

  // The product's model with its catalogue parameters (and "cat=0" when asked).
  ts_model* load(const std::string& id, bool withoutCategory = false) {
    int16_t count = 0;
    char name[128], params[1024];
    if (tc_get_attribute(h_, "OTP", id.c_str(), 1525, &count, name, sizeof name) != 0) return nullptr;
    if (tc_get_attribute(h_, "OTP", id.c_str(), 1507, &count, params, sizeof params) != 0) return nullptr;
    tc_record* rec = tc_find_record(h_, "TSD", name, 0);
    long size = tc_get_data_size(h_, rec);
    void* data = tc_load_data(h_, rec, &size);
    ts_model* m = data ? ts_create_model(0, data, size, nullptr) : nullptr;
    tc_free_data(data);
    tc_release_record(rec);
    std::string all = std::string(params) + (withoutCategory ? ";cat=0" : "");
    size_t start = 0;
    while (m && start < all.size()) {
      size_t end = all.find(';', start);
      std::string field = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
      size_t eq = field.find('=');
      EXPECT_EQ(ts_set_parameter(m, field.substr(0, eq).c_str(), field.substr(eq + 1).c_str()), 0)
          << id << " " << field;
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return m;
  }

  // A product's model and its display list, freed with it.
  struct Drawn {
    ts_model* model = nullptr;
    gm_model list;
    Drawn() { gm_model_init(&list); }
    ~Drawn() {
      gm_model_free(&list);
      if (model) ts_free_model(model);
    }
  };
  // Loads the product (as load does) and draws it into out.list.
  ::testing::AssertionResult draw(const std::string& id, Drawn& out, bool withoutCategory = false) {
    out.model = load(id, withoutCategory);
    if (!out.model) return ::testing::AssertionFailure() << id << " does not load";
    if (ts_draw(out.model, &out.list) != 0) return ::testing::AssertionFailure() << id << " does not draw";
    return ::testing::AssertionSuccess();
  }

  int16_t h_ = -1;
};

void setColour(cairo_t* cr, uint32_t c) {
  cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

const tp_painter* cairoPainter(cairo_t* cr) {
  static tp_painter p;
  p.user = cr;
  p.clear = [](void* u, uint32_t c) {
    setColour(static_cast<cairo_t*>(u), c);
    cairo_paint(static_cast<cairo_t*>(u));
  };
  p.polygon = [](void* u, const double* xy, int n, uint32_t c) {
    cairo_t* cr = static_cast<cairo_t*>(u);
    cairo_move_to(cr, xy[0], xy[1]);
    for (int k = 1; k < n; ++k) cairo_line_to(cr, xy[2 * k], xy[2 * k + 1]);
    cairo_close_path(cr);
    setColour(cr, c);
    cairo_fill(cr);
  };
  p.line = [](void* u, double x0, double y0, double x1, double y1, uint32_t c, double w) {
    cairo_t* cr = static_cast<cairo_t*>(u);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    setColour(cr, c);
    cairo_set_line_width(cr, w);
    cairo_stroke(cr);
  };
  return &p;
}

// Renders the list into a 200 x 150 picture; returns the share of non-white pixels and
// the count of pure-red pixels (pen 1 lines).
double render(tp_context* ctx, const std::string& png, int* red = nullptr) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 150);
  cairo_t* cr = cairo_create(s);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  EXPECT_EQ(tp_render(ctx, cairoPainter(cr)), 0);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  if (!png.empty()) cairo_surface_write_to_png(s, png.c_str());
  const unsigned char* px = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s), inked = 0, reds = 0;
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 200; ++x) {
      uint32_t v = *reinterpret_cast<const uint32_t*>(px + y * stride + 4 * x) & 0xFFFFFF;
      inked += v != 0xFFFFFF;
      reds += v == 0xFF0000;
    }
  cairo_surface_destroy(s);
  if (red) *red = reds;
  return inked / (200.0 * 150.0);
}

}  // namespace

TEST(CatalogueFiles, CompressedFilesHoldThePlainFiles) {
  for (const char* name : {"Duratcd", "Ventholm_14a"}) {
    std::string ext = std::string(name) == "Duratcd" ? ".ddt" : ".tcd";
    bool ok = false;
    std::string unpacked = readGzip(std::string(TEK_BIN_DIR) + "/" + name + ext + "z", ok);
    EXPECT_TRUE(ok) << name;
    EXPECT_EQ(unpacked, readFile(std::string(TEK_CATALOG_DIR) + "/" + name + ext)) << name;
  }
}

TEST_F(Catalogue, EveryProductHasItsConnectionPoints) {
  for (const auto& product : allProducts()) {
    SCOPED_TRACE(product.first);
    Drawn drawn;
    ASSERT_TRUE(draw(product.first, drawn, true));
    for (int number : product.second) {
      gm_point p;
      gm_vector dir, normal;
      ASSERT_EQ(gm_get_connection(&drawn.list, static_cast<int16_t>(number), &p, &dir, &normal, 0, 0, 0, 0), 0)
          << number;
      EXPECT_NEAR(gm_vector_length(&dir), 1.0, 1e-9);
      EXPECT_NEAR(gm_vector_dot(&dir, &normal), 0.0, 1e-9);
    }
    for (int number : {201, 202, 203, 204, 205, 206, 207, 208, 249}) {
      bool expected = false;
      for (int n : product.second) expected = expected || n == number;
      if (!expected) {
        EXPECT_NE(gm_get_connection(&drawn.list, static_cast<int16_t>(number), nullptr, nullptr, nullptr, 0, 0, 0, 0), 0)
            << number;
      }
    }
  }
}

// The unit dialog puts the system combo box of connection point 201 + k at a fixed place
// around the preview: 201 and 202 on the left, 203 and 204 above, 205 and 206 on the right.
// A unit whose connection stands elsewhere in its own view gets its combo boxes beside the
// wrong connections.
TEST_F(Catalogue, UnitConnectionsStandWhereTheDialogPlacesTheirSystems) {
  for (const auto& product : kProducts) {
    if (product.first.compare(0, 5, "VH-CX") && product.first.compare(0, 5, "VH-RX") &&
        product.first.compare(0, 5, "VH-CF"))
      continue;
    SCOPED_TRACE(product.first);
    Drawn drawn;
    ASSERT_TRUE(draw(product.first, drawn, true));
    double d[3];
    ASSERT_EQ(ts_default_view(drawn.model, d), 0);
    // The picture's axes as the preview draws them: right = Z x view, up = view x right.
    gm_vector w{d[0], d[1], d[2]}, z{0, 0, 1}, right, up;
    gm_vector_set_length(&w, 1.0);
    gm_vector_cross(&z, &w, &right);
    gm_vector_set_length(&right, 1.0);
    gm_vector_cross(&w, &right, &up);
    // The unit's middle: the centre of its connection points' box in the picture.
    std::map<int, std::pair<double, double>> at;
    double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
    for (int number : product.second) {
      if (number == 249) continue;  // the extract plug has no combo box of its own
      gm_point p;
      ASSERT_EQ(gm_get_connection(&drawn.list, static_cast<int16_t>(number), &p, nullptr, nullptr, 0, 0, 0, 0), 0);
      gm_vector v{p.x, p.y, p.z};
      at[number] = {gm_vector_dot(&v, &right), gm_vector_dot(&v, &up)};
      lo[0] = std::min(lo[0], at[number].first);
      hi[0] = std::max(hi[0], at[number].first);
      lo[1] = std::min(lo[1], at[number].second);
      hi[1] = std::max(hi[1], at[number].second);
    }
    const double midX = (lo[0] + hi[0]) / 2;
    for (const auto& point : at) {
      const int place = point.first - 200;
      if (place == 1 || place == 2) {
        EXPECT_LT(point.second.first, midX) << point.first << " stands left";
      }
      if (place == 5 || place == 6) {
        EXPECT_GT(point.second.first, midX) << point.first << " stands right";
      }
    }
    if (at.count(201) && at.count(202) && std::abs(at[201].first - at[202].first) < 1e-6) {
      EXPECT_LT(at[201].second, at[202].second) << "201 below 202, as their combo boxes";
    }
    if (at.count(206) && at.count(205) && std::abs(at[206].first - at[205].first) < 1e-6) {
      EXPECT_LT(at[206].second, at[205].second) << "206 below 205, as their combo boxes";
    }
  }
}

TEST_F(Catalogue, ComponentsHaveTheirInletAtTheOriginFacingBack) {
  for (const char* id : kComponents) {
    SCOPED_TRACE(id);
    Drawn drawn;
    ASSERT_TRUE(draw(id, drawn));
    gm_point in, out;
    gm_vector inDir, outDir, n;
    ASSERT_EQ(gm_get_connection(&drawn.list, 201, &in, &inDir, &n, 0, 0, 0, 0), 0);
    ASSERT_EQ(gm_get_connection(&drawn.list, 202, &out, &outDir, &n, 0, 0, 0, 0), 0);
    EXPECT_EQ(in.x, 0);
    EXPECT_EQ(in.y, 0);
    EXPECT_EQ(in.z, 0);
    EXPECT_EQ(inDir.x, -1);
    EXPECT_EQ(outDir.x, 1);
    EXPECT_GT(out.x, 0);
  }
}

TEST_F(Catalogue, UnitsAreDrawnIntoRecognisablePictures) {
  mkdir(TEK_PREVIEW_DIR, 0755);
  for (const auto& product : allProducts()) {
    SCOPED_TRACE(product.first);
    Drawn drawn;
    ASSERT_TRUE(draw(product.first, drawn));
    tp_context* ctx = tp_create_without_wnd(0, 0, 200, 150);
    ASSERT_NE(ctx, nullptr);
    ts_material mat;
    for (int i = 0; i < ts_material_count(drawn.model); ++i) {
      if (ts_get_material(drawn.model, i, &mat) == 0 && mat.kind != 0) {
        EXPECT_EQ(tp_define_material(ctx, i + 1, mat.kind, mat.colour, mat.flags, mat.ambient, mat.diffuse), 0);
      }
    }
    tp_define_pen(ctx, 1001, 0, -1, 0, 0, 255);
    tp_set_depth_offset(ctx, -10.0);
    const double origin[3] = {0, 0, 0};
    ASSERT_EQ(tp_add_model(ctx, 1, origin, 0, 0, &drawn.list, 65), 0);  // the context keeps its own copy
    double dir[3];
    ASSERT_EQ(ts_default_view(drawn.model, dir), 0);
    ASSERT_EQ(tp_set_view_direction(ctx, dir[0], dir[1], dir[2]), 0);
    ASSERT_EQ(tp_update_view(ctx), 0);
    ASSERT_EQ(tp_fit_view(ctx), 0);
    double share = render(ctx, std::string(TEK_PREVIEW_DIR) + "/" + product.first + ".png");
    EXPECT_GT(share, 0.15);  // the unit fills a good part of the picture ...
    EXPECT_LT(share, 0.9);   // ... and the white background shows around it
    tp_destroy(ctx);
  }
}

// A unit's selection figures from the built database, read as the selector reads them.
catalog::UnitData unitFigures(int16_t h, const std::string& id) {
  int16_t count = 0;
  char params[1024] = "", airflow[256] = "";
  EXPECT_EQ(tc_get_attribute(h, "OTP", id.c_str(), 1507, &count, params, sizeof params), 0) << id;
  EXPECT_EQ(tc_get_attribute(h, "OTP", id.c_str(), 1531, &count, airflow, sizeof airflow), 0) << id;
  catalog::UnitData unit;
  unit.diameter = catalog::parameterValue(params, "D", 0);
  unit.width = catalog::parameterValue(params, "B", 0);
  unit.height = catalog::parameterValue(params, "H", 0);
  EXPECT_EQ(std::sscanf(airflow, "%lf;%lf;%lf", &unit.airflow[0], &unit.airflow[1], &unit.airflow[2]), 3) << id;
  return unit;
}

// Ducts sized as a designer sizes them, for about 5 m/s at the unit's nominal airflow
// (a 1500 m3/h unit once blew 8.5 m/s through 250 mm connections).
TEST_F(Catalogue, UnitConnectionsCarryTheNominalAirflowAtAboutFiveMetresPerSecond) {
  for (const auto& product : kProducts) {
    catalog::UnitData unit = unitFigures(h_, product.first);
    double velocity = unit.airflow[catalog::FAN_NOMINAL] / 3600.0 / catalog::connectionArea(unit);
    EXPECT_GT(velocity, 3.5) << product.first;
    EXPECT_LT(velocity, 6.0) << product.first;
  }
}

// In a cross-flow plate pack each stream changes deck; across a wheel each keeps its own.
// So a cross-flow unit's supply leaves above its outdoor inlet and its exhaust above its
// extract inlet, a rotary unit's leave level with them.
TEST_F(Catalogue, AirPathsFollowTheHeatExchanger) {
  struct Case {
    const char* id;
    bool changesDeck;
  } cases[] = {{"VH-CX-1200", true}, {"VH-CX-1800", true}, {"VH-CX-3000", true}, {"VH-RX-2500", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    Drawn drawn;
    ASSERT_TRUE(draw(c.id, drawn, true));
    // The connection point of each type is the slot its parameter names (P5 = 1: supply at 205).
    gm_point at[5] = {};
    for (int slot = 1; slot <= 8; ++slot) {
      long type = 0;
      const std::string name = "P" + std::to_string(slot);
      if (ts_get_parameter(drawn.model, name.c_str(), &type) != 0 || type < 1 || type > 4) continue;
      ASSERT_EQ(gm_get_connection(&drawn.list, static_cast<int16_t>(200 + slot), &at[type], nullptr, nullptr, 0, 0, 0, 0), 0);
    }
    const gm_point &supply = at[1], &extract = at[2], &outdoor = at[3], &exhaust = at[4];
    EXPECT_LT(supply.x * outdoor.x, 0);  // the streams run through the unit from end to end
    EXPECT_LT(extract.x * exhaust.x, 0);
    if (c.changesDeck) {
      EXPECT_GT(supply.z, outdoor.z);
      EXPECT_GT(exhaust.z, extract.z);
    } else {
      EXPECT_EQ(supply.z, outdoor.z);
      EXPECT_EQ(exhaust.z, extract.z);
    }
  }
}

TEST(TekPaint, LinesBehindFacesAreHidden) {
  // A unit square face at z = 0 seen from above, and a red line below it (z = -5) and
  // one above it (z = +5), both across the face.
  gm_model list;
  gm_model_init(&list);
  gm_model_add(&list, GM_FACE, 1, 0, 0, 0);
  gm_model_add(&list, GM_FACE_VERTEX, 1, 100, 0, 0);
  gm_model_add(&list, GM_FACE_VERTEX, 1, 100, 100, 0);
  gm_model_add(&list, GM_FACE_LAST, 1, 0, 100, 0);
  gm_model_add(&list, GM_RUN_START, 1, 10, 30, -5);
  gm_model_add(&list, GM_RUN_END, 1, 90, 30, -5);
  tp_context* ctx = tp_create_without_wnd(0, 0, 200, 150);
  tp_define_pen(ctx, 1, 0, 1, 255, 0, 0);
  tp_disable(ctx, TP_EDGES);
  tp_set_view_direction(ctx, 0, 0, 1);
  tp_add_model(ctx, 1, nullptr, 0, 0, &list, 0);
  ASSERT_EQ(tp_fit_view(ctx), 0);
  int redBelow = 0, redAbove = 0;
  render(ctx, "", &redBelow);
  EXPECT_EQ(redBelow, 0);
  list.items[4].z = list.items[5].z = 5;
  tp_add_model(ctx, 1, nullptr, 0, 0, &list, 0);  // same number: replaces the object
  render(ctx, "", &redAbove);
  EXPECT_GT(redAbove, 40);
  gm_model_free(&list);
  tp_destroy(ctx);
}

TEST(TekPaint, ViewRecordRoundTripsAndRefusesBadInput) {
  EXPECT_EQ(tp_create_without_wnd(0, 0, -1, 10), nullptr);
  tp_context* ctx = tp_create_without_wnd(0, 0, 0, 0);  // a context without a picture
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(tp_fit_view(ctx), -1);                      // nothing to fit
  ASSERT_EQ(tp_set_window(ctx, -50, -50, 50, 50), 0);
  EXPECT_NE(tp_set_window(ctx, 1, 1, 1, 2), 0);
  EXPECT_NE(tp_set_view_direction(ctx, 0, 0, 0), 0);
  double view[10] = {0};
  ASSERT_EQ(tp_get_view(ctx, view), 0);
  EXPECT_EQ(view[2], 100);
  view[0] += 5;
  view[2] *= 2;
  ASSERT_EQ(tp_set_view(ctx, view), 0);
  double again[10];
  tp_get_view(ctx, again);
  EXPECT_EQ(again[0], 5);
  EXPECT_EQ(again[2], 200);
  view[3] = NAN;
  EXPECT_NE(tp_set_view(ctx, view), 0);
  EXPECT_NE(tp_paint(ctx, nullptr), 0);
  EXPECT_NE(tp_paint(nullptr, nullptr), 0);
  tp_destroy(ctx);
}

TEST(TekPaint, PaintsThroughGdi) {
  gm_model list;
  gm_model_init(&list);
  gm_model_add(&list, GM_FACE, 1, 0, 0, 0);
  gm_model_add(&list, GM_FACE_VERTEX, 1, 100, 0, 0);
  gm_model_add(&list, GM_FACE_LAST, 1, 100, 100, 0);
  gm_model_add(&list, GM_RUN_START, 2, 0, 0, 1);
  gm_model_add(&list, GM_RUN_END, 2, 100, 100, 1);
  tp_context* ctx = tp_create_without_wnd(0, 0, 80, 60);
  ASSERT_EQ(tp_add_model(ctx, 1, nullptr, 0, 0, &list, 65), 0);
  ASSERT_EQ(tp_fit_view(ctx), 0);
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(tp_paint(ctx, dc), 0);
  ReleaseDC(nullptr, dc);
  tp_destroy(ctx);
  gm_model_free(&list);
}

// Runs catalog_build on a copy of the source with one file replaced by `text`.
int buildWith(const std::string& file, const std::string& text, const std::string& out) {
  std::string src = out + "/src";
  std::string cmd = "rm -rf '" + out + "' && mkdir -p '" + out + "' && cp -r '" TEK_SOURCE_DIR "' '" + src + "'";
  if (std::system(cmd.c_str()) != 0) return -100;
  std::ofstream(src + "/" + file, std::ios::trunc) << text;
  return std::system(("'" TEK_BIN_DIR "/catalog_build' '" + src + "' '" + out + "' 2>/dev/null").c_str());
}

// A unit with complete selection data and two components, one of its size, with the text
// `from` replaced by `to`.
std::string unit(const std::string& from, const std::string& to) {
  std::string text =
      "[OTP U-1]\nname = U\nmodel = AHU-CX\ndescription = d\nparameters = P1=3;P2=4;P5=1;P6=2;D=315\n"
      "exchanger = cross\nairflow = 500;1200;1500\npressure = 560;420;300\ncode = c\nitem = i\nobject = o\n"
      "components_supply = C-315\n";
  for (const char* key : {"surrounding", "supply", "extract", "outdoor", "exhaust"})
    text += std::string("sound_") + key + " = 62 66 71 74 73 70 65 58\n";
  for (const char* key : {"supply", "extract", "outdoor", "exhaust"})
    text += std::string("attenuation_") + key + " = 4 7 12 18 22 24 20 15\n";
  for (const char* size : {"315", "250"})
    text += std::string("[OTP C-") + size + "]\nname = C\nmodel = DUCT-SIL-R\ndescription = d\nparameters = "
            "P1=11;P2=12;D=" + size + "\n";
  if (!from.empty()) text.replace(text.find(from), from.size(), to);
  return text;
}

TEST(CatalogBuild, BadSourceWritesNothing) {
  const std::string out = std::string(TEK_PREVIEW_DIR) + "-build";
  const std::string product =
      "[OTP T-1]\nname = T\nmodel = DUCT-SIL-R\ndescription = d\nparameters = ";
  struct Case { const char* file; std::string text; } cases[] = {
      {"products.ini", product + "P1=11;P2=12;D=250;WIDTH=3\n"},        // parameter unknown to the model
      {"products.ini", product + "P1=11;P2=12;P3=1;D=250\n"},           // P3 without a connection point
      {"products.ini", product + "P1=11;P2=12\n"},                      // connections without size
      {"products.ini", product + "P1=11;P2=12;D=250\ncolour = red\n"}, // attribute not in the dictionary
      {"series.ini", "[MAS A-KEY-THAT-IS-LONGER-THAN-THIRTY-CHARS]\nname = x\nsizes = 100\n"},
      {"series.ini", "[MAS S]\nname = x\nsizes = 100;4x\n"},
      {"models/DUCT-SIL-R.tsd", "teksolid 1\nbox origin=(0,0,0)\n"},
      {"products.ini", unit("exchanger = cross", "exchanger = plate")},           // no such exchanger
      {"products.ini", unit("airflow = 500;1200;1500", "airflow = 1500;1200;500")},  // range upside down
      {"products.ini", unit("sound_supply = 62 66 71 74 73 70 65 58", "sound_supply = 62 66 71")},
      {"products.ini", unit("components_supply = C-315", "components_supply = C-250")},  // wrong size
      {"products.ini", unit("components_supply = C-315", "components_supply = C-999")},  // no such component
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_NE(buildWith(c.file, c.text, out), 0);
    struct stat st;
    EXPECT_NE(stat((out + "/Duratcd.ddtz").c_str(), &st), 0);
    EXPECT_NE(stat((out + "/Ventholm_14a.tcdz").c_str(), &st), 0);
  }
  EXPECT_EQ(buildWith("products.ini", product + "P1=11;P2=12;D=250\n", out), 0);  // the sound cases build
  EXPECT_EQ(buildWith("products.ini", unit("", ""), out), 0);
  std::system(("rm -rf '" + out + "'").c_str());
}

TEST(TekPaint, HostileDisplayListsPaintSafely) {
  const double inf = INFINITY, big = 1e300;
  gm_model list;
  gm_model_init(&list);
  gm_model_add(&list, GM_FACE, 1, 0, 0, 0);
  gm_model_add(&list, GM_FACE_VERTEX, 1, big, 0, 0);
  gm_model_add(&list, GM_FACE_VERTEX, 1, big, big, 0);
  gm_model_add(&list, GM_FACE_LAST, 1, -big, 0, 0);
  gm_model_add(&list, GM_ARC, 1, 0, 0, 0);  // angles far beyond a turn
  gm_model_add(&list, GM_ARC_NORMAL, 1, 0, 0, 1);
  gm_model_add(&list, GM_ARC_MAJOR, 1, 10, 0, 0);
  gm_model_add(&list, GM_ARC_ANGLES, 1, 1e300, -1e300, 0.5);
  gm_model_add(&list, GM_CIRCLE, -32768, NAN, 0, 0);
  gm_model_add(&list, GM_CIRCLE_NORMAL, 1, 0, 0, 0);
  gm_model_add(&list, GM_CIRCLE_RADIUS, 1, inf, 0, 0);
  gm_model_add(&list, GM_RUN_START, 1, 0, 0, 0);
  gm_model_add(&list, GM_RUN_POINT, 1, inf, 0, 0);
  gm_model_add(&list, GM_FACE, 1, 1, 1, 1);  // a face cut short by the end of the list
  tp_context* ctx = tp_create_without_wnd(0, 0, 200, 150);
  tp_define_pen(ctx, 1, 0, -2147483647 - 1, 255, 0, 0);
  ASSERT_EQ(tp_add_model(ctx, 1, nullptr, 0, 0, &list, 0), 0);
  tp_fit_view(ctx);  // whatever window it finds, painting stays safe
  render(ctx, "");
  double view[10];
  tp_get_view(ctx, view);
  view[2] = view[3] = 1e-300;
  ASSERT_EQ(tp_set_view(ctx, view), 0);
  render(ctx, "");
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(tp_paint(ctx, dc), 0);
  ReleaseDC(nullptr, dc);
  tp_destroy(ctx);
  gm_model_free(&list);
}
