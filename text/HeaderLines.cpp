#include "text/HeaderLines.h"

#include <cstring>

#include "text/Text.h"
#include "text/TextSearch.h"

bool HeaderValueOf(const char *line, size_t length, const char *name, size_t nameLength, const char **value,
                   size_t *valueLength) {
  if (!StartsWithNoCase(line, length, name, nameLength)) return false;
  const size_t valueStart = nameLength + 2;
  *value = length > valueStart ? line + valueStart : line + length;
  *valueLength = length > valueStart ? length - valueStart : 0;
  return true;
}

bool FindHeader(const char *text, size_t length, const char *name, const char **value, size_t *valueLength) {
  const size_t nameLength = std::strlen(name);
  bool found = false;
  ForEachField(text, length, "\r\n", 2, 1, [&](const char *line, size_t lineLength) {
    found = HeaderValueOf(line, lineLength, name, nameLength, value, valueLength);
    return !found;
  });
  return found;
}
