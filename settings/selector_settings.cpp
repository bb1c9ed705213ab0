// Reading the selector's settings and remembering the last unit file.
#include "selector_settings.h"
#include "registry.h"
#include "text.h"
#include <cstring>

namespace {

constexpr DWORD kSettingSize = 256;

struct SettingEntry {
  std::string SelectorSettings::*field;
  const char* path;
  const char* name;  // named in the message when the setting is required and empty
  bool required;
};

const SettingEntry kSettings[] = {
    {&SelectorSettings::Language, "General\\Language", "Language", false},
    {&SelectorSettings::Email, "General\\Email", "Email", false},
    {&SelectorSettings::Password, "General\\Password", "Password", false},
    {&SelectorSettings::ServerRootURL, "General\\ServerRootURL", "ServerRootURL", true},
    {&SelectorSettings::StartPage, "General\\StartPage", "StartPage", true},
    {&SelectorSettings::XMLFilePath, "General\\XMLFilePath", "XMLFilePath", false},
    {&SelectorSettings::TempFolder, "General\\TempFolder", "TempFolder", true},
};

void openSettingsKey() { regOpen("Ventholm", "Zephyr", "Any version"); }

}  // namespace

int readSettings(SelectorSettings& settings) {
  openSettingsKey();
  for (const SettingEntry& entry : kSettings) {
    char buffer[kSettingSize + 1];  // one byte more: a full value need not end in a zero
    std::memset(buffer, 0, sizeof buffer);
    DWORD size = 0;
    std::string text;
    if (regGetString(nullptr, entry.path, &size, buffer, kSettingSize))
      text.assign(buffer, strnlen(buffer, size));
    settings.*entry.field = text;
    if (entry.required && text.empty()) {
      printMessage("Registry settings is missing: %s\n", entry.name);
      return -1;
    }
  }
  regClose();
  return 0;
}

int saveXmlFilePath(const SelectorSettings& settings) {
  openSettingsKey();
  regSetString(nullptr, "General\\XMLFilePath", settings.XMLFilePath.c_str());
  regClose();
  return 0;
}
