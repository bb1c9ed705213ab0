// The journal NAME.ductora.log: one line per call, appended, so tests can see what the
// server was asked and what it answered. The file stays open between calls; each line
// goes out in one write, so a line is never half there.
#include <cerrno>
#include <cstdio>
#include <unistd.h>
#include "du_internal.h"
#include "standin.h"

std::string du_journal_text(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
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

void du_journal_close(DuServer& s) {
  if (s.journal.fd >= 0) ::close(s.journal.fd);
  s.journal.fd = -1;
  s.journal.path.clear();
}

void du_journal(DuServer& s, const std::string& line) {
  if (s.projectPath.empty()) return;
  const std::string path = du_journal_path(s.projectPath);
  if (path != s.journal.path) {
    du_journal_close(s);
    s.journal.path = path;
    s.journal.fd = standin::openAppendFile(path);
  }
  // The journal is a witness, never a reason to refuse a call.
  if (s.journal.fd >= 0) {
    const std::string whole = line + "\n";
    standin::writeAll(s.journal.fd, whole.data(), whole.size());
  }
}
