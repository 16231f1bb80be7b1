// Searching and comparing zero-terminated Shift_JIS byte strings.
#pragma once

#include <cstddef>
#include <cstring>

#include "platform/LeadBytes.h"

// memchr for texts: the first byte equal to `byte` among the first `length`,
// or null. A few bytes are looked at right here; longer texts go to memchr,
// or on Windows, where the C runtime's memchr goes byte by byte, to a search
// that compares 16 or 32 bytes at a time when the processor can.
#ifdef _WIN32
const char *FindByteInLongText(const char *text, size_t length, char byte);
#else
inline const char *FindByteInLongText(const char *text, size_t length, char byte) {
  return static_cast<const char *>(std::memchr(text, byte, length));
}
#endif
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
// The search of FindTextN from the candidate position `from` on, where the
// text's start is still the last known start of a character.
const char *FindTextFrom(const char *text, size_t textLength, const char *pattern, size_t patternLength,
                         size_t from);
// FindText over counted strings, for callers that know both lengths. The
// first candidate is tried right here, inline: it is the pattern's first
// byte found alone, which in most texts is rare and whose first occurrence
// starts the match (a line's CR, a call's '$', a field's ','), so that the
// common search costs one byte search and, for a literal pattern, no call.
// Anything else goes on out of line, where the search goes by both ends.
inline const char *FindTextN(const char *text, size_t textLength, const char *pattern, size_t patternLength) {
  if (!text || textLength == 0 || patternLength > textLength) return nullptr;
  if (patternLength == 0) return text;
  if (!pattern) return nullptr;
  const char *hit = FindByte(text, textLength - patternLength + 1, pattern[0]);
  if (!hit) return nullptr;
  const size_t candidate = static_cast<size_t>(hit - text);
  if (std::memcmp(hit + 1, pattern + 1, patternLength - 1) != 0)
    return FindTextFrom(text, textLength, pattern, patternLength, candidate + 1);
  // Zero, CR and LF are never a lead byte's partner, and a byte after no
  // lead byte is no trail byte: either way the match starts a character.
  if (!CanEndPair(static_cast<unsigned char>(pattern[0])) || candidate == 0 ||
      !IsLeadByte(static_cast<unsigned char>(text[candidate - 1])))
    return hit;
  return FindTextFrom(text, textLength, pattern, patternLength, candidate);
}

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
