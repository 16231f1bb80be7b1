// Where plug-ins are looked for: beside the library's own file, and nowhere
// else.
#pragma once

#include "text/Text.h"

// The whole path cut just after its last real '\' (a 0x5C trail byte is no
// separator); empty when the path has none. Never cut to a buffer size.
CText GetDirectoryPart(const CText &path);

// True when a plug-in name stays inside the directory it is looked for in: it
// is not absolute (no drive letter, no leading '\' or '/', so no UNC path
// either) and no segment between separators climbs out (".." and the
// dots-and-spaces names Windows reads as "..").
bool IsNameInsideDirectory(const CText &name);
