// The selector's settings, read from the registry key of Ventholm / Zephyr / Any version,
// subkey "General".
#pragma once
#include <string>

struct SelectorSettings {
  std::string Language = "en";
  std::string Email;
  std::string Password;
  std::string ServerRootURL = "http://127.0.0.1:8765/selector/";
  std::string StartPage = "login/Ductora.jsp";
  std::string XMLFilePath;
  std::string TempFolder = "temp/";
};

// Reads all seven settings (an absent value, or one over 256 bytes, gives ""). 0, or -1
// after the line "Registry settings is missing: <name>" for an empty ServerRootURL, StartPage or
// TempFolder (the later fields then keep their values).
int readSettings(SelectorSettings& settings);
// Stores XMLFilePath in the user's registry. Always 0.
int saveXmlFilePath(const SelectorSettings& settings);
