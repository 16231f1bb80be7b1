#include "text/TextSearch.h"

#include <gtest/gtest.h>

namespace {

int Offset(const char *base, const char *found) { return found ? static_cast<int>(found - base) : -1; }

TEST(FindText, FindsOnlyMatchesThatStartOnACharacterBoundary) {
  struct Case {
    const char *name, *text, *pattern;
    int expected;  // offset of the match, -1 for none
  } cases[] = {
      {"an empty text gives null for an empty pattern", "", "", -1},
      {"an empty text gives null for any pattern", "", "a", -1},
      {"an empty pattern matches at the start", "abc", "", 0},
      {"a pattern longer than the text is not found", "ab", "abc", -1},
      {"a match after a false start is found", "xxab", "ab", 2},
      {"a repeated prefix does not hide the match", "aaaab", "aab", 2},
      {"a ']' trail byte is no match, the real one is", "\x83]]", "]", 2},
      {"a ']' trail byte alone is no match", "\x83]", "]", -1},
      {"a '\\' trail byte is no match", "\x95\\", "\\", -1},
      {"a match starting at a trail byte is skipped", "a\x83" "ab", "ab", -1},
      {"a match behind a two-byte character is found", "\x83" "aab", "ab", 2},
      {"a two-byte pattern matches a whole character", "x\x83" "a\x83" "a", "\x83" "a", 1},
      {"a lone lead byte at the end can be matched", "a\x83", "\x83", 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Offset(c.text, FindText(c.text, c.pattern)), c.expected);
  }
}

TEST(FindText, CountedSearchStaysInsideTheGivenLength) {
  const char text[] = "abc\0d\x83]";
  EXPECT_EQ(FindTextN(text, 2, "c", 1), nullptr);
  EXPECT_EQ(FindTextN(text, 3, "bc", 2), text + 1);
  EXPECT_EQ(FindTextN(text, 5, "d", 1), text + 4) << "a zero byte is an ordinary byte of a counted text";
  EXPECT_EQ(FindTextN(text, 7, "]", 1), nullptr);
  EXPECT_EQ(FindTextN(text, 6, "\x83", 1), text + 5) << "a lead byte at the end of the length stands alone";
}

TEST(CompareNoCaseN, FoldsOnlyAsciiLettersAndComparesSignedBytes) {
  struct Case {
    const char *name, *a, *b;
    size_t n;
    int expected;
  } cases[] = {
      {"a keyword matches a longer line in any case", "EXECUTE", "execute now", 7, 0},
      {"a shorter line differs at its terminator", "EXECUTE", "EXEC", 7, 'U'},
      {"only the first n bytes count", "abc", "abd", 2, 0},
      {"the first differing bytes give the difference", "abc", "abd", 3, 'C' - 'D'},
      {"n of 0 compares nothing", "a", "b", 0, 0},
      {"equal strings end at their terminators", "abc", "ABC", 10, 0},
      {"bytes from 0x80 count as negative", "\x80", "a", 1, -128 - 'A'},
      {"0xFF counts as -1", "a", "\xFF", 1, 'A' + 1},
      {"a trail byte in a-z is folded too", "\x83" "a", "\x83" "A", 2, 0},
      {"'{' is not a letter", "{", "[", 1, '{' - '['},
      {"'`' is not a letter", "`", "@", 1, '`' - '@'},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CompareNoCaseN(c.a, c.b, c.n), c.expected);
  }
}

}  // namespace
