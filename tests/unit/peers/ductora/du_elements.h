// Display lists as Ductora receives them from the system: 28-byte elements (code, pen,
// x, y, z), written here one by one for the tests.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

inline void addElement(std::vector<uint8_t>& list, int16_t code, double x, double y = 0, double z = 0,
                       int16_t pen = 1) {
  uint8_t e[28];
  std::memcpy(e, &code, 2);
  std::memcpy(e + 2, &pen, 2);
  std::memcpy(e + 4, &x, 8);
  std::memcpy(e + 12, &y, 8);
  std::memcpy(e + 20, &z, 8);
  list.insert(list.end(), e, e + 28);
}
