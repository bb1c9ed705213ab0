// printMessage of the test: formats as the system's does and keeps the text.
#include <cstdarg>
#include <cstdio>
#include "print_capture.h"
#include "text.h"

namespace {
std::string printed;
}

int printMessage(const char* format, ...) {
  char buffer[8192];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return 0;
  printed += buffer;
  return n;
}

std::string takePrinted() {
  std::string text = printed;
  printed.clear();
  return text;
}
