// Header lines, read the same way in both text protocols (the host's
// VORDEL/2.0 requests and the plug-ins' TOVRA/1.0 replies): a text's lines
// are its pieces between "\r\n" pairs, empty ones dropped, and a header is
// found by its name as a prefix of a line, ASCII letter case ignored, its
// value starting two bytes after the name.
#pragma once

#include <cstddef>
#include <cstring>

#include "text/Text.h"
#include "text/TextSearch.h"

// Both are inline: they run for every line of a request and for every
// plug-in answer, with literal names whose comparison then needs no call.

// The header rule for one line of `length` bytes: true when it begins with
// `name` (`nameLength` bytes), the value then pointed to: the rest of the
// line from two bytes after the name, whatever those two bytes are, and
// empty when the line is not that long.
inline bool HeaderValueOf(const char *line, size_t length, const char *name, size_t nameLength, const char **value,
                          size_t *valueLength) {
  if (!StartsWithNoCase(line, length, name, nameLength)) return false;
  const size_t valueStart = nameLength + 2;
  *value = length > valueStart ? line + valueStart : line + length;
  *valueLength = length > valueStart ? length - valueStart : 0;
  return true;
}

// The value of the first line of the counted text that begins with `name`,
// read where it lies. `value` and `valueLength` are written only when a
// line matches.
inline bool FindHeader(const char *text, size_t length, const char *name, const char **value, size_t *valueLength) {
  const size_t nameLength = std::strlen(name);
  bool found = false;
  ForEachField(text, length, "\r\n", 2, 1, [&](const char *line, size_t lineLength) {
    found = HeaderValueOf(line, lineLength, name, nameLength, value, valueLength);
    return !found;
  });
  return found;
}
