// Header lines and the global-block functions, called directly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "text/GlobalText.h"
#include "text/HeaderLines.h"

namespace {

struct HeaderCase {
  const char *name;
  std::vector<const char *> lines;
  const char *header;
  bool found;
  const char *value;
};

TEST(FindHeader, MatchesTheFirstLineThatBeginsWithTheName) {
  const std::vector<HeaderCase> cases = {
      {"an empty value after colon and space", {"TOVRA/1.0 200 OK", "Result: "}, "Result", true, ""},
      {"the first of two lines wins", {"TOVRA/1.0 200 OK", "Result: a", "Result: b"}, "Result", true, "a"},
      {"a longer name matches as a prefix", {"Results: 5"}, "Result", true, " 5"},
      {"small letters match", {"result: x"}, "Result", true, "x"},
      {"a bare name has an empty value", {"Result"}, "Result", true, ""},
      {"name and colon have an empty value", {"Result:"}, "Result", true, ""},
      {"name, colon and one byte: empty", {"Result:x"}, "Result", true, ""},
      {"the value keeps its bytes", {"Result: \x83\x5D \t"}, "Result", true, "\x83\x5D \t"},
      {"a status line is tested like any other", {"Result: 1 OK", "Result: 2"}, "Result", true, "1 OK"},
      {"a shorter line does not match", {"Resul"}, "Result", false, ""},
      {"no line matches", {"TOVRA/1.0 200 OK", "Value: 1"}, "Result", false, ""},
      {"no lines at all", {}, "Result", false, ""},
      {"a line end after a lone lead byte still ends the line", {"Result: x\x83", "Charset: UTF-8"}, "Result", true,
       "x\x83"},
      {"a folded high byte does not match", {"R\xC5sult: 1"}, "Result", false, ""},
  };
  for (const HeaderCase &c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    for (const char *line : c.lines) text += std::string(line) + "\r\n";
    const char untouched[] = "untouched";
    const char *value = untouched;
    size_t length = sizeof untouched - 1;
    EXPECT_EQ(FindHeader(text.data(), text.size(), c.header, &value, &length), c.found);
    EXPECT_EQ(std::string(value, length), c.found ? c.value : untouched);
  }
}

TEST(GlobalText, ReadsAtMostTheStatedLengthAndTheBlock) {
  HGLOBAL block = platform::AllocGlobalBlock(8);
  std::memcpy(block, "abc\0defg", 8);
  EXPECT_STREQ(ReadGlobalText(block, 8).c_str(), "abc");
  EXPECT_STREQ(ReadGlobalText(block, 2).c_str(), "ab");
  EXPECT_STREQ(ReadGlobalText(block, 0).c_str(), "");
  EXPECT_STREQ(ReadGlobalText(block, -1).c_str(), "");
  std::memcpy(block, "abcdefgh", 8);
  EXPECT_STREQ(ReadGlobalText(block, 1000).c_str(), "abcdefgh");
  EXPECT_STREQ(ReadGlobalText(nullptr, 5).c_str(), "");
  platform::FreeGlobalBlock(block);
}

TEST(GlobalText, CopiesTextAndOneZeroByte) {
  BlockLength length = -5;
  HGLOBAL block = CopyTextToGlobal("C:\\host\\", &length);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(length, 8);
  EXPECT_EQ(platform::GlobalBlockSize(block), 9u);
  EXPECT_EQ(std::string(static_cast<const char *>(block), 9), std::string("C:\\host\\", 9));
  platform::FreeGlobalBlock(block);

  block = CopyTextToGlobal("", nullptr);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(platform::GlobalBlockSize(block), 1u);
  platform::FreeGlobalBlock(block);
}

}  // namespace
