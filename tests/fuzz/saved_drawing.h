// What the harnesses of drawing readers share: a drawing as the host saves it.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hostimpl.h"

namespace fuzzdxf {
// The drawing as the host saves it; false when writing failed.
inline bool saved(AcDbDatabase& db, std::string& text) {
  char* buf = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&buf, &size);
  if (!f) return false;
  bool ok = cadhost::dxfWrite(&db, f);
  std::fclose(f);
  text.assign(buf, size);
  std::free(buf);
  return ok;
}
}  // namespace fuzzdxf
