// Guards the hive text reader against crashes and silent changes on any input.
#include <gtest/gtest.h>
#include <random>
#include "reg_hive.h"
#include "windows.h"

namespace {

using zwin::RegKey;

TEST(HiveText, FormatThenParseGivesTheSameTreeForRandomValues) {
  std::mt19937 rng(12345);
  RegKey root;
  RegKey* key = root.addChild("Software")->addChild("Mixed [Case]");
  std::vector<zwin::RegValue> values;
  for (int i = 0; i < 200; ++i) {
    zwin::RegValue v;
    v.name = "v" + std::to_string(i) + (i % 7 == 0 ? "\"\\" : "");
    v.type = (DWORD)(rng() % 12);
    v.data.resize(rng() % 200);
    for (BYTE& b : v.data) b = (BYTE)(i % 3 == 0 ? 'a' + rng() % 26 : rng());
    if (i % 3 == 0 && !v.data.empty()) v.data.back() = 0;
    key->setValue(v.name, v.type, v.data);
    values.push_back(v);
  }
  std::string text = zwin::formatHive(root, "HKEY_CURRENT_USER");
  RegKey back;
  std::string reason;
  ASSERT_EQ(0, zwin::parseHive(text, "HKEY_CURRENT_USER", back, reason)) << reason;
  RegKey* k = back.child("software")->child("MIXED [case]");
  ASSERT_NE(nullptr, k);
  ASSERT_EQ(values.size(), k->values().size());
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i].name, k->values()[i].name);
    EXPECT_EQ(values[i].type, k->values()[i].type);
    EXPECT_EQ(values[i].data, k->values()[i].data);
  }
  EXPECT_EQ(text, zwin::formatHive(back, "HKEY_CURRENT_USER"));
}

TEST(HiveText, RandomDamageNeverCrashesAndIsEitherReadOrRefused) {
  RegKey root;
  root.addChild("Software")->setValue("Name", REG_BINARY, std::vector<BYTE>(100, 0xab));
  const std::string good = zwin::formatHive(root, "HKEY_CURRENT_USER");
  std::mt19937 rng(7);
  const char alphabet[] = "[]\\\"=@:,()-;\n\r xhexdword01fF\xC3";
  for (int round = 0; round < 2000; ++round) {
    std::string text = good;
    int edits = 1 + (int)(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      size_t at = rng() % text.size();
      switch (rng() % 3) {
        case 0: text[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
        case 1: text.erase(at, 1 + rng() % 8); break;
        default: text.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]); break;
      }
      if (text.empty()) text = "x";
    }
    RegKey parsed;
    std::string reason;
    int line = zwin::parseHive(text, "HKEY_CURRENT_USER", parsed, reason);
    if (line != 0) {
      EXPECT_FALSE(reason.empty());
    }
  }
}

TEST(HiveText, ExportToolFilesInUtf16AreRead) {
  std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Gr\u00FC\u00DFe]\r\n"
      u"\"Name\"=\"\u20AC \U0001D11E\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += (char)(c & 0xFF);
    bytes += (char)(c >> 8);
  }
  RegKey root;
  std::string reason;
  ASSERT_EQ(0, zwin::parseHive(bytes, "HKEY_CURRENT_USER", root, reason)) << reason;
  RegKey* key = root.child("software")->child("GR\u00DC\u00DFE");  // letter case of non-ASCII names too
  ASSERT_NE(nullptr, key);
  // Stored as the registry stores text: UTF-16LE with its terminating zero.
  EXPECT_EQ((std::vector<BYTE>{0xAC, 0x20, ' ', 0, 0x34, 0xD8, 0x1E, 0xDD, 0, 0}), key->value("name")->data);
}

TEST(HiveText, EmptyKeysAreKeptAsSections) {
  RegKey root;
  root.addChild("Software")->addChild("Ventholm")->addChild("Zephyr");
  std::string text = zwin::formatHive(root, "HKEY_CURRENT_USER");
  EXPECT_EQ(
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software]\n\n"
      "[HKEY_CURRENT_USER\\Software\\Ventholm]\n\n"
      "[HKEY_CURRENT_USER\\Software\\Ventholm\\Zephyr]\n\n",
      text);
}

}  // namespace
