// Reading and writing the registry export text of one hive.
#include "reg_hive.h"
#include "standin.h"
#include "reg_text.h"
#include <cstdio>

namespace zwin {
using standin::equalNoCase;
using standin::appendUtf8;
using standin::foldCase;

RegKey* RegKey::child(const std::string& childName) {
  auto it = m_childIndex.find(foldCase(childName));
  return it == m_childIndex.end() ? nullptr : m_children[it->second].get();
}

RegKey* RegKey::addChild(const std::string& childName) {
  m_children.push_back(std::make_unique<RegKey>());
  m_children.back()->name = childName;
  m_childIndex.emplace(foldCase(childName), m_children.size() - 1);
  return m_children.back().get();
}

void RegKey::dropChildrenFrom(size_t first) {
  while (m_children.size() > first) {
    m_childIndex.erase(foldCase(m_children.back()->name));
    m_children.pop_back();
  }
}

RegValue* RegKey::value(const std::string& valueName) {
  auto it = m_valueIndex.find(foldCase(valueName));
  return it == m_valueIndex.end() ? nullptr : &m_values[it->second];
}

void RegKey::setValue(const std::string& valueName, DWORD type, std::vector<BYTE> data) {
  if (RegValue* v = value(valueName)) {
    v->type = type;
    v->data = std::move(data);
    return;
  }
  m_values.push_back(RegValue{valueName, type, std::move(data)});
  m_valueIndex.emplace(foldCase(valueName), m_values.size() - 1);
}

bool RegKey::removeValue(const std::string& valueName) {
  auto it = m_valueIndex.find(foldCase(valueName));
  if (it == m_valueIndex.end()) return false;
  size_t index = it->second;
  m_values.erase(m_values.begin() + (long)index);
  m_valueIndex.erase(it);
  for (auto& e : m_valueIndex)
    if (e.second > index) --e.second;
  return true;
}

namespace {

bool hasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

}  // namespace

// Names are text: bytes that are no UTF-8 would not come back from the hive file (which
// holds them as UTF-16 text) as they went in.
bool validKeyName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxKeyNameLength && !hasLineBreak(name) &&
         name.find('\\') == std::string::npos && isUtf8(name);
}

bool validValueName(const std::string& name) {
  return name.size() <= kMaxValueNameLength && !hasLineBreak(name) && isUtf8(name);
}

// ---------------------------------------------------------------- parsing

namespace {

struct Parser {
  std::vector<std::string> lines;
  size_t lineNo = 0;  // index of the current line
  std::string reason;
  bool unicode = true;  // a 5.00 file: hex(1), hex(2) and hex(7) data are UTF-16LE

  bool fail(const std::string& why) {
    reason = why;
    return false;
  }
};

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    pos = end + 1;
  }
  return lines;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void skipBlanks(const std::string& s, size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
}

// A quoted text at s[i] (the opening quote) with \\ and \" escapes.
bool parseQuoted(Parser& p, const std::string& s, size_t& i, std::string& out) {
  ++i;
  out.clear();
  while (i < s.size()) {
    char c = s[i++];
    if (c == '"') return true;
    if (c == '\\') {
      if (i >= s.size() || (s[i] != '\\' && s[i] != '"')) return p.fail("only \\\\ and \\\" may follow a backslash");
      out += s[i++];
    } else {
      out += c;
    }
    if (out.size() > kMaxValueBytes) return p.fail("text too long");
  }
  return p.fail("missing closing quote");
}

// Comma-separated hex bytes from s[i] on, continued on the next lines after a "\".
bool parseHexBytes(Parser& p, std::string s, size_t i, std::vector<BYTE>& out) {
  for (;;) {
    skipBlanks(s, i);
    if (i >= s.size()) return true;
    if (s[i] == '\\') {
      ++i;
      skipBlanks(s, i);
      if (i < s.size()) return p.fail("text after the line continuation");
      if (p.lineNo + 1 >= p.lines.size()) return p.fail("line continuation at the end of the file");
      s = p.lines[++p.lineNo];
      i = 0;
      skipBlanks(s, i);
      if (i >= s.size()) return p.fail("line continuation without data");
      continue;
    }
    int hi = hexDigit(s[i]);
    if (hi < 0) return p.fail("expected a hexadecimal byte");
    int value = hi;
    ++i;
    if (i < s.size() && hexDigit(s[i]) >= 0) value = value * 16 + hexDigit(s[i++]);
    if (out.size() >= kMaxValueBytes) return p.fail("value too large");
    out.push_back((BYTE)value);
    skipBlanks(s, i);
    if (i >= s.size()) return true;
    if (s[i] == ',') {
      ++i;
      continue;
    }
    if (s[i] != '\\') return p.fail("expected a comma between bytes");
  }
}

bool parseValueData(Parser& p, const std::string& s, size_t i, RegValue& v) {
  if (i < s.size() && s[i] == '"') {
    std::string text;
    if (!parseQuoted(p, s, i, text)) return false;
    skipBlanks(s, i);
    if (i < s.size()) return p.fail("text after the closing quote");
    v.type = REG_SZ;
    v.data = narrowToStored(reinterpret_cast<const BYTE*>(text.data()), text.size());
    v.data.push_back(0);
    v.data.push_back(0);
    return true;
  }
  if (s.compare(i, 6, "dword:") == 0) {
    i += 6;
    size_t start = i;
    DWORD value = 0;
    while (i < s.size() && hexDigit(s[i]) >= 0) value = value * 16 + (DWORD)hexDigit(s[i++]);
    size_t digits = i - start;
    skipBlanks(s, i);
    if (digits == 0 || digits > 8 || i < s.size()) return p.fail("a dword takes 1 to 8 hexadecimal digits");
    v.type = REG_DWORD;
    v.data = {(BYTE)value, (BYTE)(value >> 8), (BYTE)(value >> 16), (BYTE)(value >> 24)};
    return true;
  }
  if (s.compare(i, 4, "hex:") == 0) {
    v.type = REG_BINARY;
    return parseHexBytes(p, s, i + 4, v.data);
  }
  if (s.compare(i, 4, "hex(") == 0) {
    i += 4;
    size_t start = i;
    DWORD type = 0;
    while (i < s.size() && hexDigit(s[i]) >= 0) type = type * 16 + (DWORD)hexDigit(s[i++]);
    if (i == start || i - start > 8 || s.compare(i, 2, "):") != 0) return p.fail("expected hex(type):");
    v.type = type;
    if (!parseHexBytes(p, s, i + 2, v.data)) return false;
    // A narrow file holds text values in the narrow code page: stored as UTF-16LE.
    if (!p.unicode && isTextType(type)) v.data = narrowToStored(v.data.data(), v.data.size());
    return true;
  }
  if (s.compare(i, 1, "-") == 0) return p.fail("deleting values is not supported in a hive file");
  return p.fail("expected \"text\", dword:, hex: or hex(type):");
}

bool parseValueLine(Parser& p, const std::string& s, RegKey* key) {
  if (!key) return p.fail("value outside of a [key] section");
  size_t i = 0;
  skipBlanks(s, i);
  RegValue v;
  if (s[i] == '@') {
    ++i;
  } else if (s[i] != '"') {
    return p.fail("a value line starts with \"name\" or @");
  } else if (!parseQuoted(p, s, i, v.name)) {
    return false;
  }
  if (!validValueName(v.name)) return p.fail("value name too long or not UTF-8 text");
  skipBlanks(s, i);
  if (i >= s.size() || s[i] != '=') return p.fail("expected = after the value name");
  ++i;
  skipBlanks(s, i);
  if (!parseValueData(p, s, i, v)) return false;
  key->setValue(v.name, v.type, std::move(v.data));
  return true;
}

bool isRootName(const std::string& name, const std::string& rootName) {
  if (equalNoCase(name, rootName)) return true;
  if (rootName == "HKEY_CURRENT_USER") return equalNoCase(name, "HKCU");
  if (rootName == "HKEY_LOCAL_MACHINE") return equalNoCase(name, "HKLM");
  return false;
}

RegKey* parseSection(Parser& p, const std::string& line, const std::string& rootName, RegKey& root) {
  std::string path = line.substr(1, line.size() - 2);
  if (!path.empty() && path[0] == '-') {
    p.fail("deleting keys is not supported in a hive file");
    return nullptr;
  }
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(pos, end - pos));
    pos = end + 1;
  }
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();
  std::vector<std::string> keys;
  if (isRootName(parts[0], rootName)) {
    keys.assign(parts.begin() + 1, parts.end());
  } else if (rootName == "HKEY_LOCAL_MACHINE" &&
             (equalNoCase(parts[0], "HKEY_CLASSES_ROOT") || equalNoCase(parts[0], "HKCR"))) {
    keys = {"Software", "Classes"};
    keys.insert(keys.end(), parts.begin() + 1, parts.end());
  } else {
    p.fail("key outside of " + rootName);
    return nullptr;
  }
  if (keys.size() > kMaxKeyDepth) {
    p.fail("key nested too deep");
    return nullptr;
  }
  RegKey* key = &root;
  for (const std::string& name : keys) {
    if (!validKeyName(name)) {
      p.fail("key name empty, too long or not UTF-8 text");
      return nullptr;
    }
    RegKey* next = key->child(name);
    key = next ? next : key->addChild(name);
  }
  return key;
}

}  // namespace

int parseHive(const std::string& text, const std::string& rootName, RegKey& root, std::string& reason, bool* utf16) {
  Parser p;
  bool wide = text.compare(0, 2, "\xFF\xFE") == 0;
  if (utf16) *utf16 = wide;
  std::string body = wide ? utf16FileToUtf8(text) : text;
  if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);
  p.lines = splitLines(body);
  bool headerSeen = false;
  RegKey* key = nullptr;
  for (p.lineNo = 0; p.lineNo < p.lines.size(); ++p.lineNo) {
    std::string line = trim(p.lines[p.lineNo]);
    if (line.empty() || line[0] == ';') continue;
    bool ok = true;
    if (!headerSeen) {
      if (line != "Windows Registry Editor Version 5.00" && (line != "REGEDIT4" || wide))
        ok = p.fail("expected \"Windows Registry Editor Version 5.00\"");
      p.unicode = line != "REGEDIT4";
      headerSeen = true;
    } else if (line[0] == '[') {
      if (line.back() != ']' || line.size() < 3) ok = p.fail("expected [key name]");
      else ok = (key = parseSection(p, line, rootName, root)) != nullptr;
    } else {
      ok = parseValueLine(p, line, key);
    }
    if (!ok) {
      reason = p.reason;
      return (int)p.lineNo + 1;
    }
  }
  return 0;
}

// ---------------------------------------------------------------- writing

namespace {

std::string quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A text value is written as "text" only when reading that back gives the same bytes:
// UTF-16 text with its terminating zero, no other zero and no line break.
bool writableAsText(const RegValue& v, std::string& text) {
  if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2 || v.data[v.data.size() - 1] ||
      v.data[v.data.size() - 2])
    return false;
  std::u32string units;
  if (!utf16Units(std::string(v.data.begin(), v.data.end() - 2), 0, units)) return false;
  text.clear();
  for (char32_t cp : units) {
    if (cp == 0 || cp == '\r' || cp == '\n') return false;
    appendUtf8(text, cp);
  }
  return true;
}

void formatValue(std::string& out, const RegValue& v) {
  std::string line = v.name.empty() ? "@=" : quote(v.name) + "=";
  std::string text;
  if (writableAsText(v, text)) {
    out += line + quote(text) + "\n";
    return;
  }
  char buf[32];
  if (v.type == REG_DWORD && v.data.size() == 4) {
    DWORD d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | ((DWORD)v.data[3] << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", (unsigned)d);
    out += line + buf + "\n";
    return;
  }
  if (v.type == REG_BINARY) {
    line += "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", (unsigned)v.type);
    line += buf;
  }
  for (size_t i = 0; i < v.data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", v.data[i]);
    line += buf;
    if (i + 1 < v.data.size()) {
      line += ',';
      if (line.size() > 76) {  // wrapped as the export tool does, so the file stays readable
        out += line + "\\\n";
        line = "  ";
      }
    }
  }
  out += line + "\n";
}

void formatKey(std::string& out, const RegKey& key, const std::string& path, bool isRoot) {
  if (!isRoot || !key.values().empty()) {
    out += "[" + path + "]\n";
    for (const RegValue& v : key.values()) formatValue(out, v);
    out += "\n";
  }
  for (const auto& c : key.children()) formatKey(out, *c, path + "\\" + c->name, false);
}

}  // namespace

std::string formatHive(const RegKey& root, const std::string& rootName, bool utf16) {
  std::string out = "Windows Registry Editor Version 5.00\n\n";
  formatKey(out, root, rootName, true);
  for (char c : out)
    if ((unsigned char)c >= 0x80) utf16 = true;
  return utf16 ? utf8ToUtf16File(out) : out;
}

}  // namespace zwin
