#include "text/DoubleByte.h"

#include <cstdint>
#include <cstring>

#include "text/TextSearch.h"

namespace {

bool IsLead(char byte) { return IsLeadByte(static_cast<unsigned char>(byte)); }

}  // namespace

int IsTrailByteAt(const char *start, const char *position) {
  if (!start || !position) return 0;
  // Compared as addresses so that a position outside the string is no fault.
  const uintptr_t target = reinterpret_cast<uintptr_t>(position);
  const char *cursor = start;
  while (reinterpret_cast<uintptr_t>(cursor) <= target) {
    if (*cursor == 0) return 0;
    if (StartsPair(cursor)) {
      if (cursor + 1 == position) return 1;
      ++cursor;
    }
    ++cursor;
  }
  return 0;
}

// Jumps from one occurrence of `ch` to the next, from `from` on (a start of
// a character), and keeps the first that starts a character. A zero byte
// before it ends the search, and CR or LF always starts a character.
const char *FindCharFrom(const char *text, size_t length, char ch, size_t from) {
  size_t i = from;  // always the start of a character
  while (i < length) {
    const char *hit = FindByte(text + i, length - i, ch);
    if (!hit) return nullptr;
    const size_t found = static_cast<size_t>(hit - text);
    if (ch != 0 && FindByte(text + i, found - i, 0)) return nullptr;
    if ((ch != 0 && !CanEndPair(ch)) || LeadBytesBefore(text, i, found) % 2 == 0) return text + found;
    // A lead byte does not pair with a zero byte: it stands alone before it.
    if (ch == 0) return nullptr;
    i = found + 1;
  }
  return nullptr;
}

const char *FindLastChar(const char *text, char ch) {
  if (!text) return nullptr;
  const char *result = nullptr;
  for (const char *p = text;; ++p) {
    if (*p == 0) return ch == 0 ? p : result;
    if (IsLead(*p)) {
      if (p[1] == 0) return result ? result : p + 1;
      if (StartsPair(p)) ++p;
    } else if (*p == ch) {
      result = p;
    }
  }
}

const char *GetFileNamePart(const char *path) {
  if (!path) return nullptr;
  const char *name = path;
  for (const char *p = path; *p != 0; ++p) {
    if (IsLead(*p)) {
      if (p[1] == 0) break;
      if (StartsPair(p)) ++p;
    } else if (*p == '\\') {
      name = p + 1;
    }
  }
  return name;
}

char *GetFileNamePart(char *path) {
  return const_cast<char *>(GetFileNamePart(static_cast<const char *>(path)));
}

int RemoveFileName(char *path) {
  if (!path) return 0;
  *GetFileNamePart(path) = 0;
  return 1;
}

void AddTrailingSeparator(char *path) {
  if (!path) return;
  const size_t length = std::strlen(path);
  if (length == 0) return;
  const char *last = path + length - 1;
  if (*last != '\\' || IsTrailByteAt(path, last)) {
    path[length] = '\\';
    path[length + 1] = 0;
  }
}

const char *GetExtensionPart(const char *path) {
  static const char noExtension[1] = "";
  if (!path) return noExtension;
  const char *name = GetFileNamePart(path);
  const char *dot = FindLastChar(path, '.');
  if (!dot || dot < name) return noExtension;
  return dot;
}

int ReplaceExtension(char *path, const char *extension) {
  if (!path || !extension) return 0;
  const char *old = GetExtensionPart(path);
  char *at = *old != 0 ? path + (old - path) : path + std::strlen(path);
  // The new extension may lie inside the path itself.
  std::memmove(at, extension, std::strlen(extension) + 1);
  return 1;
}
