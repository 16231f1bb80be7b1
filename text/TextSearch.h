// Searching and comparing zero-terminated Shift_JIS byte strings.
#pragma once

#include <cstddef>

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
bool StartsWithNoCase(const char *text, size_t length, const char *prefix, size_t prefixLength);
