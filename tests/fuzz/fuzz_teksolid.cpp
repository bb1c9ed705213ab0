// libFuzzer target: model data blocks of any bytes must never crash the teksolid reader,
// and a model that is accepted must draw without non-finite geometry.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "teksolid.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int16_t count = 0;
  ts_model* model = ts_create_model(0, data, static_cast<long>(size), &count);
  if (!model) return 0;
  ts_set_parameter(model, "cat", "0");
  gm_model list;
  gm_model_init(&list);
  if (ts_draw(model, &list) == 0)
    for (int32_t i = 0; i < list.count; ++i)
      if (!std::isfinite(list.items[i].x) || !std::isfinite(list.items[i].y) ||
          !std::isfinite(list.items[i].z))
        std::abort();
  gm_model_free(&list);
  ts_free_model(model);
  return 0;
}
