// The journal NAME.ductora.log: one line per call, appended, so tests can see what the
// server was asked and what it answered. The file stays open between calls; lines wait in
// memory and go out whole, several in one write, so a line is never half there.
#include <cerrno>
#include <cstdio>
#include <unistd.h>
#include "du_internal.h"
#include "standin.h"

namespace {
// Characters a journal text writes as an escape.
bool needsEscape(unsigned char c) { return c < 0x20 || c == 0x7f || c == '"' || c == '\\'; }
}  // namespace

std::string du_journal_text(const std::string& text) {
  std::string out;
  du_journal_quote(out, text);
  return out;
}

void du_journal_quote(std::string& out, const std::string& text) {
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  // Runs without escapes (all of a hexadecimal chunk) are copied whole.
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!needsEscape(c)) continue;
    out.append(text, start, i - start);
    start = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
      }
    }
  }
  out.append(text, start, std::string::npos);
  out += '"';
}

void du_journal_flush(DuServer& s) {
  // The journal is a witness, never a reason to refuse a call.
  if (s.journal.fd >= 0 && !s.journal.pending.empty())
    standin::writeAll(s.journal.fd, s.journal.pending.data(), s.journal.pending.size());
  s.journal.pending.clear();
}

void du_journal_close(DuServer& s) {
  du_journal_flush(s);
  if (s.journal.fd >= 0) ::close(s.journal.fd);
  s.journal.fd = -1;
  s.journal.path.clear();
}

bool du_journaling(const DuServer& s) { return !s.projectPath.empty(); }

void du_journal(DuServer& s, const std::string& line) {
  if (!du_journaling(s)) return;
  const std::string path = du_journal_path(s.projectPath);
  if (path != s.journal.path) {
    du_journal_close(s);
    s.journal.path = path;
    s.journal.fd = standin::openAppendFile(path);
  }
  if (s.journal.fd < 0) return;
  s.journal.pending += line;
  s.journal.pending += '\n';
  if (s.journal.pending.size() >= kDuJournalBuffer) du_journal_flush(s);
}
