#include "text/TextSearch.h"

#include <cstring>

#include "text/DoubleByte.h"

const char *FindText(const char *text, const char *pattern) {
  if (!text || !pattern) return nullptr;
  return FindTextN(text, std::strlen(text), pattern, std::strlen(pattern));
}

// Candidates advance a whole character at a time, so a match never starts on
// a trail byte; the first byte is compared before the rest.
const char *FindTextN(const char *text, size_t textLength, const char *pattern, size_t patternLength) {
  if (!text || textLength == 0 || patternLength > textLength) return nullptr;
  if (patternLength == 0) return text;
  if (!pattern) return nullptr;
  const size_t last = textLength - patternLength;
  const char first = pattern[0];
  size_t i = 0;
  while (i <= last) {
    if (text[i] == first && std::memcmp(text + i + 1, pattern + 1, patternLength - 1) == 0) return text + i;
    const bool pair = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < textLength && text[i + 1] != 0;
    i += pair ? 2 : 1;
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
