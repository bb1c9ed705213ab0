// Guards where the selector cuts a connection's bytes into requests: a request handed on
// before its body has come would be answered from half a form, one cut too late would eat
// the next request, and a head or body past the bounds must be handed on (to be refused)
// rather than waited for. Ranges beyond one are taken out, so no answer grows with them.
#include "sel_framing.h"

#include <gtest/gtest.h>

namespace {

const std::string kGet = "GET /selector/x?passw=secret HTTP/1.1\r\nHost: h\r\n\r\n";

SelFrame frameOf(const std::string& data, int expected, const SelFrameLimits& limits = SelFrameLimits()) {
  SelFrame f;
  EXPECT_EQ(sel_frame_request(data, limits, f), expected) << data;
  return f;
}

TEST(SelFraming, RequestsEndWhereTheirHeadAndBodyEnd) {
  for (size_t cut = 0; cut < kGet.size(); ++cut) frameOf(kGet.substr(0, cut), 0);
  SelFrame f = frameOf(kGet + kGet, 1);
  EXPECT_EQ(f.length, kGet.size());
  EXPECT_TRUE(f.exact);

  std::string post = "POST /selector/export HTTP/1.1\r\ncontent-LENGTH:  7 \r\n\r\n";
  frameOf(post + "unit=V", 0);
  f = frameOf(post + "unit=VHGET / HTTP/1.1\r\n", 1);
  EXPECT_EQ(f.length, post.size() + 7);
  EXPECT_TRUE(f.exact);
  // A bare line feed ends the request line, but only CR LF ends the head, as the library reads it.
  EXPECT_EQ(frameOf("GET / HTTP/1.1\n\r\n", 1).length, 17u);
  frameOf("GET / HTTP/1.1\r\nA: b\n\n", 0);
}

TEST(SelFraming, WhatCannotBeFramedIsHandedOnToBeRefused) {
  SelFrameLimits limits;
  limits.maxHead = 64;
  limits.maxBody = 10;
  SelFrame f = frameOf("GET / HTTP/1.1\r\nX: " + std::string(100, 'a'), 1, limits);
  EXPECT_EQ(f.length, 64u);
  EXPECT_FALSE(f.exact);
  for (const char* length : {"11", "-5", "1e3", "%31", "", "99999999999999999999"}) {
    std::string head = std::string("POST / HTTP/1.1\r\nContent-Length: ") + length + "\r\n\r\n";
    f = frameOf(head + "abc", 1, limits);
    EXPECT_FALSE(f.exact) << length;
    EXPECT_EQ(f.length, head.size()) << length;
  }
  f = frameOf("POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx", 1, limits);
  EXPECT_FALSE(f.exact);
  f = frameOf("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 1, limits);
  EXPECT_EQ(f.refusal, 411);
}

TEST(SelFraming, RangesBeyondOneAreTakenOut) {
  std::string rest = "Host: h\r\n\r\nNEXT";
  std::string data = "GET /f HTTP/1.1\r\nRange: bytes=0-1,2-3\r\nrange: bytes=5-9\r\nRANGE: bytes=" +
                     std::string(80, '1') + "-\r\n" + rest;
  SelFrame f = frameOf(data, 1);
  sel_drop_ranges(data, SelFrameLimits(), f);
  EXPECT_EQ(data, "GET /f HTTP/1.1\r\nrange: bytes=5-9\r\n" + rest);
  EXPECT_EQ(f.length, data.size() - 4);
  EXPECT_EQ(f.head, f.length);
}

TEST(SelFraming, TheLogGetsThePathWithoutTheQuery) {
  std::string method, path;
  sel_request_line(kGet, method, path);
  EXPECT_EQ(method + " " + path, "GET /selector/x");
  sel_request_line("GET /selector/x", method, path);
  EXPECT_EQ(method + path, "");
}

}  // namespace
