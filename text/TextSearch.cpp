#include "text/TextSearch.h"

#include <cstring>

#include "text/DoubleByte.h"

const char *FindText(const char *text, const char *pattern) {
  if (!text || !pattern) return nullptr;
  return FindTextN(text, std::strlen(text), pattern, std::strlen(pattern));
}

// Candidates advance a whole character at a time, so a match never starts on
// a trail byte. Only bytes equal to the pattern's first byte can start a
// match: the search jumps from one to the next and checks that it starts a
// character by the lead bytes right before it.
const char *FindTextN(const char *text, size_t textLength, const char *pattern, size_t patternLength) {
  if (!text || textLength == 0 || patternLength > textLength) return nullptr;
  if (patternLength == 0) return text;
  if (!pattern) return nullptr;
  const size_t last = textLength - patternLength;
  const char first = pattern[0];
  size_t i = 0;  // always the start of a character
  while (i <= last) {
    const void *hit = std::memchr(text + i, first, last + 1 - i);
    if (!hit) return nullptr;
    const size_t candidate = static_cast<size_t>(static_cast<const char *>(hit) - text);
    // A zero byte is never a lead byte's partner, so it always starts one.
    if (first != 0 && LeadBytesBefore(text, i, candidate) % 2 != 0) {
      i = candidate + 1;  // a trail byte: the next character starts behind it
      continue;
    }
    if (std::memcmp(text + candidate + 1, pattern + 1, patternLength - 1) == 0) return text + candidate;
    const bool pair = IsLeadByte(static_cast<unsigned char>(first)) && candidate + 1 < textLength &&
                      text[candidate + 1] != 0;
    i = candidate + (pair ? 2 : 1);
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
