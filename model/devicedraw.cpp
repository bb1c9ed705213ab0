#include "devicedraw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tekcore.h"
#include "text.h"

namespace {

const int kAttrModelName = 1525;
const int kAttrModelParameters = 1507;
const int kModelNameSize = 128;
const int kModelParamsSize = 1024;
// A parameter text that fills its buffer is read again into a larger one, up to this size,
// so that a long text is never cut silently.
const int kModelParamsLimit = 1 << 20;
// tc_get_attribute cuts at a character boundary: up to three bytes short of the buffer.
const size_t kCutSlack = 3;
const size_t kFieldLength = 127;
const int kDefaultPenWidth = 16;
const int kEdgePen = 1001;

DeviceDrawInspector inspector = nullptr;

bool isEmpty(const char* text) { return !text || !*text; }

// Attribute text of (cls, product), whole; false when the product has none.
bool readAttribute(int16_t handle, const char* cls, const char* product, int number, int size,
                   std::string& text) {
  for (;; size *= 2) {
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    int16_t count = 0;
    tc_get_attribute(handle, cls, product, number, &count, buffer.data(), size);
    buffer[static_cast<size_t>(size) - 1] = '\0';
    size_t length = std::strlen(buffer.data());
    if (count <= 0) return false;
    if (length + kCutSlack < static_cast<size_t>(size) - 1 || size >= kModelParamsLimit) {
      text.assign(buffer.data(), length);
      return true;
    }
  }
}

// The stored model's name of a product; "" when it has none.
std::string modelNameOf(int16_t handle, const char* cls, const char* product) {
  char name[kModelNameSize] = "";
  int16_t count = 0;
  if (isEmpty(product)) return std::string();
  tc_get_attribute(handle, cls, product, kAttrModelName, &count, name, kModelNameSize);
  name[kModelNameSize - 1] = '\0';
  return count > 0 ? std::string(name) : std::string();
}

// Sets each "name=value" field of the ";"-separated text, each field cut to 127
// characters. Empty fields and fields without "=" name nothing and are passed over.
void setParameters(ts_model* model, const std::string& params) {
  size_t start = 0;
  while (start < params.size()) {
    size_t end = params.find(';', start);
    if (end == std::string::npos) end = params.size();
    std::string field = params.substr(start, std::min(end - start, kFieldLength));
    size_t equals = field.find('=');
    if (equals != std::string::npos)
      ts_set_parameter(model, field.substr(0, equals).c_str(), field.substr(equals + 1).c_str());
    start = end + 1;
  }
}

int penWidthOf(const ts_model* model) {
  double width = ts_line_width(model);
  int pixels = std::isfinite(width) && std::fabs(width) < 1e6 ? static_cast<int>(width) : 0;
  return pixels == 0 ? kDefaultPenWidth : pixels;
}

void defineMaterials(tp_context* context, const ts_model* model) {
  int count = ts_material_count(model);
  for (int i = 0; i < count; ++i) {
    ts_material record;
    if (ts_get_material(model, i, &record) == 0 && record.kind != 0)
      tp_define_material(context, i + 1, record.kind, record.colour, record.flags, record.ambient,
                         record.diffuse);
  }
}

void setRenderingState(tp_context* context, const ts_model* model) {
  tp_define_pen(context, 1, 0, -1, 255, 0, 0);
  tp_define_pen(context, 2, 0, -1, 0, 255, 0);
  tp_define_pen(context, 3, 0, -1, 0, 0, 255);
  tp_define_pen(context, kEdgePen, 0, -1, 0, 0, 255);
  tp_set_pen_width(context, kEdgePen, -penWidthOf(model), 0, 0, 255);
  tp_enable(context, TP_FACES);
  tp_enable(context, TP_EDGES);
  tp_enable(context, TP_BACKGROUND);
  tp_enable(context, TP_FACES);
  tp_set_window(context, -50, -50, 50, 50);
  tp_set_depth_offset(context, -10.0);
  tp_set_background(context, 255, 255, 255);
  tp_enable(context, TP_BACKGROUND);
}

void fillBackground(HDC dc, int width, int height) {
  HBRUSH brush = CreateSolidBrush(RGB(255, 255, 255));
  SelectObject(dc, brush);
  Rectangle(dc, 0, 0, width, height);
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
}

// The model's own view direction, then the view window moved and scaled.
int setView(tp_context* context, const ts_model* model, double zoom, double offsetX, double offsetY) {
  gm_vector direction{0, 0, 0};
  double d[3] = {0, 0, 0};
  ts_default_view(model, d);
  direction = gm_vector{d[0], d[1], d[2]};
  gm_vector_set_length(&direction, 1.0);
  tp_set_view_direction(context, direction.x, direction.y, direction.z);
  tp_update_view(context);
  tp_fit_view(context);
  double view[10] = {0};
  tp_get_view(context, view);
  view[0] += offsetX;
  view[1] += offsetY;
  if (zoom > 0) {
    view[2] *= zoom;
    view[3] *= zoom;
  }
  return tp_set_view(context, view);
}

}  // namespace

ts_model* device_load_model(int16_t handle, const char* productId, const char* alternativeId,
                            const char* objectClass, const char* extraParameters,
                            bool withoutCategory) {
  std::string modelName = modelNameOf(handle, objectClass, productId);
  if (modelName.empty()) modelName = modelNameOf(handle, objectClass, alternativeId);
  if (modelName.empty()) {
    printMessage("Zephyr: Can't get teksolid id for device=%s from product database.\n", productId);
    return nullptr;
  }
  // Built whole, not in a fixed buffer: the appended fields never cut the stored ones.
  std::string params;
  readAttribute(handle, objectClass, productId, kAttrModelParameters, kModelParamsSize, params);

  tc_record* record = tc_find_record(handle, "TSD", modelName.c_str(), 0);
  if (!record) {
    printMessage("Zephyr: Can't find teksolid=%s for device=%s from product database.\n",
                 modelName.c_str(), productId);
    return nullptr;
  }
  long size = tc_get_data_size(handle, record);
  void* data = tc_load_data(handle, record, &size);
  if (!data) {
    tc_release_record(record);
    printMessage("Zephyr: Can't get teksolid=%s for device=%s from product database.\n",
                 modelName.c_str(), productId);
    return nullptr;
  }
  int16_t count = 0;
  ts_model* model = ts_create_model(0, data, size, &count);
  if (!model) {
    tc_free_data(data);
    tc_release_record(record);
    return nullptr;
  }
  if (extraParameters) params += std::string(";") + extraParameters;
  if (withoutCategory) params += ";cat=0";
  setParameters(model, params);
  tc_release_record(record);
  tc_free_data(data);
  return model;
}

int device_draw(HWND window, HDC dc, const char* pictureFile, gm_model* list, int16_t handle,
                const char* productId, const char* objectClass, const char* alternativeId,
                const char* alternativeClass, const char* extraParameters, int width, int height,
                int mode, bool withoutCategory, int view, double zoom, double offsetX,
                double offsetY) {
  if (handle < 0) {
    printMessage("Zephyr: Product database is not open.\n");
    return -1;
  }
  if (isEmpty(alternativeId)) alternativeId = productId;
  if (isEmpty(alternativeClass)) alternativeClass = objectClass;
  if (isEmpty(productId) || isEmpty(objectClass)) {
    printMessage("Zephyr: No device to draw.\n");
    return -1;
  }
  if (window && width == 0 && height == 0) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    width = client.right - client.left;
    height = client.bottom - client.top;
  }
  HDC ownDc = nullptr;
  if (window && !dc) dc = ownDc = GetDC(window);
  if (dc) fillBackground(dc, width, height);

  ts_model* model = device_load_model(handle, productId, alternativeId, objectClass, extraParameters,
                                      withoutCategory);
  if (!model) {
    if (ownDc) ReleaseDC(window, ownDc);
    printMessage("Zephyr: Can't find teksolid with id='%s'.\n", productId);
    return -1;
  }
  tp_context* context = tp_create_without_wnd(0, 0, width, height);
  if (!context) {
    if (ownDc) ReleaseDC(window, ownDc);
    ts_free_model(model);
    printMessage("Zephyr: Can't tp_create_without_wnd().\n");
    return -1;
  }
  defineMaterials(context, model);
  setRenderingState(context, model);

  ts_prepare(model);
  gm_model drawn;
  std::memset(&drawn, 0, sizeof drawn);
  gm_model_init(&drawn);
  // The caller's empty list takes the drawing itself; one that holds elements gets a copy.
  gm_model* scene = list && list->count == 0 ? list : &drawn;
  ts_draw(model, scene);
  if (list && scene != list) gm_model_copy(&drawn, list, GM_COPY_APPEND);
  const double origin[3] = {0, 0, 0};
  tp_add_model(context, 1, origin, 0, 0, scene, 65);

  int result = setView(context, model, zoom, offsetX, offsetY);
  if (dc) tp_paint(context, dc);
  if (ownDc) ReleaseDC(window, ownDc);
  if (inspector) inspector(context, model);
  gm_model_free(&drawn);
  ts_free_model(model);
  tp_destroy(context);
  return result;
}

void setDeviceDrawInspectorForTests(DeviceDrawInspector callback) { inspector = callback; }
