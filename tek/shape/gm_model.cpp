// The gm_model display list: a growable array of packed elements.
#include "tekshape.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

// Under AddressSanitizer every list's storage is freed at once, so that a use after free
// is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define GM_KEEP_STORAGE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GM_KEEP_STORAGE 0
#endif
#endif
#ifndef GM_KEEP_STORAGE
#define GM_KEEP_STORAGE 1
#endif

namespace {

// The storage of large lists is kept when they are freed, for the next large lists: a
// product's model is drawn into new lists several times in a row (for its connections, for
// its block, and each drawing's scene holds a copy), and storage the process has touched
// once costs no page faults again. Only storage this library allocated is kept, and at most
// kSpares buffers of it.
const size_t kKeepBytes = size_t(1) << 20;
const int kSpares = 2;

struct Spare {
  gm_element* items = nullptr;
  int64_t capacity = 0;
};

struct Storage {
  std::mutex lock;
  std::unordered_map<const void*, int64_t> large;  // large storage of this library, by address
  Spare spares[kSpares];
  ~Storage() {
    for (Spare& s : spares) std::free(s.items);
  }
};

Storage& storage() {
  static Storage s;
  return s;
}

bool isLarge(int64_t capacity) {
  return GM_KEEP_STORAGE && static_cast<size_t>(capacity) * sizeof(gm_element) >= kKeepBytes;
}

// A kept buffer for at least `capacity` elements (the smallest that fits), or an empty one.
Spare takeSpare(int64_t capacity) {
  Storage& s = storage();
  std::lock_guard<std::mutex> hold(s.lock);
  Spare* best = nullptr;
  for (Spare& spare : s.spares)
    if (spare.items && spare.capacity >= capacity && (!best || spare.capacity < best->capacity)) best = &spare;
  Spare taken;
  if (best) std::swap(taken, *best);
  return taken;
}

// Gives a list's storage back: a large buffer of this library (its address and capacity as
// allocated here) is kept in place of a smaller kept one; anything else is freed.
void release(gm_element* items, int64_t capacity) {
  if (!items) return;
  if (GM_KEEP_STORAGE) {
    Storage& s = storage();
    std::lock_guard<std::mutex> hold(s.lock);
    auto known = s.large.find(items);
    if (known != s.large.end() && known->second != capacity) {
      s.large.erase(known);
      known = s.large.end();
    }
    if (known != s.large.end()) {
      Spare* slot = &s.spares[0];
      for (Spare& spare : s.spares)
        if (spare.capacity < slot->capacity) slot = &spare;
      if (slot->capacity < known->second) {
        if (slot->items) {
          s.large.erase(slot->items);
          std::free(slot->items);
        }
        *slot = Spare{items, known->second};
        return;
      }
      s.large.erase(known);
    }
  }
  std::free(items);
}

// Storage for `capacity` elements holding the list's elements: a kept buffer when one
// fits, else the list's own storage grown. -1 when there is no memory (list unchanged).
int grow(gm_model* model, int64_t capacity) {
  if (isLarge(capacity)) {
    Spare spare = takeSpare(capacity);
    if (spare.items) {
      if (model->count > 0) std::memcpy(spare.items, model->items, static_cast<size_t>(model->count) * sizeof(gm_element));
      release(model->items, model->capacity);
      model->items = spare.items;
      model->capacity = static_cast<int32_t>(spare.capacity);
      return 0;
    }
  }
  void* grown = std::realloc(model->items, static_cast<size_t>(capacity) * sizeof(gm_element));
  if (!grown) return -1;
  if (GM_KEEP_STORAGE) {
    Storage& s = storage();
    std::lock_guard<std::mutex> hold(s.lock);
    s.large.erase(model->items);
    if (isLarge(capacity)) s.large[grown] = capacity;
  }
  model->items = static_cast<gm_element*>(grown);
  model->capacity = static_cast<int32_t>(capacity);
  return 0;
}

// Makes room for `extra` more elements; amortised doubling, bounded by GM_MODEL_MAX_COUNT.
int reserve(gm_model* model, int64_t extra) {
  int64_t needed = static_cast<int64_t>(model->count) + extra;
  if (needed > GM_MODEL_MAX_COUNT) return -1;
  if (needed <= model->capacity && model->items) return 0;
  int64_t capacity = model->capacity > 0 ? model->capacity : 16;
  while (capacity < needed) capacity *= 2;
  if (capacity > GM_MODEL_MAX_COUNT) capacity = GM_MODEL_MAX_COUNT;
  return grow(model, capacity);
}

}  // namespace

extern "C" {

void gm_model_init(gm_model* model) {
  if (!model) return;
  model->items = nullptr;
  model->count = 0;
  model->capacity = 0;
}

void gm_model_free(gm_model* model) {
  if (!model) return;
  release(model->items, model->capacity);
  gm_model_init(model);
}

int gm_model_add(gm_model* model, int16_t code, int16_t pen, double x, double y, double z) {
  gm_element e;
  e.code = code;
  e.pen = pen;
  e.x = x;
  e.y = y;
  e.z = z;
  return gm_model_add_element(model, &e);
}

int gm_model_add_element(gm_model* model, const gm_element* element) {
  if (!model || !element || model->count < 0) return -1;
  gm_element copy = *element;  // element may point into the list itself
  if (reserve(model, 1) != 0) return -1;
  model->items[model->count++] = copy;
  return 0;
}

int gm_model_reserve(gm_model* model, int64_t extra) {
  if (!model || model->count < 0 || extra < 0) return -1;
  return reserve(model, extra);
}

void gm_model_truncate(gm_model* model, int32_t count) {
  if (model && count >= 0 && count < model->count) model->count = count;
}

int gm_model_copy(const gm_model* src, gm_model* dst, int option) {
  if (!src || !dst || src->count < 0 || dst->count < 0) return -1;
  if (src->count > 0 && !src->items) return -1;
  if (option == GM_COPY_REPLACE) {
    if (src == dst) return 0;
    gm_model fresh;
    gm_model_init(&fresh);
    if (gm_model_copy(src, &fresh, GM_COPY_APPEND) != 0) return -1;
    gm_model_free(dst);
    *dst = fresh;
    return 0;
  }
  if (option != GM_COPY_APPEND) return -1;
  int32_t n = src->count;
  if (n == 0) return 0;
  if (reserve(dst, n) != 0) return -1;
  // When src is dst, reserve may have moved the items: read through src afterwards.
  std::memmove(dst->items + dst->count, src->items, static_cast<size_t>(n) * sizeof(gm_element));
  dst->count += n;
  return 0;
}

int gm_get_connection(const gm_model* model, int16_t number, gm_point* position,
                      gm_vector* direction, gm_vector* normal,
                      void*, void*, void*, void*) {
  if (!model || !model->items || model->count <= 0) return -1;
  const gm_element* e = model->items;
  for (int32_t i = 0; i + 2 < model->count; ++i) {
    if (e[i].code != GM_CONNECTION || e[i].pen != number) continue;
    if (e[i + 1].code != GM_CONNECTION_DIR || e[i + 2].code != GM_CONNECTION_NORMAL) continue;
    if (position) *position = gm_point{e[i].x, e[i].y, e[i].z};
    if (direction) *direction = gm_vector{e[i + 1].x, e[i + 1].y, e[i + 1].z};
    if (normal) *normal = gm_vector{e[i + 2].x, e[i + 2].y, e[i + 2].z};
    return 0;
  }
  return -1;
}

int gm_model_add_connection(gm_model* model, int16_t number, const gm_point* position,
                            const gm_vector* direction, const gm_vector* normal) {
  if (!model || !position || !direction || !normal) return -1;
  if (reserve(model, 3) != 0) return -1;
  gm_model_add(model, GM_CONNECTION, number, position->x, position->y, position->z);
  gm_model_add(model, GM_CONNECTION_DIR, number, direction->x, direction->y, direction->z);
  gm_model_add(model, GM_CONNECTION_NORMAL, number, normal->x, normal->y, normal->z);
  return 0;
}

}  // extern "C"
