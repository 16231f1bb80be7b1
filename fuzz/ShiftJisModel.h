// A byte-by-byte model of the library's Shift_JIS text rules, written from
// the rules alone and walking one character at a time, so that the fuzzers
// can tell a wrong answer from a right one. It shares no code with the
// library: its lead-byte table is the tests' own.
//
// The rules: a lead byte (0x81-0x9F, 0xE0-0xFC) pairs with the byte after it
// unless that byte is 0, CR or LF (or the text ends); every other byte is a
// character of its own. Searches only match at the start of a character.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Not what is fuzzed: no coverage is gathered from it.
#pragma clang attribute push(__attribute__((no_sanitize("coverage"))), apply_to = function)

#include "support/ListedLeadBytes.h"

namespace model {

const long kNone = -1;

inline bool IsLead(char c) { return ListedAsLeadByte(static_cast<unsigned char>(c)); }

// True when text[i] is a lead byte that pairs with text[i + 1].
inline bool PairAt(const std::string &text, size_t i) {
  if (!IsLead(text[i]) || i + 1 >= text.size()) return false;
  const char next = text[i + 1];
  return next != 0 && next != '\r' && next != '\n';
}

inline size_t CharLength(const std::string &text, size_t i) { return PairAt(text, i) ? 2 : 1; }

// The text up to its first zero byte: what a function on terminated strings sees.
inline std::string Terminated(const std::string &text) { return text.substr(0, text.find('\0')); }

inline char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The first character start at or after `from` (itself taken as a character
// start) where `pattern` matches, or kNone; an empty pattern matches at
// `from` of a non-empty text.
inline long FindTextFrom(const std::string &text, size_t from, const std::string &pattern) {
  if (from >= text.size() || pattern.size() > text.size() - from) return kNone;
  for (size_t i = from; i + pattern.size() <= text.size(); i += CharLength(text, i))
    if (text.compare(i, pattern.size(), pattern) == 0) return static_cast<long>(i);
  return kNone;
}

inline long FindText(const std::string &text, const std::string &pattern) { return FindTextFrom(text, 0, pattern); }

// The first character that is `ch` alone. A zero byte ends the search (it is
// the answer when looked for), and so does a lead byte with nothing or a zero
// after it; a lead byte is never found.
inline long FindChar(const std::string &text, char ch) {
  if (IsLead(ch)) return kNone;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (text[i] == 0) return ch == 0 ? static_cast<long>(i) : kNone;
    if (IsLead(text[i]) && (i + 1 == text.size() || text[i + 1] == 0)) return kNone;
    if (!PairAt(text, i) && text[i] == ch) return static_cast<long>(i);
  }
  return kNone;
}

// Over a terminated text: the last character that is `ch` alone (a lead
// byte, paired or not, is never found); the terminator for a zero `ch`, and
// for a text that ends in a lone lead byte with no `ch` before it.
inline long FindLastChar(const std::string &text, char ch) {
  const std::string t = Terminated(text);
  if (ch == 0) return static_cast<long>(t.size());
  long found = kNone;
  for (size_t i = 0; i < t.size(); i += CharLength(t, i)) {
    if (IsLead(t[i]) && i + 1 == t.size()) return found != kNone ? found : static_cast<long>(t.size());
    if (!IsLead(t[i]) && t[i] == ch) found = static_cast<long>(i);
  }
  return found;
}

// Over a terminated text: 1 when `position` is the second byte of a pair.
inline int IsTrailAt(const std::string &text, size_t position) {
  const std::string t = Terminated(text);
  for (size_t i = 0; i < t.size() && i < position; i += CharLength(t, i))
    if (PairAt(t, i) && i + 1 == position) return 1;
  return 0;
}

// The start of every character of a terminated text, and its end.
inline std::vector<size_t> CharacterStarts(const std::string &text) {
  const std::string t = Terminated(text);
  std::vector<size_t> starts;
  for (size_t i = 0; i < t.size(); i += CharLength(t, i)) starts.push_back(i);
  starts.push_back(t.size());
  return starts;
}

// Path functions over a terminated text; '\' alone is the only separator.
inline size_t FileNameStart(const std::string &path) {
  const std::string t = Terminated(path);
  size_t start = 0;
  for (size_t i = 0; i < t.size(); i += CharLength(t, i))
    if (!PairAt(t, i) && t[i] == '\\') start = i + 1;
  return start;
}

inline std::string RemoveFileName(const std::string &path) { return Terminated(path).substr(0, FileNameStart(path)); }

inline std::string AddTrailingSeparator(const std::string &path) {
  const std::string t = Terminated(path);
  if (t.empty()) return t;
  size_t last = 0;
  for (size_t i = 0; i < t.size(); i += CharLength(t, i)) last = i;
  return !PairAt(t, last) && t[last] == '\\' ? t : t + "\\";
}

// The extension (from its dot) of the file name part, or empty.
inline std::string Extension(const std::string &path) {
  const long dot = FindLastChar(path, '.');
  if (dot == kNone || static_cast<size_t>(dot) < FileNameStart(path)) return std::string();
  return Terminated(path).substr(static_cast<size_t>(dot));
}

inline std::string ReplaceExtension(const std::string &path, const std::string &extension) {
  const std::string t = Terminated(path);
  return t.substr(0, t.size() - Extension(path).size()) + Terminated(extension);
}

// Whether a plug-in name stays in its directory: not absolute, no drive
// letter, and no segment (between real '\' or '/') of dots and spaces only
// with two dots or more.
inline bool InsideDirectory(const std::string &name) {
  const std::string t = Terminated(name);
  if (!t.empty() && (t[0] == '\\' || t[0] == '/')) return false;
  if (t.size() > 1 && t[1] == ':') return false;
  std::vector<std::string> segments(1);
  for (size_t i = 0; i < t.size(); i += CharLength(t, i)) {
    if (!PairAt(t, i) && (t[i] == '\\' || t[i] == '/'))
      segments.emplace_back();
    else
      segments.back() += t.substr(i, CharLength(t, i));
  }
  for (const std::string &segment : segments) {
    size_t dots = 0;
    for (char c : segment) dots += c == '.';
    if (segment.find_first_not_of(". ") == std::string::npos && dots >= 2) return false;
  }
  return true;
}

// The fields between delimiters found at character starts; the search starts
// afresh behind each delimiter.
inline std::vector<std::string> Fields(const std::string &text, const std::string &delimiter, bool skipEmpty) {
  std::vector<std::string> fields;
  if (text.empty() || delimiter.empty()) return fields;
  size_t cursor = 0;
  for (;;) {
    const long found = FindTextFrom(text, cursor, delimiter);
    const size_t end = found == kNone ? text.size() : static_cast<size_t>(found);
    if (!skipEmpty || end > cursor) fields.push_back(text.substr(cursor, end - cursor));
    if (found == kNone) return fields;
    cursor = end + delimiter.size();
  }
}

inline std::string Upper(const std::string &text) {
  std::string upper = text;
  for (size_t i = 0; i < upper.size(); i += CharLength(upper, i))
    if (!PairAt(upper, i)) upper[i] = Fold(upper[i]);
  return upper;
}

inline bool StartsWithNoCase(const std::string &text, const std::string &prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Fold(text[i]) != Fold(prefix[i])) return false;
  return true;
}

// The value of the first line (pieces between "\r\n", empty ones dropped)
// that begins with `name`: the rest of the line from two bytes after it.
inline bool HeaderValue(const std::string &text, const std::string &name, std::string *value) {
  for (const std::string &line : Fields(text, "\r\n", true)) {
    if (!StartsWithNoCase(line, name)) continue;
    *value = line.size() > name.size() + 2 ? line.substr(name.size() + 2) : std::string();
    return true;
  }
  return false;
}

// How many bytes of `text` a buffer of `capacity` characters keeps: all of
// them when they fit, else whole characters only.
inline size_t CutLength(const std::string &text, size_t capacity) {
  if (text.size() <= capacity) return text.size();
  size_t kept = 0;
  while (kept + CharLength(text, kept) <= capacity) kept += CharLength(text, kept);
  return kept;
}

// What the library reads of a block of `blockBytes` (the block's whole
// content) with the stated length: no more than either, up to a zero byte.
inline std::string BlockText(const std::string &blockBytes, long stated) {
  if (stated <= 0) return std::string();
  const size_t count = static_cast<size_t>(stated) < blockBytes.size() ? static_cast<size_t>(stated) : blockBytes.size();
  return Terminated(blockBytes.substr(0, count));
}

}  // namespace model

#pragma clang attribute pop
