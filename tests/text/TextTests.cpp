#include "text/Text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Str(const CText &text) { return std::string(text.c_str(), text.Length()); }

TEST(CTextScratch, HoldsTheTextCutToItsCapacityWithTwoSpareZeroBytes) {
  struct Case {
    const char *name, *text;
    size_t capacity;
    const char *expected;
  } cases[] = {
      {"a short text is copied whole", "abc", 10, "abc"},
      {"a long text is cut to the capacity", "abcdef", 3, "abc"},
      {"an empty text gives an empty buffer", "", 4, ""},
      {"a cut never keeps half of a two-byte character", "ab\x83]", 3, "ab"},
      {"a whole two-byte character at the cut stays", "a\x83]b", 3, "a\x83]"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CText text(c.text);
    char *buffer = text.GetScratch(c.capacity);
    EXPECT_STREQ(buffer, c.expected);
    for (size_t i = std::strlen(c.expected); i < c.capacity + 2; ++i) EXPECT_EQ(buffer[i], 0) << "byte " << i;
    EXPECT_EQ(text.GetScratch(c.capacity), buffer) << "an open buffer is returned again";
    text.CommitScratch();
    EXPECT_EQ(Str(text), c.expected);
  }
}

TEST(CTextScratch, CommitTakesTheBufferUpToItsFirstZeroByte) {
  CText text("old");
  char *buffer = text.GetScratch(8);
  std::strcpy(buffer, "new text");
  buffer[3] = 0;
  text.CommitScratch();
  EXPECT_EQ(Str(text), "new");
  text.CommitScratch();
  EXPECT_EQ(Str(text), "new") << "a commit without an open buffer does nothing";

  buffer = text.GetScratch(4);
  std::memset(buffer, 'x', 6);
  text.CommitScratch();
  EXPECT_EQ(Str(text), "xxxxxx") << "a buffer without a zero byte is taken whole, no further";
}

TEST(CTextScratch, CopiesNeverShareAnOpenBuffer) {
  CText original("abc");
  char *buffer = original.GetScratch(10);
  CText copy(original);
  CText assigned;
  assigned = original;
  CText moved(std::move(copy));
  std::strcpy(buffer, "edited");
  assigned.CommitScratch();
  moved.CommitScratch();
  EXPECT_EQ(Str(assigned), "abc");
  EXPECT_EQ(Str(moved), "abc");
  original.CommitScratch();
  EXPECT_EQ(Str(original), "edited");
  CText abandoned("x");
  abandoned.GetScratch(100);  // freed by the destructor (the leak checker watches)
}

TEST(CText, NullAndEmptyTextsGiveTheEmptyString) {
  CText fromNull(nullptr), fromEmpty(""), fromBytes(nullptr, 5);
  for (const CText *text : {&fromNull, &fromEmpty, &fromBytes}) {
    ASSERT_NE(text->c_str(), nullptr);
    EXPECT_STREQ(text->c_str(), "");
    EXPECT_TRUE(*text == nullptr);
  }
}

struct SplitCase {
  const char *name;
  std::string text;
  const char *delimiter;
  int skipEmpty;
  std::vector<std::string> fields;
};

TEST(CTextSplit, AppendsTheFieldsBetweenRealDelimiters) {
  const SplitCase cases[] = {
      {"an empty text gives nothing", "", ",", 0, {}},
      {"an empty text gives nothing when skipping", "", ",", 1, {}},
      {"a doubled delimiter is skipped", "a,,b", ",", 1, {"a", "b"}},
      {"a doubled delimiter gives an empty field", "a,,b", ",", 0, {"a", "", "b"}},
      {"a trailing delimiter is skipped", "a,b,", ",", 1, {"a", "b"}},
      {"a trailing delimiter gives an empty last field", "a,b,", ",", 0, {"a", "b", ""}},
      {"a leading delimiter is skipped", ",a", ",", 1, {"a"}},
      {"a leading delimiter gives an empty first field", ",a", ",", 0, {"", "a"}},
      {"a lone delimiter gives nothing when skipping", ",", ",", 1, {}},
      {"a lone delimiter gives two empty fields", ",", ",", 0, {"", ""}},
      {"a text without delimiter is one field", "abc", ",", 1, {"abc"}},
      {"lines ending in a blank line", "EXECUTE VORDEL/2.0\r\nString: x\r\n\r\n", "\r\n", 1,
       {"EXECUTE VORDEL/2.0", "String: x"}},
      {"lines ending in a blank line, kept", "a\r\nb\r\n\r\n", "\r\n", 0, {"a", "b", "", ""}},
      {"a lone CR or LF does not split", "a\rb\nc\r\nd", "\r\n", 1, {"a\rb\nc", "d"}},
      {"a ']' trail byte does not split", "\x83]a]b", "]", 1, {"\x83]a", "b"}},
      {"a '\\' trail byte does not split", "\x95\\dir\\file", "\\", 1, {"\x95\\dir", "file"}},
      {"two-byte characters stay whole in fields", "\x83" "a,\x95\\,\x83", ",", 1, {"\x83" "a", "\x95\\", "\x83"}},
      {"a zero byte is part of a field", std::string("a\0b,c", 5), ",", 1, {std::string("a\0b", 3), "c"}},
      {"an empty delimiter gives nothing", "a,b", "", 0, {}},
  };
  for (const SplitCase &c : cases) {
    SCOPED_TRACE(c.name);
    CTextArray fields;
    fields.Add(CText("first"));
    fields.Add(CText("second"));
    const CText text(c.text.data(), c.text.size());
    EXPECT_EQ(text.Split(c.delimiter, &fields, c.skipEmpty), static_cast<int>(c.fields.size()));
    ASSERT_EQ(fields.GetCount(), 2 + c.fields.size());
    EXPECT_EQ(Str(fields[0]), "first");
    EXPECT_EQ(Str(fields[1]), "second");
    for (size_t i = 0; i < c.fields.size(); ++i) EXPECT_EQ(Str(fields[2 + i]), c.fields[i]) << "field " << i;
    EXPECT_EQ(Str(text), c.text) << "the source is left as it was";
  }
}

TEST(CTextSplit, TakesTimeInLineWithTheTextLength) {
  // 4 MB in 200,000 fields: a pass over the rest of the text per field would
  // touch some 400 GB.
  std::string source;
  for (int i = 0; i < 200000; ++i) source += "abcdefghijklmnopqrs,";
  CTextArray fields;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CText(source.c_str()).Split(",", &fields, 1), 200000);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20.0);
}

TEST(CTextFormat, ProducesTheWholeResultAndReplacesTheOldText) {
  CText target("an old text that is longer than the new one");
  EXPECT_EQ(&Format(target, "Argument%d: %s\r\n", 0, "x"), &target);
  EXPECT_EQ(Str(target), "Argument0: x\r\n");
  EXPECT_EQ(Str(Format(target, "%d", -12)), "-12");

  const std::string big(5000, 'q');
  target = std::string(10000, 'z').c_str();
  Format(target, "VORDEL/2.0 200 OK\r\nString: %s\r\nCharset: Shift_JIS\r\n\r\n", big.c_str());
  EXPECT_EQ(Str(target), "VORDEL/2.0 200 OK\r\nString: " + big + "\r\nCharset: Shift_JIS\r\n\r\n");

  target = "abc";
  EXPECT_EQ(Str(Format(target, "[%s]", target.c_str())), "[abc]") << "the target's own text as argument";
}

TEST(CText, ToUpperFoldsSingleByteLettersOnly) {
  struct Case {
    const char *name, *text, *expected;
  } cases[] = {
      {"a plug-in name", "abc.dll", "ABC.DLL"},
      {"a trail byte in a-z stays", "\x83" "ab", "\x83" "aB"},
      {"a pair of lead-byte values is one character", "\x83\x83" "a", "\x83\x83" "A"},
      {"a two-byte character from 0xE0 stays", "\xE0" "a", "\xE0" "a"},
      {"a half-width kana is a single byte", "\xB1" "a", "\xB1" "A"},
      {"a lone lead byte at the end", "ab\x83", "AB\x83"},
      {"neighbours of a-z stay", "`{z}", "`{Z}"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CText text(c.text);
    EXPECT_EQ(&text.ToUpper(), &text);
    EXPECT_EQ(Str(text), c.expected);
  }
}

TEST(CTextPath, WorksOnTheFirst260Characters) {
  const std::string as(250, 'a'), bs(46, 'b');
  const std::string longPath = "C:\\" + as + "\\" + std::string(26, 'b') + "\\" + std::string(19, 'c');
  const std::string first260 = longPath.substr(0, 260);
  struct Case {
    const char *name;
    std::string path, withoutName, withSeparator;
  } cases[] = {
      {"an empty path", "", "", ""},
      {"a path without separator", "file.dll", "", "file.dll\\"},
      {"a full path", "C:\\dir\\file.dll", "C:\\dir\\", "C:\\dir\\file.dll\\"},
      {"a path ending in 0x95 0x5C", "C:\\dir\x95\\", "C:\\", "C:\\dir\x95\\\\"},
      {"a 300-character path", longPath, longPath.substr(0, 254), first260 + "\\"},
      {"a real separator as the 260th character", std::string(259, 'a') + "\\" + bs, "", ""},
      {"0x95 0x5C as the 259th and 260th bytes", std::string(258, 'a') + "\x95\\" + bs, "",
       std::string(258, 'a') + "\x95\\\\"},
      {"0x95 0x5C across the cut", std::string(259, 'a') + "\x95\\" + bs, "", std::string(259, 'a') + "\\"},
      {"a real separator right after the cut", std::string(260, 'a') + "\\" + bs, "", std::string(260, 'a') + "\\"},
  };
  cases[5].withoutName = cases[5].withSeparator = std::string(259, 'a') + "\\";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    CText path(c.path.c_str());
    path.RemoveFileName();
    EXPECT_EQ(Str(path), c.withoutName);
    path = c.path.c_str();
    path.AddTrailingSeparator();
    EXPECT_EQ(Str(path), c.withSeparator);
  }
}

}  // namespace
