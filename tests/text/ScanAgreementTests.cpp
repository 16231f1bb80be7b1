// The searches jump from one likely byte to the next and judge each by the
// lead bytes just before it. Here they must agree, on every position, with a plain walk that steps one
// character at a time, over texts full of lead bytes, trail bytes that look
// like ASCII, zero bytes and runs long enough to fill several words.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/ListedLeadBytes.h"
#include "text/DoubleByte.h"
#include "text/TextSearch.h"

namespace {

// A lead byte pairs with the next byte unless that is zero, CR or LF.
bool StartsPair(const std::string &text, size_t i) {
  if (!ListedAsLeadByte(static_cast<unsigned char>(text[i])) || i + 1 >= text.size()) return false;
  const char next = text[i + 1];
  return next != 0 && next != '\r' && next != '\n';
}

// The walk both searches are defined by.
int ReferenceFindText(const std::string &text, const std::string &pattern) {
  if (text.empty() || pattern.size() > text.size()) return -1;
  for (size_t i = 0; i <= text.size() - pattern.size(); i += StartsPair(text, i) ? 2 : 1)
    if (text.compare(i, pattern.size(), pattern) == 0) return static_cast<int>(i);
  return -1;
}

int ReferenceFindChar(const std::string &text, char ch) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == 0) return ch == 0 ? static_cast<int>(i) : -1;
    if (ListedAsLeadByte(static_cast<unsigned char>(text[i]))) {
      if (i + 1 >= text.size() || text[i + 1] == 0) return -1;
      if (StartsPair(text, i)) ++i;
    } else if (text[i] == ch) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int Offset(const std::string &text, const char *found) {
  return found ? static_cast<int>(found - text.data()) : -1;
}

// Deterministic texts: mostly ASCII in long runs, with the bytes that make
// Shift_JIS scanning hard mixed in at `hardShare` per 256.
class TextMaker {
 public:
  explicit TextMaker(uint32_t seed) : state(seed) {}
  std::string Make(size_t length, unsigned hardShare) {
    static const char hard[] = {'\x83', '\x81', '\x9F', '\xE0', '\xFC', '\x80', '\xA0', '\xDF', '\xFD', '\0', ']', '$'};
    static const char plain[] = "ab$t]o[vr,\r\n ";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
      if (Next() % 256 < hardShare)
        text += hard[Next() % sizeof hard];
      else
        text += plain[Next() % (sizeof plain - 1)];
    }
    return text;
  }
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }

 private:
  uint32_t state;
};

TEST(ScanAgreement, FindTextNAgreesWithTheCharacterWalk) {
  const char *const patterns[] = {"$tovra[", "\r\n", "]", "\x83]", ",", "ab", "\0a"};
  TextMaker maker(1);
  for (unsigned share : {0u, 8u, 64u, 200u}) {
    for (int round = 0; round < 400; ++round) {
      const std::string text = maker.Make(maker.Next() % 70, share);
      for (const char *p : patterns) {
        const std::string pattern = p[0] ? std::string(p) : std::string("\0a", 2);
        SCOPED_TRACE("share " + std::to_string(share) + ", round " + std::to_string(round) + ", pattern " + pattern);
        // Every start offset, so that the runs begin at every alignment.
        for (size_t start = 0; start <= text.size(); ++start) {
          const std::string rest = text.substr(start);
          ASSERT_EQ(Offset(rest, FindTextN(rest.data(), rest.size(), pattern.data(), pattern.size())),
                    ReferenceFindText(rest, pattern));
        }
      }
    }
  }
}

TEST(ScanAgreement, FindCharAgreesWithTheCharacterWalk) {
  TextMaker maker(2);
  for (unsigned share : {0u, 8u, 64u, 200u}) {
    for (int round = 0; round < 400; ++round) {
      const std::string text = maker.Make(maker.Next() % 70, share);
      for (char ch : {']', '\0', '$', '\\', '\x83', '\xA0'}) {
        SCOPED_TRACE("share " + std::to_string(share) + ", round " + std::to_string(round) + ", char " +
                     std::to_string(static_cast<int>(ch)));
        for (size_t start = 0; start <= text.size(); ++start) {
          const std::string rest = text.substr(start);
          ASSERT_EQ(Offset(rest, FindChar(rest.data(), rest.size(), ch)), ReferenceFindChar(rest, ch));
        }
      }
    }
  }
}

}  // namespace
