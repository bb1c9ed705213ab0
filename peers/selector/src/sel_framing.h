// Where one HTTP request ends in the bytes a connection has sent. The selector reads each
// request whole before a worker answers it, so a client that sends slowly holds a buffer,
// never a worker. The HTTP library reads the request line and the headers itself; this
// reader only finds the end of the header block and the length of the body.
#pragma once
#include <cstddef>
#include <string>

struct SelFrameLimits {
  size_t maxHead = 16u << 10;  // request line and headers, the blank line included
  size_t maxBody = 16u << 10;  // a body beyond it is refused by the library (413)
  size_t maxRange = 64;        // a Range header longer than this is not honoured
};

struct SelFrame {
  size_t length = 0;  // bytes of the request (head and body) handed on
  size_t head = 0;    // bytes of the head, 0 when the head is over maxHead
  // false when the request does not end where length says (a head over the bound, a body
  // over it or of no readable length): the connection ends after the answer.
  bool exact = true;
  int refusal = 0;  // 411 for a body sent without a Content-Length (chunked or otherwise)
};

// Looks at the first request in data. Returns 1 when it is there whole, or when as much of
// it is there as the selector takes (frame.exact false, frame.length bytes to hand on);
// 0 while more bytes are needed.
int sel_frame_request(const std::string& data, const SelFrameLimits& limits, SelFrame& frame);

// Takes out of the head (the first frame.head bytes of data) every Range header that asks
// for more than one range or is longer than limits.maxRange, and shortens the frame by what
// it took. The answer is then the whole file, as to a request without Range: a thousand
// ranges of one file would make an answer a thousand times its size.
void sel_drop_ranges(std::string& data, const SelFrameLimits& limits, SelFrame& frame);

// The method and the path (without the query, which may hold a password) of the request
// line at the start of data, for the log of a request the selector refuses itself; empty
// when data holds no whole request line.
void sel_request_line(const std::string& data, std::string& method, std::string& path);
