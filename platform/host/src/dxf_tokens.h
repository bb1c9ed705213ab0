// Groups of a DXF file: the tokenizer of text and binary files, value parsing, and the
// host's own text of numbers. Each failure is a DxfError with the place it was found.
#pragma once
#include <cstddef>
#include <string>
#include <vector>
#include "adesk.h"

namespace dxf {
const int kCommentCode = 999;

// What a binary drawing file starts with; its groups follow.
const char kBinarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";  // and a NUL: 22 bytes in all
const size_t kBinarySentinelBytes = sizeof kBinarySentinel;
bool isBinaryDxf(const std::string& data);

struct DxfError {
  std::string what;
  size_t line;  // the line of a text file, the byte offset of a binary one
};

struct Group {
  int code;
  std::string value;
  size_t line;  // line of the value (text), offset of the group (binary)
};

class Tokenizer {
 public:
  // Text from `start` on, or binary groups when the data starts with the sentinel.
  Tokenizer(const std::string& data, size_t start);
  // The next group, false at the end of the data; comments (group 999) are collected, not
  // returned. A binary group comes as its text form: numbers as the host writes them,
  // binary chunks as hexadecimal digits. Throws DxfError for a code that is not a number,
  // a missing value, or a line or value beyond the reader's limit.
  bool next(Group& g);
  void pushBack(const Group& g) {
    m_peek = g;
    m_peeked = true;
  }
  size_t lineNo() const { return m_binary ? m_pos : m_line; }
  bool binary() const { return m_binary; }
  // The comments read so far, in order.
  std::vector<std::string>& comments() { return m_comments; }

 private:
  bool nextText(Group& g);
  bool nextBinary(Group& g);
  bool line(std::string& out);
  const std::string& m_data;
  size_t m_pos = 0, m_line = 0;
  bool m_binary = false, m_shortCodes = false;  // R12's binary files have one-byte codes
  Group m_peek;
  bool m_peeked = false;
  std::vector<std::string> m_comments;
};

// Values; each throws DxfError naming the group and line.
double toReal(const Group& g);
long long toInt(const Group& g);
Adesk::UInt64 toHandle(const Group& g);
// One object's groups: everything up to the next group 0 (left for the caller).
std::vector<Group> readObject(Tokenizer& t);
// The whole file, refused beyond the reader's size limit; false with a message.
bool readFile(const std::string& path, std::string& data, std::wstring* message);

// The host's text of a number: the shortest that reads back as the same double, with
// ".0" after a whole number; an angle in degrees from radians. `out` holds kNumberChars.
const size_t kNumberChars = 40;
size_t realText(double v, char* out);
size_t angleText(double radians, char* out);
}  // namespace dxf
