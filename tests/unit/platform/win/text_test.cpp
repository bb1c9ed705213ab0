// Guards text conversion against wrong sizes for non-ASCII text and writes past a buffer.
#include <gtest/gtest.h>
#include <cstring>
#include "windows.h"

namespace {

// "Grüße €" and a character outside the basic plane: 8 code points, 15 bytes.
const char kText[] = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC\xF0\x9D\x84\x9E";
const wchar_t kWide[] = L"Gr\u00FC\u00DFe \u20AC\U0001D11E";

TEST(Text, NarrowToWideCountsCodePointsAndTheTerminator) {
  for (UINT cp : {(UINT)CP_ACP, (UINT)CP_UTF8}) {
    EXPECT_EQ(9, MultiByteToWideChar(cp, 0, kText, -1, nullptr, 0));
    EXPECT_EQ(8, MultiByteToWideChar(cp, 0, kText, (int)strlen(kText), nullptr, 0));
    wchar_t out[9];
    EXPECT_EQ(9, MultiByteToWideChar(cp, 0, kText, -1, out, 9));
    EXPECT_EQ(std::wstring(kWide), std::wstring(out));
    wchar_t small[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(0, MultiByteToWideChar(cp, 0, kText, -1, small, 3));
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(L'x', small[3]);
  }
  EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, kText, 0, nullptr, 0));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_EQ(0, MultiByteToWideChar(1252, 0, kText, -1, nullptr, 0));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(Text, WideToNarrowCountsBytesAndTheTerminator) {
  EXPECT_EQ(16, WideCharToMultiByte(CP_UTF8, 0, kWide, -1, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(15, WideCharToMultiByte(CP_ACP, 0, kWide, 8, nullptr, 0, nullptr, nullptr));
  char out[16];
  EXPECT_EQ(16, WideCharToMultiByte(CP_UTF8, 0, kWide, -1, out, sizeof out, nullptr, nullptr));
  EXPECT_STREQ(kText, out);
  char small[17];
  memset(small, 'x', sizeof small);
  EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, kWide, -1, small, 15, nullptr, nullptr));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ('x', small[15]);
  BOOL used = TRUE;
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, kWide, -1, out, sizeof out, nullptr, &used));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(Text, InvalidInputIsReplacedOrRefusedOnRequest) {
  const char bad[] = "a\xC3(\xFF";  // a cut sequence and a byte that never starts one
  wchar_t out[8];
  ASSERT_EQ(5, MultiByteToWideChar(CP_UTF8, 0, bad, -1, out, 8));
  EXPECT_EQ(std::wstring(L"a\uFFFD(\uFFFD"), std::wstring(out));
  EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, out, 8));
  EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
  EXPECT_EQ(2, MultiByteToWideChar(CP_UTF8, 0, "\xC3\xBC", 1, out, 8) + 1);  // cut at the length given

  const wchar_t lone[] = {L'a', (wchar_t)0xD800, (wchar_t)0x110000, 0};
  char narrow[16];
  ASSERT_EQ(8, WideCharToMultiByte(CP_UTF8, 0, lone, -1, narrow, sizeof narrow, nullptr, nullptr));
  EXPECT_STREQ("a\xEF\xBF\xBD\xEF\xBF\xBD", narrow);
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, narrow, sizeof narrow, nullptr, nullptr));
  EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
  BOOL used = FALSE;
  ASSERT_EQ(4, WideCharToMultiByte(CP_ACP, 0, lone, -1, narrow, sizeof narrow, "?", &used));
  EXPECT_STREQ("a??", narrow);
  EXPECT_TRUE(used);
}

}  // namespace
