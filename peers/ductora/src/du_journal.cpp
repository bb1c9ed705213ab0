// The journal NAME.ductora.log: one line per call, appended, so tests can see what the
// server was asked and what it answered.
#include <cstdio>
#include "du_internal.h"

namespace {
// Texts longer than this are written as their length only (hexadecimal chunks, models).
const size_t kMaxJournalText = 2048;
}

std::string du_journal_text(const std::string& text) {
  if (text.size() > kMaxJournalText) return "<" + std::to_string(text.size()) + " chars>";
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

void du_journal(DuServer& s, const std::string& line) {
  if (s.projectPath.empty()) return;
  std::string path = du_journal_path(s.projectPath);
  FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return;  // the journal is a witness, never a reason to refuse a call
  std::fprintf(f, "%s\n", line.c_str());
  std::fclose(f);
}
