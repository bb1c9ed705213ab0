// Guards against GUID texts that do not round-trip and ProgIDs found when not installed.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "objbase.h"
#include "windows.h"
#include "winhost.h"

namespace {
const GUID kSample = {0x01234567, 0x89ab, 0xcdef, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}};

// One machine folder for the whole test program (the registry is set up once).
void useFreshMachine() {
  static bool done = false;
  if (done) return;
  char dir[] = "/tmp/zcom-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  winSetMachineFolder(dir);
  done = true;
}

void install(const char* progId, const char* value) {
  HKEY key = nullptr;
  std::string sub = std::string(progId) + "\\CLSID";
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, sub.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           DWORD(std::strlen(value) + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}
}  // namespace

TEST(Guid, TextRoundTrip) {
  wchar_t text[39];
  ASSERT_EQ(StringFromGUID2(kSample, text, 39), 39);
  EXPECT_EQ(std::wstring(text), L"{01234567-89AB-CDEF-0123-456789ABCDEF}");
  CLSID back;
  ASSERT_EQ(CLSIDFromString(text, &back), S_OK);
  EXPECT_TRUE(back == kSample);
  ASSERT_EQ(CLSIDFromString(L"{01234567-89ab-cdef-0123-456789abcdef}", &back), S_OK);
  EXPECT_TRUE(back == kSample);
  EXPECT_EQ(StringFromGUID2(kSample, text, 38), 0);
}

TEST(Guid, MalformedTextRefused) {
  CLSID c = kSample;
  for (const wchar_t* bad : {L"", L"{01234567-89AB-CDEF-0123-456789ABCDEF", L"01234567-89AB-CDEF-0123-456789ABCDEF",
                             L"{01234567-89AB-CDEF-0123-456789ABCDEF}x", L"{0123456G-89AB-CDEF-0123-456789ABCDEF}",
                             L"{01234567+89AB-CDEF-0123-456789ABCDEF}"})
    EXPECT_EQ(CLSIDFromString(bad, &c), CO_E_CLASSSTRING) << std::wstring(bad).size();
  EXPECT_TRUE(c == kSample);  // untouched on failure
  EXPECT_EQ(CLSIDFromString(nullptr, &c), E_INVALIDARG);
}

TEST(ProgId, NotInstalledThenInstalled) {
  useFreshMachine();
  CLSID c;
  EXPECT_EQ(CLSIDFromProgID(L"Zcom.Test.Sample", &c), CO_E_CLASSSTRING);
  install("Zcom.Test.Sample", "{01234567-89AB-CDEF-0123-456789ABCDEF}");
  ASSERT_EQ(CLSIDFromProgID(L"Zcom.Test.Sample", &c), S_OK);
  EXPECT_TRUE(c == kSample);
}

TEST(ProgId, DamagedEntryAndOddNamesRefused) {
  useFreshMachine();
  install("Zcom.Test.Damaged", "not a class id");
  CLSID c;
  EXPECT_EQ(CLSIDFromProgID(L"Zcom.Test.Damaged", &c), CO_E_CLASSSTRING);
  install("Zcom.Test.Outer\\Inner", "{01234567-89AB-CDEF-0123-456789ABCDEF}");
  EXPECT_EQ(CLSIDFromProgID(L"Zcom.Test.Outer\\Inner", &c), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(L"", &c), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(nullptr, &c), E_INVALIDARG);
}
