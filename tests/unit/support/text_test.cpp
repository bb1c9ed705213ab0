// Guards the text helpers against cut fields, overruns of their fixed buffers and
// non-ASCII text lost between the narrow and the wide form.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hosttest.h"
#include "text.h"

TEST(GetField, EmptyFieldBetweenSeparatorsIsPresentEmptyLastFieldIsMissing) {
  char field[16];
  const char* source = "a;;b";
  EXPECT_NE(getField(field, source, ';', 0, sizeof field), nullptr);
  EXPECT_STREQ(field, "a");
  EXPECT_NE(getField(field, source, ';', 1, sizeof field), nullptr);
  EXPECT_STREQ(field, "");
  const char* rest = getField(field, source, ';', 2, sizeof field);
  ASSERT_NE(rest, nullptr);
  EXPECT_STREQ(field, "b");
  EXPECT_EQ(*rest, '\0');
  EXPECT_EQ(getField(field, source, ';', 3, sizeof field), nullptr);
  EXPECT_STREQ(field, "");
  EXPECT_EQ(getField(field, "a;b;", ';', 2, sizeof field), nullptr);
}

TEST(GetField, LongFieldIsCutAndTheRestSkipped) {
  char field[4];
  const char* rest = getField(field, "abcdefgh;next", ';', 0, sizeof field);
  EXPECT_STREQ(field, "abc");
  ASSERT_NE(rest, nullptr);
  EXPECT_STREQ(rest, "next");
}

TEST(GetField, SeparatorZeroMakesTheWholeTextOneFieldAndNeverStepsPastIt) {
  char field[8];
  const char source[] = "ab\0cd";  // bytes behind the terminator must never be read as fields
  const char* rest = getField(field, source, '\0', 0, sizeof field);
  ASSERT_EQ(rest, source + 2);
  EXPECT_STREQ(field, "ab");
  EXPECT_EQ(getField(field, source, '\0', 1, sizeof field), nullptr);
  EXPECT_STREQ(field, "");
}

TEST(GetField, RefusesMissingSourceNegativeIndexAndZeroSize) {
  char field[8] = "x";
  EXPECT_EQ(getField(field, nullptr, ';', 0, sizeof field), nullptr);
  EXPECT_STREQ(field, "");
  EXPECT_EQ(getField(field, "a", ';', -1, sizeof field), nullptr);
  EXPECT_EQ(getField(field, "a", ';', 0, 0), nullptr);
}

TEST(CopyTrimmed, DropsTrailingBlanksAndKeepsAtMostN) {
  char target[16];
  copyTrimmed(target, "abc   ", 10);
  EXPECT_STREQ(target, "abc");
  copyTrimmed(target, "abcdefgh", 5);
  EXPECT_STREQ(target, "abcde");
  copyTrimmed(target, "ab  cd  ", 4);
  EXPECT_STREQ(target, "ab");
}

TEST(TextConversion, NonAsciiTextSurvivesTheRoundTrip) {
  const char* name = "Lüftung Ærø 空调";
  EXPECT_EQ(narrow(widen(name)), name);
  char buffer[64];
  ASSERT_NE(toNarrow(widen(name).c_str(), buffer, sizeof buffer), nullptr);
  EXPECT_STREQ(buffer, name);
}

TEST(TextConversion, ACutNarrowTextStaysWholeCharacters) {
  char buffer[3];
  toNarrow(L"üü", buffer, sizeof buffer);  // two bytes each: only one fits
  EXPECT_STREQ(buffer, "ü");
}

TEST(HandleText, UpperCaseHexadecimalAndNeverAShortenedHandle) {
  char buffer[32];
  const AcDbHandle handle(static_cast<Adesk::UInt64>(0x1F3));
  EXPECT_STREQ(handleToText(handle, buffer, sizeof buffer), "1F3");
  EXPECT_STREQ(handleToText(AcDbHandle(static_cast<Adesk::UInt64>(0)), buffer, sizeof buffer), "0");
  // "1F" would name another object: a buffer one byte short gives the empty text.
  EXPECT_STREQ(handleToText(handle, buffer, 3), "");
  EXPECT_STREQ(handleToText(handle, buffer, 4), "1F3");
}

TEST(PrintMessage, PercentInTheTextIsPrintedAsItStands) {
  cadhost::startTestSession();
  printMessage("%s\n", "100% done");
  EXPECT_EQ(cadhost::takeOutput(), "100% done\n");
  cadhost::endTestSession();
}

TEST(PrintMessage, TextLongerThanTheBufferIsCutNotOverrun) {
  cadhost::startTestSession();
  const std::string huge(20000, 'x');
  printMessage("%s", huge.c_str());
  const std::string printed = cadhost::takeOutput();
  EXPECT_EQ(printed.size(), 8191u);
  // Cut where a two-byte character straddles the last byte: the character goes whole.
  printMessage("%s%s", std::string(8190, 'x').c_str(), "ü");
  EXPECT_EQ(cadhost::takeOutput(), std::string(8190, 'x'));
  cadhost::endTestSession();
}
