#include "text/DoubleByte.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int Offset(const char *base, const char *found) { return found ? static_cast<int>(found - base) : -1; }

struct SearchCase {
  const char *name, *text;
  char ch;
  int expected;  // offset of the result, -1 for null
};

TEST(IsTrailByteAt, TellsTrailBytesFromCharacters) {
  struct Case {
    const char *name, *text;
    int position, expected;
  } cases[] = {
      {"a single byte is no trail byte", "ab", 1, 0},
      {"the byte after a lead byte is a trail byte", "\x83]", 1, 1},
      {"the lead byte itself is no trail byte", "\x83]", 0, 0},
      {"a pair of lead-byte values is one character", "\x83\x83]", 1, 1},
      {"the byte after a whole character is none", "\x83\x83]", 2, 0},
      {"the terminator after a lone lead byte is none", "a\x83", 2, 0},
      {"a position past the terminator is none", "a\0\x83]", 3, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsTrailByteAt(c.text, c.text + c.position), c.expected);
  }
  const char text[] = "\x83]";
  EXPECT_EQ(IsTrailByteAt(text + 1, text), 0) << "a position before the start";
}

TEST(FindChar, StepsOverTwoByteCharacters) {
  const SearchCase cases[] = {
      {"a plain ']' is found", "a]b", ']', 1},
      {"a ']' trail byte is not found", "\x83]b", ']', -1},
      {"the real ']' behind a two-byte character is found", "\x83]]", ']', 2},
      {"0 finds the terminator", "abc", 0, 3},
      {"0 finds the terminator of an empty text", "", 0, 0},
      {"a missing character gives null", "", ']', -1},
      {"a lone lead byte before the terminator ends the search", "ab\x83", ']', -1},
      {"a lone lead byte hides the terminator too", "ab\x83", 0, -1},
  };
  for (const SearchCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Offset(c.text, FindChar(c.text, std::strlen(c.text) + 1, c.ch)), c.expected);
  }
}

TEST(FindChar, CountedSearchStopsAtTheLengthAndAtAZeroByte) {
  const char text[] = "a]\0]\x83]";
  EXPECT_EQ(FindChar(text, 1, ']'), nullptr);
  EXPECT_EQ(FindChar(text, 2, ']'), text + 1);
  EXPECT_EQ(FindChar(text + 2, 2, ']'), nullptr);
  EXPECT_EQ(FindChar(text + 2, 2, 0), text + 2);
  EXPECT_EQ(FindChar(text + 4, 2, ']'), nullptr) << "a ']' trail byte";
  EXPECT_EQ(FindChar(text + 4, 1, ']'), nullptr) << "a lead byte at the end of the length";
}

TEST(FindLastChar, FindsTheLastRealOccurrence) {
  const SearchCase cases[] = {
      {"the last of several dots", "a.b.c", '.', 3},
      {"no dot gives null", "abc", '.', -1},
      {"a '.' trail byte is not found", "\x83.", '.', -1},
      {"0 finds the terminator", "abc", 0, 3},
      {"a lone lead byte with nothing found gives the terminator", "ab\x83", '.', 3},
      {"a lone lead byte keeps an earlier match", "a.b\x83", '.', 1},
  };
  for (const SearchCase &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Offset(c.text, FindLastChar(c.text, c.ch)), c.expected);
  }
}

TEST(PathFunctions, OnlyRealBackslashesSeparate) {
  struct Case {
    const char *name, *path;
    int namePart;             // offset that GetFileNamePart gives
    const char *withoutName;  // after RemoveFileName
    const char *withSeparator;  // after AddTrailingSeparator
  } cases[] = {
      {"a full path", "C:\\dir\\file.dll", 7, "C:\\dir\\", "C:\\dir\\file.dll\\"},
      {"a bare file name", "file.dll", 0, "", "file.dll\\"},
      {"a path ending in a separator", "C:\\dir\\", 7, "C:\\dir\\", "C:\\dir\\"},
      {"an empty path", "", 0, "", ""},
      {"'/' and ':' do not separate", "C:a/b", 0, "", "C:a/b\\"},
      {"a directory name ending in 0x95 0x5C", "C:\\dir\x95\\\\file", 9, "C:\\dir\x95\\\\",
       "C:\\dir\x95\\\\file\\"},
      {"a path ending in 0x95 0x5C", "C:\\dir\x95\\", 3, "C:\\", "C:\\dir\x95\\\\"},
      {"a lone lead byte ends the walk", "dir\\\x83", 4, "dir\\", "dir\\\x83\\"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[64] = {};
    std::strcpy(buffer, c.path);
    EXPECT_EQ(Offset(buffer, GetFileNamePart(buffer)), c.namePart);
    EXPECT_EQ(RemoveFileName(buffer), 1);
    EXPECT_STREQ(buffer, c.withoutName);
    std::strcpy(buffer, c.path);
    AddTrailingSeparator(buffer);
    EXPECT_STREQ(buffer, c.withSeparator);
  }
}

TEST(PathFunctions, ExtensionsAreTakenFromTheFileNameOnly) {
  struct Case {
    const char *name, *path;
    const char *extension;  // what GetExtensionPart gives
    const char *replaced;   // after ReplaceExtension with ".hlp"
  } cases[] = {
      {"a plain extension", "C:\\app\\host.exe", ".exe", "C:\\app\\host.hlp"},
      {"a dot in a directory name", "C:\\dir.d\\file", "", "C:\\dir.d\\file.hlp"},
      {"only the last dot starts the extension", "a.b.c", ".c", "a.b.hlp"},
      {"a leading dot makes the name all extension", "C:\\.profile", ".profile", "C:\\.hlp"},
      {"a '.' trail byte is no dot", "x\x83.dll", "", "x\x83.dll.hlp"},
      {"a lone lead byte gives no extension", "ab\x83", "", "ab\x83.hlp"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[64] = {};
    std::strcpy(buffer, c.path);
    const char *extension = GetExtensionPart(buffer);
    EXPECT_STREQ(extension, c.extension);
    if (*c.extension) {
      EXPECT_EQ(extension, std::strrchr(buffer, '.'));
    }
    EXPECT_EQ(ReplaceExtension(buffer, ".hlp"), 1);
    EXPECT_STREQ(buffer, c.replaced);
  }
}

}  // namespace
