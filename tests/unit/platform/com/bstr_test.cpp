// Guards against BSTRs whose length prefix, terminator or null handling go wrong.
#include <gtest/gtest.h>
#include <cstring>
#include "objbase.h"

TEST(Bstr, LengthPrefixCountsBytesAndTerminatorFollows) {
  BSTR s = SysAllocStringLen(L"abcdef", 4);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 4u);
  EXPECT_EQ(SysStringByteLen(s), 4u * sizeof(OLECHAR));
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 4u * sizeof(OLECHAR));
  EXPECT_EQ(std::wstring(s), L"abcd");
  EXPECT_EQ(s[4], L'\0');
  SysFreeString(s);
}

TEST(Bstr, StoredLengthMayCountEmbeddedAndTrailingZeros) {
  const OLECHAR text[] = {L'a', 0, L'b', 0};
  BSTR s = SysAllocStringLen(text, 4);
  EXPECT_EQ(SysStringLen(s), 4u);
  EXPECT_EQ(s[2], L'b');
  EXPECT_EQ(s[3], L'\0');
  SysFreeString(s);
}

TEST(Bstr, NullAndEmpty) {
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  BSTR empty = SysAllocString(L"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(empty[0], L'\0');
  SysFreeString(empty);
  BSTR blank = SysAllocStringLen(nullptr, 3);  // room for a converter to fill
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(SysStringLen(blank), 3u);
  EXPECT_EQ(blank[0], L'\0');
  SysFreeString(blank);
}

TEST(Bstr, RefusesLengthsThatOverflowThePrefix) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x40000000u), nullptr);
}
