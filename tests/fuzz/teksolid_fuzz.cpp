// Model data blocks (teksolid model texts) on raw bytes: the reader refuses or builds a
// model, never a crash; a model takes any parameter texts a unit file may carry without
// harm, and draws without non-finite geometry. Input: the data block, and after the
// first zero byte (when there is one) the unit's ";"-separated "name=value" parameters.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "teksolid.h"

namespace {
void setParameters(ts_model* model, const std::string& params) {
  size_t start = 0;
  while (start < params.size()) {
    size_t end = params.find(';', start);
    if (end == std::string::npos) end = params.size();
    std::string field = params.substr(start, end - start);
    size_t equals = field.find('=');
    if (equals != std::string::npos)
      ts_set_parameter(model, field.substr(0, equals).c_str(), field.substr(equals + 1).c_str());
    start = end + 1;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t blockSize = zero ? (size_t)(zero - data) : size;
  int16_t count = 0;
  ts_model* model = ts_create_model(0, data, static_cast<long>(blockSize), &count);
  if (!model) return 0;
  if (zero) setParameters(model, std::string(reinterpret_cast<const char*>(zero + 1), size - blockSize - 1));
  ts_set_parameter(model, "cat", "0");
  gm_model list;
  gm_model_init(&list);
  if (ts_draw(model, &list) == 0)
    for (int32_t i = 0; i < list.count; ++i)
      if (!std::isfinite(list.items[i].x) || !std::isfinite(list.items[i].y) || !std::isfinite(list.items[i].z))
        std::abort();
  gm_model_free(&list);
  ts_free_model(model);
  return 0;
}
