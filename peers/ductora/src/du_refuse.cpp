#include "du_refuse.h"
#include "du_limits.h"

namespace {
std::string trim(const std::string& t) {
  const size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
  return b == std::string::npos ? "" : t.substr(b, e - b + 1);
}

// "#N" with N from 1 to 999999999.
bool ordinal(const std::string& t, long& n) {
  if (t.size() < 2 || t.size() > 10 || t[0] != '#') return false;
  n = 0;
  for (size_t i = 1; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    n = n * 10 + (t[i] - '0');
  }
  return n > 0;
}

bool methodName(const std::string& t) {
  if (t.empty() || t.size() > 32) return false;
  for (char c : t)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}
}  // namespace

bool du_parse_refusals(const std::string& text, DuRefusals& out, std::string& error) {
  DuRefusals parsed;
  parsed.text = text;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    DuRefusal r;
    r.text = trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (r.text.empty()) continue;
    if (parsed.rules.size() == kDuMaxRefusals) {
      error = "at most " + std::to_string(kDuMaxRefusals) + " refusal rules";
      return false;
    }
    std::string rest = r.text;
    const size_t hash = rest.rfind('#');
    if (hash != std::string::npos) {
      if (!ordinal(trim(rest.substr(hash)), r.nth)) {
        error = "\"" + r.text + "\" ends in \"#\" without a call number from 1 on";
        return false;
      }
      rest = trim(rest.substr(0, hash));
    }
    const size_t blank = rest.find(' ');
    r.method = rest.substr(0, blank);
    r.what = blank == std::string::npos ? "" : trim(rest.substr(blank));
    if (!r.method.empty() && !methodName(r.method)) {
      error = "\"" + r.text + "\" does not start with a method name";
      return false;
    }
    if (r.method.empty() && r.nth == 0) {
      error = "\"" + r.text + "\" names no method and no call";
      return false;
    }
    parsed.rules.push_back(r);
  }
  out = parsed;
  return true;
}

const DuRefusal* du_refused(DuRefusals& refusals, long call, const std::string& method, const std::string& what) {
  const DuRefusal* hit = nullptr;
  for (DuRefusal& r : refusals.rules) {
    if (r.method.empty()) {
      if (r.nth == call && !hit) hit = &r;
      continue;
    }
    if (r.method != method || (!r.what.empty() && r.what != what)) continue;
    ++r.seen;
    if ((r.nth == 0 || r.nth == r.seen) && !hit) hit = &r;
  }
  return hit;
}
