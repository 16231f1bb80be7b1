// Character-by-character scanning of Shift_JIS text and the path functions
// built on it. A lead byte (0x81-0x9F, 0xE0-0xFC) starts a two-byte character
// whose trail byte may have the value of '\', ']' or a letter; these
// functions never take such a trail byte for a character of its own. The
// lead-byte test is that of code page 932 whatever the system's code page.
#pragma once

#include <cstddef>

#include "platform/LeadBytes.h"
#include "text/TextSearch.h"

#ifdef _WIN32
// windows.h maps CharNext onto CharNextA, which follows the process's code
// page. It is included first so that its guard keeps it from coming back and
// the name below stays this one.
#include <windows.h>
#undef CharNext
#endif

// The start of the next character: two bytes on for a lead byte that starts
// a pair, one byte on for any other byte, and no move at a terminator.
inline const char *CharNext(const char *p) {
  if (*p == 0) return p;
  return StartsPair(p) ? p + 2 : p + 1;
}

// How many bytes right before `text[position]`, back to `text[from]` at the
// most, are lead bytes. When `from` starts a character those bytes pair off,
// so an odd count means that `position` holds a trail byte (provided that
// byte can end a pair). Searches jump to a likely byte and check it with this
// instead of stepping through every character before it.
inline size_t LeadBytesBefore(const char *text, size_t from, size_t position) {
  size_t count = 0;
  while (position - count > from && IsLeadByte(static_cast<unsigned char>(text[position - count - 1]))) ++count;
  return count;
}

// 1 when `position` holds the trail byte of a two-byte character of the
// string that starts at `start`, else 0.
int IsTrailByteAt(const char *start, const char *position);

// The first real occurrence of the single-byte character `ch` (0x01-0x7F, or
// 0 for a zero byte) among the first `length` bytes of the text, or null. A
// zero byte before it ends the search with null, and so does a lone lead
// byte right before the zero byte that is looked for.
// The first occurrence is tried right here, inline (calls look for their
// closing ']' this way): it is the answer unless a zero byte comes before it
// or a lead byte right before it; then the search goes on out of line.
const char *FindCharFrom(const char *text, size_t length, char ch, size_t from);
inline const char *FindChar(const char *text, size_t length, char ch) {
  if (!text || IsLeadByte(static_cast<unsigned char>(ch))) return nullptr;
  const char *hit = FindByte(text, length, ch);
  if (!hit) return nullptr;
  const size_t found = static_cast<size_t>(hit - text);
  if (ch != 0 && FindByte(text, found, 0)) return nullptr;
  if (found == 0 || !IsLeadByte(static_cast<unsigned char>(text[found - 1])) ||
      (ch != 0 && !CanEndPair(static_cast<unsigned char>(ch))))
    return hit;
  return FindCharFrom(text, length, ch, 0);
}

// The last real occurrence of `ch`, or null. When the text ends in a lone
// lead byte and nothing was found before it, the pointer to the terminator.
const char *FindLastChar(const char *text, char ch);

// Just behind the last real '\', or the path itself when there is none.
const char *GetFileNamePart(const char *path);
char *GetFileNamePart(char *path);
// Cuts the path just behind its last real '\'; returns 1.
int RemoveFileName(char *path);
// Appends '\' unless the path is empty or already ends in a real '\'. Needs
// two bytes of room behind the terminator.
void AddTrailingSeparator(char *path);
// The extension's dot inside the file name part, or a static empty string.
const char *GetExtensionPart(const char *path);
// Replaces the extension (dot included) by `extension`, or appends it; the
// buffer needs room for it. Returns 1.
int ReplaceExtension(char *path, const char *extension);
