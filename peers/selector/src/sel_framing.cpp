#include "sel_framing.h"

#include <cstring>

namespace {

const size_t kMaxLengthDigits = 18;  // a length beyond any bound, still without overflow

bool sameName(const char* begin, const char* end, const char* name) {
  size_t n = std::strlen(name);
  if (static_cast<size_t>(end - begin) != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = begin[i] >= 'A' && begin[i] <= 'Z' ? static_cast<char>(begin[i] - 'A' + 'a') : begin[i];
    if (c != name[i]) return false;
  }
  return true;
}

// One header line of the head, its name and value as the library reads them: the name up
// to the colon, the value without the blanks around it.
struct HeaderLine {
  size_t begin = 0, end = 0;  // the whole line, its line end included
  const char* name = nullptr;
  const char* nameEnd = nullptr;
  const char* value = nullptr;
  const char* valueEnd = nullptr;
};

bool blank(char c) { return c == ' ' || c == '\t'; }

// The header line starting at offset at of data (inside the head); false past the head.
bool headerLine(const std::string& data, size_t at, size_t headEnd, HeaderLine& line) {
  size_t lineEnd = data.find('\n', at);
  if (lineEnd == std::string::npos || lineEnd + 1 >= headEnd) return false;  // the blank line ends it
  line.begin = at;
  line.end = lineEnd + 1;
  const char* p = data.data() + at;
  const char* end = data.data() + lineEnd;
  if (end > p && end[-1] == '\r') --end;
  line.name = p;
  while (p < end && *p != ':') ++p;
  line.nameEnd = p;
  if (p < end) ++p;
  while (p < end && blank(*p)) ++p;
  while (end > p && blank(end[-1])) --end;
  line.value = p;
  line.valueEnd = end;
  return true;
}

// The end of the head (the byte after its blank line), or 0 when it has not come yet. The
// library reads the request line up to its first line feed and then header lines up to
// one that is nothing but CR LF.
size_t headEnd(const std::string& data) {
  size_t requestLineEnd = data.find('\n');
  if (requestLineEnd == std::string::npos) return 0;
  size_t blankLine = data.find("\n\r\n", requestLineEnd);
  return blankLine == std::string::npos ? 0 : blankLine + 3;
}

}  // namespace

int sel_frame_request(const std::string& data, const SelFrameLimits& limits, SelFrame& frame) {
  frame = SelFrame();
  size_t head = headEnd(data);
  if (head == 0 || head > limits.maxHead) {
    if (data.size() < limits.maxHead && head == 0) return 0;
    // Beyond the bound: the library sees the first maxHead bytes and refuses them.
    frame.length = limits.maxHead < data.size() ? limits.maxHead : data.size();
    frame.exact = false;
    return 1;
  }
  frame.head = head;
  frame.length = head;
  int lengths = 0;
  bool readable = true;
  size_t body = 0;
  HeaderLine line;
  for (size_t at = data.find('\n') + 1; headerLine(data, at, head, line); at = line.end) {
    if (sameName(line.name, line.nameEnd, "transfer-encoding")) {
      frame.refusal = 411;
      frame.exact = false;
      return 1;
    }
    if (!sameName(line.name, line.nameEnd, "content-length")) continue;
    ++lengths;
    size_t digits = static_cast<size_t>(line.valueEnd - line.value);
    readable = readable && digits > 0 && digits <= kMaxLengthDigits;
    size_t value = 0;
    for (const char* p = line.value; readable && p < line.valueEnd; ++p) {
      readable = *p >= '0' && *p <= '9';
      value = value * 10 + static_cast<size_t>(*p - '0');
    }
    body = value;
  }
  if (lengths > 1 || !readable || body > limits.maxBody) {
    frame.exact = false;  // the library answers from the head alone (400 or 413)
    return 1;
  }
  if (data.size() - head < body) return 0;
  frame.length = head + body;
  return 1;
}

void sel_drop_ranges(std::string& data, const SelFrameLimits& limits, SelFrame& frame) {
  if (frame.head == 0) return;
  HeaderLine line;
  size_t at = data.find('\n') + 1;
  while (headerLine(data, at, frame.head, line)) {
    size_t size = static_cast<size_t>(line.valueEnd - line.value);
    bool honoured = size <= limits.maxRange && std::memchr(line.value, ',', size) == nullptr;
    if (!sameName(line.name, line.nameEnd, "range") || honoured) {
      at = line.end;
      continue;
    }
    size_t taken = line.end - line.begin;
    data.erase(line.begin, taken);
    frame.head -= taken;
    frame.length -= taken;
  }
}

void sel_request_line(const std::string& data, std::string& method, std::string& path) {
  method.clear();
  path.clear();
  size_t end = data.find('\n');
  if (end == std::string::npos) return;
  size_t space = data.find(' ');
  if (space == std::string::npos || space > end) return;
  size_t target = space + 1;
  size_t targetEnd = data.find_first_of(" ?#\r\n", target);
  method = data.substr(0, space);
  path = data.substr(target, targetEnd - target);
}
