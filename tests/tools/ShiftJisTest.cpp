// The tools' Shift_JIS edge at the bytes where a character starts or ends:
// a lead byte that nothing pairs with.
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

}  // namespace
#endif
