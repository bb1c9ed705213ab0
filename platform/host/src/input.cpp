// User input at the host's prompts: keywords, texts, points, angles, numbers.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include "adslib.h"
#include "hostimpl.h"

namespace {
struct InitGet {
  int flags = 0;
  std::wstring keywords;
};
InitGet gInit;

// The acedInitGet settings apply to one input call: take them.
InitGet takeInit() {
  InitGet g = gInit;
  gInit = InitGet();
  return g;
}

std::vector<std::wstring> splitKeywords(const std::wstring& list) {
  std::vector<std::wstring> out;
  std::wstring cur;
  for (wchar_t c : list) {
    if (c == L' ' || c == L'\t' || c == L',') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

// An answer names a keyword when it is the whole keyword, its capital letters, or a
// beginning of the keyword that reaches its last capital letter (letter case ignored).
bool matchesKeyword(const std::wstring& answer, const std::wstring& kw) {
  if (answer.empty()) return false;
  if (cadhost::equalsNoCase(answer, kw)) return true;
  std::wstring caps;
  size_t lastCap = 0;
  for (size_t i = 0; i < kw.size(); ++i)
    if (std::iswupper(kw[i])) {
      caps += kw[i];
      lastCap = i + 1;
    }
  if (!caps.empty() && cadhost::equalsNoCase(answer, caps)) return true;
  if (answer.size() < std::max<size_t>(lastCap, 1) || answer.size() > kw.size()) return false;
  return cadhost::equalsNoCase(answer, kw.substr(0, answer.size()));
}

bool findKeyword(const std::wstring& answer, const std::wstring& list, std::wstring& kw) {
  for (const std::wstring& k : splitKeywords(list))
    if (matchesKeyword(answer, k)) {
      kw = k;
      return true;
    }
  return false;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// One answer: RTNORM with the line, or RTCAN for "*cancel*" and the end of input.
int ask(const ACHAR* prompt, const wchar_t* fallback, std::string& line) {
  std::wstring p = prompt ? prompt : fallback;
  if (!cadhost::readAnswer(cadhost::toUtf8(p), line)) return RTCAN;
  if (trim(line) == "*cancel*") {
    cadhost::printUtf8("*Cancel*\n");
    return RTCAN;
  }
  return RTNORM;
}

void say(const char* msg) { cadhost::printUtf8(std::string(msg) + "\n"); }

int copyOut(const std::wstring& text, ACHAR* result, size_t size) {
  if (!result || size == 0) return RTERROR;
  size_t n = std::min(text.size(), size - 1);
  wmemcpy(result, text.data(), n);
  result[n] = 0;
  return n < text.size() ? RTINPUTTRUNCATED : RTNORM;
}
}  // namespace

namespace cadhost {
bool parseReal(const std::string& text, double& v) {
  std::string t = trim(text);
  if (t.empty()) return false;
  char* end = nullptr;
  v = std::strtod(t.c_str(), &end);
  return end && *end == 0 && std::isfinite(v);
}

bool parsePoint(const std::string& text, AcGePoint3d& p) {
  std::string t = trim(text);
  double c[3] = {0, 0, 0};
  int n = 0;
  size_t start = 0;
  for (;;) {
    size_t comma = t.find(',', start);
    std::string part = t.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (n >= 3 || !parseReal(part, c[n])) return false;
    ++n;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (n < 2) return false;
  p.set(c[0], c[1], c[2]);
  return true;
}
}  // namespace cadhost

int acedInitGet(int val, const ACHAR* keywordList) {
  gInit.flags = val;
  gInit.keywords = keywordList ? keywordList : L"";
  return RTNORM;
}

int acedGetKword(const ACHAR* prompt, ACHAR* result, size_t bufsize) {
  InitGet init = takeInit();
  if (result && bufsize) result[0] = 0;
  for (;;) {
    std::string line;
    int rc = ask(prompt, L"", line);
    if (rc != RTNORM) return rc;
    std::wstring answer = cadhost::fromUtf8(trim(line));
    if (answer.empty()) {
      if (init.flags & RSG_NONULL) continue;
      return RTNONE;
    }
    if (init.keywords.empty()) return copyOut(answer, result, bufsize);
    std::wstring kw;
    if (findKeyword(answer, init.keywords, kw)) return copyOut(kw, result, bufsize);
    say("Invalid option keyword.");
  }
}

int acedGetKword(const ACHAR* prompt, ACHAR* result) { return acedGetKword(prompt, result, 133); }

int acedGetString(int cronly, const ACHAR* prompt, ACHAR* result, size_t bufsize) {
  takeInit();
  if (result && bufsize) result[0] = 0;
  std::string line;
  int rc = ask(prompt, L"", line);
  if (rc != RTNORM) return rc;
  std::wstring text = cadhost::fromUtf8(cronly ? line : trim(line));
  // Without cronly a blank ends the answer, as the space bar does at the host's prompt.
  if (!cronly) text = text.substr(0, text.find(L' '));
  return copyOut(text, result, bufsize);
}

// Shared loop of the number and point prompts: Enter, keywords, parse, limits.
template <class Parse>
static int askValue(const ACHAR* prompt, const wchar_t* fallback, const char* invalid, Parse parse) {
  InitGet init = takeInit();
  for (;;) {
    std::string line;
    int rc = ask(prompt, fallback, line);
    if (rc != RTNORM) return rc;
    std::string t = trim(line);
    if (t.empty()) {
      if (init.flags & RSG_NONULL) continue;
      return RTNONE;
    }
    std::wstring kw;
    if (!init.keywords.empty() && findKeyword(cadhost::fromUtf8(t), init.keywords, kw)) return RTKWORD;
    const char* problem = parse(t, init.flags);
    if (!problem) return RTNORM;
    say(problem ? problem : invalid);
  }
}

static const char* checkLimits(double v, int flags) {
  if ((flags & RSG_NOZERO) && v == 0) return "Value must be nonzero.";
  if ((flags & RSG_NONEG) && v < 0) return "Value must be positive.";
  return nullptr;
}

int acedGetPoint(const ads_point, const ACHAR* prompt, ads_point result) {
  return askValue(prompt, L"Specify point: ", "Invalid point.", [&](const std::string& t, int) -> const char* {
    AcGePoint3d p;
    if (!cadhost::parsePoint(t, p)) return "Invalid point.";
    result[0] = p.x;
    result[1] = p.y;
    result[2] = p.z;
    return nullptr;
  });
}

int acedGetAngle(const ads_point, const ACHAR* prompt, ads_real* result) {
  return askValue(prompt, L"Specify angle: ", "", [&](const std::string& t, int) -> const char* {
    double deg;
    if (!cadhost::parseReal(t, deg)) return "Requires numeric angle or second point.";
    if (result) *result = std::remainder(deg, 360.0) * M_PI / 180.0;
    if (result && *result < 0) *result += 2 * M_PI;
    return nullptr;
  });
}

int acedGetReal(const ACHAR* prompt, ads_real* result) {
  return askValue(prompt, L"Enter a number: ", "", [&](const std::string& t, int flags) -> const char* {
    double v;
    if (!cadhost::parseReal(t, v)) return "Requires numeric value.";
    if (const char* p = checkLimits(v, flags)) return p;
    if (result) *result = v;
    return nullptr;
  });
}

int acedGetInt(const ACHAR* prompt, int* result) {
  return askValue(prompt, L"Enter an integer: ", "", [&](const std::string& t, int flags) -> const char* {
    char* end = nullptr;
    long v = std::strtol(t.c_str(), &end, 10);
    if (!end || *end || v < -32768 || v > 32767) return "Requires an integer between -32768 and 32767.";
    if (const char* p = checkLimits((double)v, flags)) return p;
    if (result) *result = (int)v;
    return nullptr;
  });
}
