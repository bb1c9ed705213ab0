// A registry hive in memory, and its text form: the registry editor's export files
// ("Windows Registry Editor Version 5.00" in UTF-16LE with a byte order mark or in
// UTF-8, and the older narrow "REGEDIT4"), [key] sections, "name"=value lines.
// Text values (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are stored as the real registry
// stores them: UTF-16LE; the A functions narrow and widen them.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <unordered_map>
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

// A key with its values and subkeys; names are found without regard to letter case by
// one hash probe.
class RegKey {
 public:
  std::string name;

  RegKey* child(const std::string& childName);  // null when absent
  RegKey* addChild(const std::string& childName);
  // Drops the subkeys from index `first` on (the undo of additions).
  void dropChildrenFrom(size_t first);
  const std::vector<std::unique_ptr<RegKey>>& children() const { return m_children; }

  const std::vector<RegValue>& values() const { return m_values; }  // in first-write order
  RegValue* value(const std::string& valueName);  // null when absent
  // Sets a value in place, or as the last one when it is new.
  void setValue(const std::string& valueName, DWORD type, std::vector<BYTE> data);
  bool removeValue(const std::string& valueName);

 private:
  std::vector<RegValue> m_values;
  std::unordered_map<std::string, size_t> m_valueIndex;
  std::vector<std::unique_ptr<RegKey>> m_children;
  std::unordered_map<std::string, size_t> m_childIndex;
};

// Parses hive text whose sections must lie under rootName ("HKEY_CURRENT_USER" or
// "HKEY_LOCAL_MACHINE"; the latter also takes HKEY_CLASSES_ROOT sections as
// Software\Classes). Returns 0, or the number of the first bad line with the reason.
// utf16 tells whether the file was UTF-16LE.
int parseHive(const std::string& bytes, const std::string& rootName, RegKey& root, std::string& reason,
              bool* utf16 = nullptr);

// The hive as the bytes of a 5.00 file, every key as its own section (empty keys
// included): UTF-16LE with a byte order mark and CR LF line ends when utf16 is asked or
// the text is not plain ASCII (the registry editor reads any other file in the narrow
// code page), else plain ASCII.
std::string formatHive(const RegKey& root, const std::string& rootName, bool utf16 = false);

// True when a name may be stored: UTF-8 text without line breaks, within its length limit.
bool validKeyName(const std::string& name);
bool validValueName(const std::string& name);

// Text value types: stored as UTF-16LE.
bool isTextType(DWORD type);
// The process's narrow text (UTF-8) as UTF-16LE and back. A byte that is not part of a
// UTF-8 character is carried as a lone surrogate, so every narrow byte string comes back
// exactly; UTF-16 that is no text (lone surrogates, an odd last byte) narrows the same way.
std::vector<BYTE> narrowToStored(const BYTE* data, size_t size);
std::string storedToNarrow(const std::vector<BYTE>& data);

}  // namespace zwin
