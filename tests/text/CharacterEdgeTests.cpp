// The edges of the Shift_JIS lead-byte ranges and of the ASCII alphabet, with
// fixed expected answers: a wrong edge in the product cannot hide behind a
// reference that asks the product itself.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/ListedLeadBytes.h"
#include "text/DoubleByte.h"
#include "text/Text.h"
#include "text/TextSearch.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

TEST(LeadByteEdges, TheProductsLeadBytesAreTheListedOnes) {
  for (unsigned byte = 0; byte < 256; ++byte) {
    SCOPED_TRACE(byte);
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(byte)), ListedAsLeadByte(byte));
#ifdef _WIN32
    // The platform's own table for code page 932, whatever the process's.
    EXPECT_EQ(IsDBCSLeadByteEx(932, static_cast<BYTE>(byte)) != 0, ListedAsLeadByte(byte));
#endif
  }
}

// Each edge byte before '\', ']', ',' and a letter, through every function
// that steps over characters: a lead byte hides the byte after it.
TEST(LeadByteEdges, EachEdgeByteHidesOrKeepsTheByteAfterIt) {
  const struct {
    unsigned char byte;
    bool lead;
  } edges[] = {{0x80, false}, {0x81, true}, {0x9F, true}, {0xA0, false},
               {0xDF, false}, {0xE0, true}, {0xFC, true}, {0xFD, false}};
  for (const auto &edge : edges) {
    for (char follower : {'\\', ']', ',', 'a'}) {
      const std::string pair{static_cast<char>(edge.byte), follower};
      const std::string text = pair + "x";
      SCOPED_TRACE("byte " + std::to_string(edge.byte) + " before '" + std::string(1, follower) + "'");
      const char *start = text.c_str();

      const char *found = FindChar(start, text.size(), follower);
      EXPECT_EQ(found, edge.lead ? nullptr : start + 1) << "FindChar";
      found = FindTextN(start, text.size(), &follower, 1);
      EXPECT_EQ(found, edge.lead ? nullptr : start + 1) << "FindTextN";

      CTextArray fields;
      CText(text.c_str()).Split(std::string(1, follower).c_str(), &fields, 1);
      EXPECT_EQ(fields.GetCount(), edge.lead ? 1u : 2u) << "Split";

      CText upper(pair.c_str());
      upper.ToUpper();
      const char expectedFollower = follower == 'a' && !edge.lead ? 'A' : follower;
      EXPECT_EQ(upper[1], expectedFollower) << "ToUpper";

      const char *name = GetFileNamePart(start);
      EXPECT_EQ(name, follower == '\\' && !edge.lead ? start + 2 : start) << "GetFileNamePart";
      EXPECT_EQ(IsTrailByteAt(start, start + 1), edge.lead ? 1 : 0) << "IsTrailByteAt";
    }
  }
}

// Only a-z fold onto A-Z: the bytes just outside the alphabet ('@' 0x40,
// '[' 0x5B, '`' 0x60, '{' 0x7B) differ from their neighbours by 0x20 like a
// letter's two cases, and must not be folded.
TEST(AlphabetEdges, OnlyLettersFoldAtBothEndsOfTheAlphabet) {
  const struct {
    const char *name, *a, *b;
    bool same;
  } pairs[] = {
      {"a and A", "a", "A", true},    {"z and Z", "z", "Z", true},    {"A and a", "A", "a", true},
      {"Z and z", "Z", "z", true},    {"` and @", "`", "@", false},   {"{ and [", "{", "[", false},
      {"@ and `", "@", "`", false},   {"[ and {", "[", "{", false},   {"a and @", "a", "@", false},
      {"z and [", "z", "[", false},   {"A and `", "A", "`", false},   {"Z and {", "Z", "{", false},
  };
  for (const auto &p : pairs) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(CompareNoCaseN(p.a, p.b, 1) == 0, p.same);
    EXPECT_EQ(StartsWithNoCase(p.a, 1, p.b, 1), p.same);
  }
  CText text("@az[`AZ{");
  EXPECT_STREQ(text.ToUpper().c_str(), "@AZ[`AZ{");
}

}  // namespace
