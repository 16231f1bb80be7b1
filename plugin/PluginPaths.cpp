#include "plugin/PluginPaths.h"

#include "text/DoubleByte.h"

CText GetDirectoryPart(const CText &path) {
  const char *name = GetFileNamePart(path.c_str());
  return CText(path.c_str(), static_cast<size_t>(name - path.c_str()));
}

// A segment of dots and spaces only, with at least two dots: Windows strips
// trailing dots and spaces from a path segment, so ". ." and "..." climb out
// just like "..".
static bool ClimbsOut(const char *begin, const char *end) {
  int dots = 0;
  for (const char *p = begin; p < end; ++p) {
    if (*p == '.')
      ++dots;
    else if (*p != ' ')
      return false;
  }
  return dots >= 2;
}

bool IsNameInsideDirectory(const CText &name) {
  const char *text = name.c_str();
  if (text[0] == '\\' || text[0] == '/') return false;
  if (text[0] != 0 && text[1] == ':') return false;
  const char *segment = text;
  for (const char *p = text;; p = CharNext(p)) {
    if (*p == '\\' || *p == '/' || *p == 0) {
      if (ClimbsOut(segment, p)) return false;
      if (*p == 0) return true;
      segment = p + 1;
    }
  }
}
