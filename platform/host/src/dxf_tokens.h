// Groups of a DXF file: the tokenizer (group code line, value line) and value parsing,
// each failure a DxfError with the line it was found on.
#pragma once
#include <string>
#include <vector>
#include "adesk.h"

namespace dxf {
const int kCommentCode = 999;

struct DxfError {
  std::string what;
  size_t line;
};

struct Group {
  int code;
  std::string value;
  size_t line;  // line of the value
};

class Tokenizer {
 public:
  explicit Tokenizer(const std::string& data) : m_data(data) {}
  // The next group, false at the end of the data; comments (group 999) are passed over.
  // Throws DxfError for a code that is not a number, a missing value line or a line
  // beyond the reader's limit.
  bool next(Group& g);
  void pushBack(const Group& g) {
    m_peek = g;
    m_peeked = true;
  }
  size_t lineNo() const { return m_line; }

 private:
  bool line(std::string& out);
  const std::string& m_data;
  size_t m_pos = 0, m_line = 0;
  Group m_peek;
  bool m_peeked = false;
};

// Values; each throws DxfError naming the group and line.
double toReal(const Group& g);
long long toInt(const Group& g);
// A handle below kDxfHandleLimit; with atLimit, the limit itself too (the seed of a
// drawing that has given every handle).
Adesk::UInt64 toHandle(const Group& g, bool atLimit = false);
// One object's groups: everything up to the next group 0 (left for the caller).
std::vector<Group> readObject(Tokenizer& t);
// The whole file, refused beyond the reader's size limit; false with a message.
bool readFile(const std::string& path, std::string& data, std::wstring* message);
}  // namespace dxf
