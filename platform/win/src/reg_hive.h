// A registry hive in memory, and its text form: the registry export syntax
// ("Windows Registry Editor Version 5.00", [key] sections, "name"=value lines).
#pragma once
#include "wintypes.h"
#include <memory>
#include <string>
#include <vector>

namespace zwin {

// Limits of what a hive holds; larger input is refused, never cut.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxValueBytes = 1u << 20;
constexpr size_t kMaxHiveFileBytes = 64u << 20;

struct RegValue {
  std::string name;  // "" is the key's default value (@)
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct RegKey {
  std::string name;
  std::vector<RegValue> values;  // in first-write order
  std::vector<std::unique_ptr<RegKey>> children;

  RegKey* child(const std::string& childName);         // any letter case; null when absent
  RegKey* addChild(const std::string& childName);
  RegValue* value(const std::string& valueName);       // any letter case; null when absent
  size_t valueIndex(const std::string& valueName) const;  // values.size() when absent
};

// Parses hive text whose sections must lie under rootName ("HKEY_CURRENT_USER" or
// "HKEY_LOCAL_MACHINE"; the latter also takes HKEY_CLASSES_ROOT sections as
// Software\Classes). Returns 0, or the number of the first bad line with the reason.
int parseHive(const std::string& text, const std::string& rootName, RegKey& root, std::string& reason);

// The hive as text, every key as its own section (empty keys included).
std::string formatHive(const RegKey& root, const std::string& rootName);

// True when a name may be stored: no line breaks, within its length limit.
bool validKeyName(const std::string& name);
bool validValueName(const std::string& name);

}  // namespace zwin
