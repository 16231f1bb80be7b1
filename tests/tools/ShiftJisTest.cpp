// The tools' Shift_JIS edge at the bytes where a character starts or ends:
// a lead byte that nothing pairs with, and characters beyond U+FFFF.
// Natively the conversions leave bytes as they are: nothing to test there.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <string>

#include "tools/ShiftJis.h"

namespace {

TEST(ShiftJisTest, DecodingKeepsEveryByteThatNoPairTakes) {
  const struct {
    const char *sentence;
    std::string bytes;
    std::wstring text;
  } table[] = {
      {"a pair is one character, its trail byte 0x5C included", "\x83\x5C", L"\x30BD"},
      {"a lone lead byte before a space is a mark, and the space stays", "\x83 a", L"\xFFFD a"},
      {"a lone lead byte before CR LF is a mark, and the line end stays", "\x83\r\nb", L"\xFFFD\r\nb"},
      {"a lone lead byte before LF is a mark, and the LF stays", "\x83\nb", L"\xFFFD\nb"},
      {"a lone lead byte before a zero byte is a mark, and the zero byte stays", std::string("\x83\0b", 3),
       std::wstring(L"\xFFFD\0b", 3)},
      {"a lone lead byte before DEL is a mark, and DEL stays", "\x83\x7F", L"\xFFFD\x7F"},
      {"a lone lead byte at the end is a mark", "a\x83", L"a\xFFFD"},
      {"a pair that code page 932 does not map is one mark", "\x85\x40z", L"\xFFFDz"},
  };
  for (const auto &c : table) {
    SCOPED_TRACE(c.sentence);
    EXPECT_EQ(FromShiftJis(c.bytes), c.text);
  }
}

TEST(ShiftJisTest, EncodingNamesTheFirstCharacterThatShiftJisCannotHold) {
  const struct {
    const char *sentence;
    std::wstring text;
    std::string bytes;      // when every character is held
    std::string codePoint;  // else the one named, as ToShiftJis names it
    const char *utf8Error;  // and as ShiftJisFromUtf8 does (none: no UTF-8 form)
  } table[] = {
      {"Japanese becomes its pairs", L"日本", "\x93\xFA\x96\x7B", "", ""},
      {"an emoji, a surrogate pair, is one character", L"a\U0001F600b", "", "U+1F600",
       "holds 😀 (U+1F600), a character that Shift_JIS (code page 932) cannot hold"},
      {"of two, the first is named", L"\u00E9\U0001F600", "", "U+00E9",
       "holds é (U+00E9), a character that Shift_JIS (code page 932) cannot hold"},
      {"two lone halves of a pair apart are not one character", std::wstring{0xD83D, L'a', 0xDE00}, "", "U+D83D",
       nullptr},
  };
  for (const auto &c : table) {
    SCOPED_TRACE(c.sentence);
    std::string bytes = "stale", codePoint;
    EXPECT_EQ(ToShiftJis(c.text, &bytes, &codePoint), c.codePoint.empty());
    EXPECT_EQ(bytes, c.bytes);
    if (!c.codePoint.empty()) {
      EXPECT_EQ(codePoint, c.codePoint);
    }
    if (!c.utf8Error) continue;
    std::string error;
    bytes = "stale";
    EXPECT_EQ(ShiftJisFromUtf8(Utf8FromWide(c.text), &bytes, &error), c.codePoint.empty());
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(error, c.utf8Error);
  }
}

}  // namespace
#endif
