// Every length-bounded read stops at its stated end. In each case the byte
// right after that end is still in the buffer (so no sanitizer would see a
// read of it) and is one that would change the answer if it were read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/DoubleByte.h"
#include "text/HeaderLines.h"
#include "text/Text.h"
#include "text/TextSearch.h"

namespace {

// Lengths around each step of the searches that look at several bytes at once.
std::vector<size_t> Lengths() {
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 70; ++n) lengths.push_back(n);
  return lengths;
}

TEST(StatedEnds, SearchesNeverFindTheByteRightAfterTheLength) {
  for (size_t n : Lengths()) {
    SCOPED_TRACE(n);
    // The text is n copies of 'a', then the byte looked for, then more.
    const std::string text = std::string(n, 'a') + "]b]";
    EXPECT_EQ(FindByte(text.data(), n, ']'), nullptr);
    EXPECT_EQ(FindTextN(text.data(), n, "]", 1), nullptr);
    EXPECT_EQ(FindTextN(text.data(), n + 1, "]b", 2), nullptr);
    EXPECT_EQ(FindChar(text.data(), n, ']'), nullptr);
    EXPECT_EQ(ForEachField(text.data(), n, "]", 1, 1, [](const char *, size_t) { return true; }), n ? 1 : 0);
    // The same length over one byte more finds it: the case is decisive.
    EXPECT_EQ(FindByte(text.data(), n + 1, ']'), text.data() + n);
    EXPECT_EQ(FindChar(text.data(), n + 1, ']'), text.data() + n);
  }
}

TEST(StatedEnds, PrefixesHeadersAndFieldsEndAtTheLength) {
  const char *untouched = "untouched";
  struct Case {
    const char *name;
    std::string text;  // the stated part, then the bytes that must not count
    size_t length;
    bool found;
    std::string value;
  } cases[] = {
      {"a name cut one byte short", "Resul" "t: x\r\n", 5, false, untouched},
      {"a bare name whose colon lies past the end", "Result" ": x\r\n", 6, true, ""},
      {"a value cut after one byte", "Result: a" "bc\r\n", 9, true, "a"},
      {"a value cut inside its line end", "Result: ab\r" "\n", 11, true, "ab\r"},
      {"a value cut after a lead byte", "Result: a\x83" "\x40\r\n", 10, true, "a\x83"},
      {"a second line past the end", "X: 1\r\n" "Result: 2\r\n", 6, false, untouched},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const char *value = untouched;
    size_t valueLength = 9;
    EXPECT_EQ(FindHeader(c.text.data(), c.length, "Result", &value, &valueLength), c.found);
    EXPECT_EQ(std::string(value, valueLength), c.value);
    // Read as one line of that length, each gives the same answer.
    value = untouched;
    valueLength = 9;
    EXPECT_EQ(HeaderValueOf(c.text.data(), c.length, "Result", 6, &value, &valueLength), c.found);
    EXPECT_EQ(std::string(value, valueLength), c.value);
  }
  EXPECT_FALSE(StartsWithNoCase("EXECUT" "E", 6, "EXECUTE", 7));
  EXPECT_EQ(CompareNoCaseN("abc", "abd", 2), 0);
  // Fields of "a,b" stated over three bytes of "a,b,c".
  std::vector<std::string> fields;
  ForEachField("a,b,c", 3, ",", 1, 0, [&](const char *field, size_t length) {
    fields.emplace_back(field, length);
    return true;
  });
  EXPECT_EQ(fields, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
