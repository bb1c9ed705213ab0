// The model object: creation from a data block, parameters, materials, evaluation.
#include "ts_internal.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

namespace teksolid {

int findParameter(const ts_model& model, const std::string& name) {
  for (size_t i = 0; i < model.params.size(); ++i)
    if (model.params[i].name == name) return static_cast<int>(i);
  return -1;
}

bool evaluateAll(const ts_model& model, std::vector<double>& values) {
  values.assign(model.exprs.size(), 0.0);
  for (size_t i = 0; i < model.exprs.size(); ++i) {
    const Expr& e = model.exprs[i];
    bool binary = e.kind == Expr::Add || e.kind == Expr::Sub || e.kind == Expr::Mul ||
                  e.kind == Expr::Div;
    if ((binary || e.kind == Expr::Neg) && (e.a < 0 || static_cast<size_t>(e.a) >= i)) return false;
    if (binary && (e.b < 0 || static_cast<size_t>(e.b) >= i)) return false;
    double a = e.a >= 0 ? values[e.a] : 0, b = e.b >= 0 ? values[e.b] : 0, v = 0;
    switch (e.kind) {
      case Expr::Number: v = e.value; break;
      case Expr::Param:
        if (e.param < 0 || static_cast<size_t>(e.param) >= model.params.size()) return false;
        v = static_cast<double>(model.params[e.param].value);
        break;
      case Expr::Neg: v = -a; break;
      case Expr::Add: v = a + b; break;
      case Expr::Sub: v = a - b; break;
      case Expr::Mul: v = a * b; break;
      case Expr::Div:
        if (std::fabs(b) < 1e-12) return false;
        v = a / b;
        break;
    }
    if (!std::isfinite(v) || std::fabs(v) > kMaxMagnitude) return false;
    values[i] = v;
  }
  return true;
}

}  // namespace teksolid

using namespace teksolid;

namespace {

double clampValue(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Material records from their expressions, with the block's default parameters.
void fillMaterials(ts_model& m, const std::vector<double>& values) {
  auto value = [&](int e, double fallback) { return e >= 0 ? values[e] : fallback; };
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

// A product's model is read several times in a row (its connections, its block, its
// picture): the last block read is kept as read, and the same block again is a copy of it
// instead of a second parse.
struct LastRead {
  std::mutex lock;
  std::string text;
  std::unique_ptr<ts_model> model;
};

LastRead& lastRead() {
  static LastRead last;
  return last;
}

// The model of a block, or nullptr when it does not read; throws std::bad_alloc.
ts_model* readModel(const char* text, size_t size) {
  LastRead& last = lastRead();
  {
    std::lock_guard<std::mutex> hold(last.lock);
    if (last.model && last.text.size() == size && std::memcmp(last.text.data(), text, size) == 0)
      return new ts_model(*last.model);
  }
  std::unique_ptr<ts_model> model(new ts_model);
  std::vector<double> values;
  if (!parseBlock(text, size, *model) || !evaluateAll(*model, values)) return nullptr;
  fillMaterials(*model, values);
  std::unique_ptr<ts_model> kept(new ts_model(*model));
  std::lock_guard<std::mutex> hold(last.lock);
  last.text.assign(text, size);
  last.model = std::move(kept);
  return model.release();
}

}  // namespace

extern "C" {

ts_model* ts_create_model(int, const void* data, long size, int16_t* count) {
  if (count) *count = 0;
  if (!data || size <= 0 || size > TS_MAX_BLOCK_SIZE) return nullptr;
  ts_model* model = nullptr;
  try {
    model = readModel(static_cast<const char*>(data), static_cast<size_t>(size));
  } catch (...) {
    model = nullptr;  // out of memory while reading
  }
  if (!model) return nullptr;
  if (count) *count = static_cast<int16_t>(model->statements.size() > 32767 ? 32767 : model->statements.size());
  return model;
}

int ts_set_parameter(ts_model* model, const char* name, const char* value) {
  if (!model || !name || !value) return -1;
  int p = findParameter(*model, name);
  if (p < 0) return -1;
  long long v;
  if (!parseInteger(value, v)) return -2;
  long long old = model->params[p].value;
  model->params[p].value = v;
  std::vector<double> values;
  bool ok;
  try {
    ok = evaluateAll(*model, values);
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    model->params[p].value = old;
    return -3;
  }
  return 0;
}

int ts_get_parameter(const ts_model* model, const char* name, long* value) {
  if (!model || !name || !value) return -1;
  int p = findParameter(*model, name);
  if (p < 0) return -1;
  *value = static_cast<long>(model->params[p].value);
  return 0;
}

void ts_free_model(ts_model* model) { delete model; }

int ts_material_count(const ts_model* model) {
  return model ? static_cast<int>(model->materials.size()) : 0;
}

int ts_get_material(const ts_model* model, int index, ts_material* out) {
  if (!out) return -1;
  std::memset(out, 0, sizeof(*out));
  if (!model || index < 0 || static_cast<size_t>(index) >= model->materials.size()) return -1;
  *out = model->materials[index];
  return 0;
}

double ts_line_width(const ts_model* model) { return model ? model->lineWidth : 0.0; }

int ts_prepare(ts_model* model) {
  if (!model) return -1;
  std::vector<double> values;
  try {
    return evaluateAll(*model, values) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}

int ts_draw(ts_model* model, gm_model* out) {
  if (!model || !out) return -1;
  gm_model drawn;
  gm_model_init(&drawn);
  bool ok;
  try {
    std::vector<double> values;
    ok = evaluateAll(*model, values) && drawModel(*model, values, &drawn) &&
         gm_model_copy(&drawn, out, GM_COPY_APPEND) == 0;
  } catch (...) {
    ok = false;
  }
  gm_model_free(&drawn);
  return ok ? 0 : -1;
}

int ts_default_view(const ts_model* model, double out[3]) {
  if (!model || !out) return -1;
  std::vector<double> values;
  bool given = model->view[0] >= 0 && evaluateAll(*model, values);
  if (given) {
    for (int i = 0; i < 3; ++i) out[i] = values[model->view[i]];
    if (out[0] != 0 || out[1] != 0 || out[2] != 0) return 0;
  }
  out[0] = -1;
  out[1] = -1;
  out[2] = 1;
  return 0;
}

}  // extern "C"
