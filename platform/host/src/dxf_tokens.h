// Groups of a DXF file: the tokenizer of text and binary files, value parsing, and the
// host's own text of numbers. Each failure is a DxfError with the place it was found.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>
#include "adesk.h"
#include "drawfile.h"

namespace dxf {
const int kCommentCode = 999;

// What a binary drawing file starts with; its groups follow.
const char kBinarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";  // and a NUL: 22 bytes in all
const size_t kBinarySentinelBytes = sizeof kBinarySentinel;
bool isBinaryDxf(std::string_view data);

struct DxfError {
  std::string what;
  size_t line;  // the line of a text file, the byte offset of a binary one
};

// A group's value is a view of the file's bytes (of the tokenizer's own room for the
// text form of a binary file's numbers and chunks): it stays valid while the tokenizer
// lives, for a binary value until the tokenizer's room is released past it.
struct Group {
  int code;
  std::string_view value;
  size_t line;  // line of the value (text), offset of the group (binary)
};

class Tokenizer {
 public:
  // Text from `start` on, or binary groups when the data starts with the sentinel.
  Tokenizer(std::string_view data, size_t start);
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
  size_t bytes() const { return m_data.size(); }
  // The comments read so far, in order.
  std::vector<std::string>& comments() { return m_comments; }
  // Where the room for binary values stands; release() gives back what groups read after
  // the mark took, once none of them is needed (an object of a section read and stored).
  struct Mark {
    size_t chunk, used;
  };
  Mark mark() const { return {m_room.size(), m_room.empty() ? 0 : m_room.back().size()}; }
  void release(Mark m);

 private:
  std::string_view keep(std::string_view text);
  bool nextText(Group& g);
  bool nextBinary(Group& g);
  bool quickCode(Group& g);
  bool line(size_t& begin, size_t& end);
  std::string_view m_data;
  size_t m_pos = 0, m_line = 0;
  bool m_binary = false, m_shortCodes = false;  // R12's binary files have one-byte codes
  Group m_peek;
  bool m_peeked = false;
  std::vector<std::string> m_comments;
  std::vector<std::string> m_room;  // chunks that never grow past their first capacity
};

// The start of a group's value, as messages show it.
std::string shownValue(const Group& g);
// Values; each throws DxfError naming the group and line.
// hostText: set to whether the text is the host's own text of the number (isRealText).
double toReal(const Group& g, bool* hostText = nullptr);
long long toInt(const Group& g);
// A hexadecimal number of at most 16 digits; false for anything else (a reference the host
// only keeps).
bool parseHex(std::string_view s, Adesk::UInt64& h);
// A handle below kDxfHandleLimit; with atLimit, the limit itself too (the seed of a
// drawing that has given every handle).
Adesk::UInt64 toHandle(const Group& g, bool atLimit = false);
// One object's groups: everything up to the next group 0 (left for the caller). The
// second form fills `out`, whose room (and that of its texts) serves object after object.
std::vector<Group> readObject(Tokenizer& t);
void readObject(Tokenizer& t, std::vector<Group>& out);
// The bytes of a whole file, in memory mapped for them at once (a drawing of many
// megabytes would otherwise fault its memory in page by page).
class FileData {
 public:
  FileData() = default;
  ~FileData();
  FileData(const FileData&) = delete;
  FileData& operator=(const FileData&) = delete;
  // The file as long as it was when opened; false with a message (refused beyond the
  // reader's size limit).
  bool read(const std::string& path, std::wstring* message);
  std::string_view view() const { return std::string_view(m_bytes.data, m_bytes.size); }

 private:
  cadhost::FileBytes m_bytes;
};

// Groups in the form the writer gives them: the code right-aligned in three columns
// ("  0", " 10", "330", "1000"), its line, the value, its line.
void appendGroup(std::string& out, int code, std::string_view value);
// The same written at out, which has room for the value and kGroupFrameChars more: its length.
const size_t kGroupFrameChars = 17;
size_t groupChars(char* out, int code, std::string_view value);
void appendCode(std::string& out, int code);  // the code and its line alone
// The group of `text` (in that form) at `at`, which moves past it; false at the end.
bool nextGroup(std::string_view text, size_t& at, int& code, std::string_view& value);

// The host's text of a handle: upper-case hexadecimal without leading zeros, in `out`
// (kHandleChars of room).
const size_t kHandleChars = 16;
std::string_view handleChars(Adesk::UInt64 h, char* out);
// Appends two upper-case hexadecimal digits for each of n bytes (a binary chunk's text).
void appendHex(std::string& out, const unsigned char* bytes, size_t n);

// The host's text of a number: the shortest that reads back as the same double, with
// ".0" after a whole number; an angle in degrees from radians. `out` holds kNumberChars.
const size_t kNumberChars = 40;
size_t realText(double v, char* out);
size_t angleText(double radians, char* out);
// True when a number's text is what realText gives the number it stands for (decimal
// digits, at most 15 of them significant, in the form realText chooses); false for any
// other text, and for some that are (which then only cost a realText to compare).
bool isRealText(std::string_view text);
}  // namespace dxf
