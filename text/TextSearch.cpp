#include "text/TextSearch.h"

#include <cstring>

#include "text/DoubleByte.h"

const char *FindText(const char *text, const char *pattern) {
  if (!text || !pattern) return nullptr;
  return FindTextN(text, std::strlen(text), pattern, std::strlen(pattern));
}

// Candidates advance a whole character at a time, so a match never starts on
// a trail byte. Only bytes equal to the pattern's first byte can start a
// match: the search jumps from one to the next with memchr, and only a
// candidate whose bytes match is checked for starting a character, by the
// lead bytes right before it.
const char *FindTextN(const char *text, size_t textLength, const char *pattern, size_t patternLength) {
  if (!text || textLength == 0 || patternLength > textLength) return nullptr;
  if (patternLength == 0) return text;
  if (!pattern) return nullptr;
  const size_t last = textLength - patternLength;
  const char first = pattern[0];
  size_t boundary = 0;  // a known start of a character, at or before `from`
  size_t from = 0;
  while (from <= last) {
    const void *hit = std::memchr(text + from, first, last + 1 - from);
    if (!hit) return nullptr;
    const size_t candidate = static_cast<size_t>(static_cast<const char *>(hit) - text);
    from = candidate + 1;
    if (patternLength > 1 && (text[candidate + 1] != pattern[1] ||
                              std::memcmp(text + candidate + 2, pattern + 2, patternLength - 2) != 0))
      continue;
    // A zero byte is never a lead byte's partner, so it always starts one.
    if (first == 0 || LeadBytesBefore(text, boundary, candidate) % 2 == 0) return text + candidate;
    boundary = candidate + 1;  // a trail byte: the next character starts behind it
  }
  return nullptr;
}

int CompareNoCaseN(const char *a, const char *b, size_t n) {
  if (!a) a = "";
  if (!b) b = "";
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == 0 && b[i] == 0) return 0;
    signed char x = static_cast<signed char>(a[i]);
    signed char y = static_cast<signed char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<signed char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<signed char>(y - 'a' + 'A');
    if (x != y) return x - y;
  }
  return 0;
}
