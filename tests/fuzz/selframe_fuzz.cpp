// Where the web selector cuts a connection's bytes into requests, on raw bytes: it stops
// on a request handed on past the bytes there are or past the bounds, a body that does not
// fit its frame, or Range headers taken out that leave a multi-range one behind or touch
// the bytes after the request.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sel_framing.h"

namespace {

bool holdsMultiRange(const std::string& head) {
  for (size_t at = head.find('\n'); at != std::string::npos; at = head.find('\n', at + 1)) {
    std::string name = head.substr(at + 1, 6);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    size_t end = head.find('\n', at + 1);
    if (name == "range:" && head.substr(at + 1, end - at - 1).find(',') != std::string::npos) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SelFrameLimits limits;
  limits.maxHead = 256;
  limits.maxBody = 64;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  SelFrame frame;
  if (sel_frame_request(bytes, limits, frame) == 0) {
    if (size >= limits.maxHead + limits.maxBody) std::abort();  // waits only within the bounds
    return 0;
  }
  if (frame.length == 0 || frame.length > size || frame.length > limits.maxHead + limits.maxBody) std::abort();
  if (frame.exact && (frame.head == 0 || frame.length - frame.head > limits.maxBody)) std::abort();
  if (frame.refusal) return 0;
  const std::string after = bytes.substr(frame.length);
  sel_drop_ranges(bytes, limits, frame);
  if (frame.length > bytes.size() || bytes.substr(frame.length) != after) std::abort();
  if (frame.head && (frame.head > frame.length || bytes.compare(frame.head - 3, 3, "\n\r\n") != 0 ||
                     holdsMultiRange(bytes.substr(0, frame.head))))
    std::abort();
  std::string method, path;
  sel_request_line(bytes, method, path);
  if (method.find(' ') != std::string::npos || path.find_first_of("? \n") != std::string::npos) std::abort();
  return 0;
}
