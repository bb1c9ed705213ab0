// Reader of the catalogue source folder.
#include "catalog_source.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>

namespace catalog {
namespace {

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool readFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return !in.bad();
}

std::string where(const std::string& file, int line) {
  return file + ":" + std::to_string(line) + ": ";
}

bool readDictionary(const std::string& path, Source& out, std::string& error) {
  std::vector<Section> sections;
  if (!readIni(path, sections, error, &out.dictionaryText)) return false;
  for (const Section& s : sections) {
    if (s.head == "attributes" && s.name.empty()) {
      for (const Entry& e : s.entries) {
        Attribute a;
        char* end = nullptr;
        long n = std::strtol(e.key.c_str(), &end, 10);
        size_t comma = e.value.find(',');
        if (!end || *end || n <= 0 || n > 99999 || comma == std::string::npos) {
          error = where(path, e.line) + "expected \"number = key, TITLE\"";
          return false;
        }
        a.number = static_cast<int>(n);
        a.key = trim(e.value.substr(0, comma));
        a.title = trim(e.value.substr(comma + 1));
        for (const Attribute& other : out.attributes)
          if (other.number == a.number || other.key == a.key) {
            error = where(path, e.line) + "attribute defined twice";
            return false;
          }
        out.attributes.push_back(a);
      }
    } else if (s.head == "tables" && s.name.empty()) {
      for (const Entry& e : s.entries) out.tables[e.key] = e.value;
    } else {
      error = where(path, s.line) + "unknown section [" + s.head + "]";
      return false;
    }
  }
  return true;
}

bool readModels(const std::string& folder, Source& out, std::string& error) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    error = folder + ": cannot read the models folder";
    return false;
  }
  std::vector<std::string> names;
  while (dirent* d = readdir(dir)) {
    std::string n = d->d_name;
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".tsd") == 0) names.push_back(n);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    std::string text;
    if (!readFile(folder + "/" + n, text)) {
      error = folder + "/" + n + ": cannot read";
      return false;
    }
    out.models[n.substr(0, n.size() - 4)] = text;
  }
  return true;
}

}  // namespace

bool readIni(const std::string& path, std::vector<Section>& out, std::string& error,
             std::string* textOut) {
  std::string text;
  if (!readFile(path, text)) {
    error = path + ": cannot read";
    return false;
  }
  if (textOut) *textOut = text;
  std::istringstream in(text);
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
    ++line;
    std::string s = trim(raw);
    if (s.empty() || s[0] == '#' || s[0] == ';') continue;
    if (s[0] == '[') {
      if (s.back() != ']') {
        error = where(path, line) + "section head without \"]\"";
        return false;
      }
      std::string inner = trim(s.substr(1, s.size() - 2));
      Section sec;
      size_t blank = inner.find_first_of(" \t");
      sec.head = inner.substr(0, blank);
      sec.name = blank == std::string::npos ? "" : trim(inner.substr(blank));
      sec.file = path;
      sec.line = line;
      out.push_back(sec);
      continue;
    }
    size_t eq = s.find('=');
    if (eq == std::string::npos || out.empty()) {
      error = where(path, line) + (out.empty() ? "line before the first section"
                                               : "expected \"key = value\"");
      return false;
    }
    Entry e{trim(s.substr(0, eq)), trim(s.substr(eq + 1)), line};
    for (const Entry& other : out.back().entries)
      if (other.key == e.key) {
        error = where(path, line) + "\"" + e.key + "\" given twice in this section";
        return false;
      }
    out.back().entries.push_back(e);
  }
  return true;
}

bool readSource(const std::string& folder, Source& out, std::string& error) {
  if (!readDictionary(folder + "/dictionary.ini", out, error)) return false;
  std::vector<Section> sections;
  for (const char* file : {"products.ini", "series.ini"})
    if (!readIni(folder + "/" + file, sections, error)) return false;
  for (Section& s : sections) {
    if (s.name.empty()) {
      error = where(s.file, s.line) + "section without an id";
      return false;
    }
    if (s.head == "OTP") out.products.push_back(s);
    else if (s.head == "MAS") out.series.push_back(s);
    else {
      error = where(s.file, s.line) + "unknown class or table \"" + s.head + "\"";
      return false;
    }
  }
  return readModels(folder + "/models", out, error);
}

const Attribute* findAttribute(const Source& source, const std::string& key) {
  for (const Attribute& a : source.attributes)
    if (a.key == key) return &a;
  return nullptr;
}

// 64-bit FNV-1a of the dictionary text: any change to the definitions makes a new stamp.
std::string dictionaryStamp(const Source& source) {
  uint64_t h = 1469598103934665603ULL;
  for (unsigned char c : source.dictionaryText) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "DT-%016llx", static_cast<unsigned long long>(h));
  return buf;
}

}  // namespace catalog
