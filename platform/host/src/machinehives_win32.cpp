// A machine folder's hive files in the real registry (machinehives.h), read and written
// by the same code as the Windows stand-in's hives.
#include "machinehives.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "hostimpl.h"
#include "reg_hive.h"
#include "standin.h"

namespace cadhost {
namespace {

struct HiveFile {
  const char* fileName;
  const char* rootName;
  HKEY root;
  zwin::RegKey imported;  // the file as read
  bool utf16 = false;
  bool usable = false;  // read and imported: may be written back
};

struct Session {
  std::string folder;
  HiveFile hives[2] = {{"user.reg", "HKEY_CURRENT_USER", HKEY_CURRENT_USER, {}, false, false},
                       {"system.reg", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, {}, false, false}};
  FILETIME started = {};  // before the import: keys written since are the session's
};

Session& session() {
  static Session s;
  return s;
}

// Keys down to this depth below a root are searched for the session's keys whatever
// their time (see collectKey).
const int kSearchedDepth = 2;

std::string filePath(const HiveFile& h) { return session().folder + "\\" + h.fileName; }

void report(const std::string& text) { printUtf8(text); }

// Names of a key's subkeys, and its values, as the registry gives them.
struct KeyContents {
  std::vector<std::wstring> subkeys;
  std::vector<FILETIME> written;  // each subkey's last write
  std::vector<zwin::RegValue> values;
};

bool readContents(HKEY key, KeyContents& out) {
  DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  std::vector<wchar_t> name(std::max(maxSubkey, maxName) + 2);
  for (DWORD i = 0; i < subkeys; ++i) {
    DWORD length = (DWORD)name.size();
    FILETIME written;
    if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS) continue;
    out.subkeys.emplace_back(name.data(), length);
    out.written.push_back(written);
  }
  std::vector<BYTE> data(maxData + 2);
  for (DWORD i = 0; i < values; ++i) {
    DWORD length = (DWORD)name.size(), size = (DWORD)data.size(), type = 0;
    if (RegEnumValueW(key, i, name.data(), &length, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) continue;
    zwin::RegValue v;
    v.name = toUtf8(std::wstring(name.data(), length));
    v.type = type;
    v.data.assign(data.begin(), data.begin() + size);
    out.values.push_back(std::move(v));
  }
  return true;
}

int writeKey(HKEY parent, const zwin::RegKey& key) {
  int rc = 0;
  for (const zwin::RegValue& v : key.values()) {
    const BYTE* data = v.data.empty() ? nullptr : v.data.data();
    if (RegSetValueExW(parent, fromUtf8(v.name).c_str(), 0, v.type, data, (DWORD)v.data.size()) != ERROR_SUCCESS)
      rc = -1;
  }
  for (const auto& child : key.children()) {
    HKEY sub;
    if (RegCreateKeyExW(parent, fromUtf8(child->name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                        nullptr) != ERROR_SUCCESS) {
      rc = -1;
      continue;
    }
    if (writeKey(sub, *child) != 0) rc = -1;
    RegCloseKey(sub);
  }
  return rc;
}

// The registry's key as the hive file keeps it: its values when the file had it or the
// session wrote it, and the keys below it that are such; false when none is. The platform
// holds thousands of keys (its classes and interfaces), so a key the session did not write
// is searched only near the root: a key the session makes changes its parent's time, and
// the session's software makes its keys within two levels of a key it knows (a class
// under Software\Classes\CLSID, its settings under Software\MAKER).
bool collectKey(HKEY key, int depth, zwin::RegKey* imported, bool written, zwin::RegKey& out) {
  KeyContents contents;
  if (!readContents(key, contents)) return false;
  const bool own = imported || written;
  if (own)
    for (zwin::RegValue& v : contents.values) out.setValue(v.name, v.type, std::move(v.data));
  bool any = own;
  for (size_t i = 0; i < contents.subkeys.size(); ++i) {
    const std::string subName = toUtf8(contents.subkeys[i]);
    zwin::RegKey* subImported = imported ? imported->child(subName) : nullptr;
    const bool subWritten = CompareFileTime(&contents.written[i], &session().started) >= 0;
    if (!subImported && !subWritten && depth >= kSearchedDepth) continue;
    HKEY sub;
    if (RegOpenKeyExW(key, contents.subkeys[i].c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    const size_t before = out.children().size();
    zwin::RegKey* child = out.addChild(subName);
    if (collectKey(sub, depth + 1, subImported, subWritten, *child))
      any = true;
    else
      out.dropChildrenFrom(before);
    RegCloseKey(sub);
  }
  return any;
}

int readHiveFile(HiveFile& h) {
  const std::string path = filePath(h);
  FILE* f = standin::openPlainFile(path);
  if (!f) {
    if (errno == ENOENT) {
      h.usable = true;  // a new machine: the hive starts empty
      return 0;
    }
    report("Registry: cannot read " + path + ": not a plain file; it is left as it is.\n");
    return -1;
  }
  std::string bytes;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && bytes.size() <= zwin::kMaxHiveFileBytes) bytes.append(buf, n);
  std::fclose(f);
  if (bytes.size() > zwin::kMaxHiveFileBytes) {
    report("Registry: cannot read " + path + ": too large; it is left as it is.\n");
    return -1;
  }
  std::string reason;
  int line = zwin::parseHive(bytes, h.rootName, h.imported, reason, &h.utf16);
  if (line != 0) {
    report("Registry: " + path + " line " + std::to_string(line) + ": " + reason +
           "; it is left as it is and not read.\n");
    h.imported = zwin::RegKey();
    return -1;
  }
  h.usable = true;
  return 0;
}

int writeHiveFile(const HiveFile& h, const std::string& text) {
  const std::string path = filePath(h);
  standin::SafeSave save;
  if (standin::safeSaveBegin(save, path, 0600) != 0 || !standin::writeAll(save.fd, text.data(), text.size()) ||
      standin::safeSaveCommit(save) != 0) {
    standin::safeSaveAbort(save);
    report("Registry: cannot write " + path + "; the file is left as it was.\n");
    return -1;
  }
  return 0;
}

}  // namespace

int importMachineHives(const std::string& folder) {
  Session& s = session();
  s.folder = folder;
  int rc = 0;
  GetSystemTimeAsFileTime(&s.started);
  for (HiveFile& h : s.hives) {
    if (readHiveFile(h) != 0) continue;
    if (writeKey(h.root, h.imported) != 0) {
      report(std::string("Registry: the keys of ") + filePath(h) + " could not all be written to the registry.\n");
      rc = -1;
    }
  }
  return rc;
}

int exportMachineHives() {
  Session& s = session();
  if (s.folder.empty()) return 0;
  int rc = 0;
  for (HiveFile& h : s.hives) {
    if (!h.usable) continue;
    zwin::RegKey now;
    collectKey(h.root, 0, &h.imported, false, now);
    const std::string text = zwin::formatHive(now, h.rootName, h.utf16);
    if (text == zwin::formatHive(h.imported, h.rootName, h.utf16)) continue;
    if (writeHiveFile(h, text) != 0) rc = -1;
  }
  return rc;
}

}  // namespace cadhost
