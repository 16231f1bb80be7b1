// Searching and comparing zero-terminated Shift_JIS byte strings.
#pragma once

#include <cstddef>
#include <cstring>

// memchr for texts: the first byte equal to `byte` among the first `length`,
// or null. A few bytes are looked at right here; longer texts go to memchr,
// or on Windows, where the C runtime's memchr goes byte by byte, to a search
// that compares 16 or 32 bytes at a time when the processor can.
const char *FindByteInLongText(const char *text, size_t length, char byte);
inline const char *FindByte(const char *text, size_t length, char byte) {
  if (length > 8) return FindByteInLongText(text, length, byte);
  for (size_t i = 0; i < length; ++i)
    if (text[i] == byte) return text + i;
  return nullptr;
}

// The first occurrence of `pattern` in `text` that starts on a character
// boundary, or null. An empty text gives null; an empty pattern matches at the
// text's start.
const char *FindText(const char *text, const char *pattern);
// The same over counted strings, for callers that know both lengths.
const char *FindTextN(const char *text, size_t textLength, const char *pattern, size_t patternLength);

// 0 when a and b agree over their first n bytes, with only a-z folded onto
// A-Z; else the difference of the first folded bytes that differ, each taken
// as a signed 8-bit value. A shorter string differs at its terminator.
int CompareNoCaseN(const char *a, const char *b, size_t n);

// True when the counted text begins with `prefix` (`prefixLength` bytes, none
// of them 0) with only a-z folded onto A-Z: what CompareNoCaseN of the two
// over `prefixLength` bytes says when the text ends after `length` bytes.
// Inline: callers pass literal prefixes, whose exact comparison then needs
// no call. A text shorter than the prefix differs from it at its end; one
// that holds the very bytes needs no folding.
inline bool StartsWithNoCase(const char *text, size_t length, const char *prefix, size_t prefixLength) {
  if (length < prefixLength) return false;
  return std::memcmp(text, prefix, prefixLength) == 0 || CompareNoCaseN(text, prefix, prefixLength) == 0;
}
