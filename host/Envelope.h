// The VORDEL/2.0 envelope: which requests are accepted, where the text to
// expand comes from, the exact replies, and which replies leave the host's
// request block with the host.
#pragma once

#include "text/Text.h"

extern const char kBadRequestReply[];  // "VORDEL/2.0 400 Bad Request\r\n\r\n"
extern const char kNoContentReply[];   // "VORDEL/2.0 204 No Content\r\n\r\n"

// The value of the first line that begins with `name` (ASCII letter case
// ignored); it starts two bytes after the name, whatever those two bytes
// are, and is empty when the line is not that long. `value` is written only
// when a line matches.
bool FindHeader(const CTextArray *lines, const char *name, CText *value);

// The 200 reply carrying `text`, whole.
CText FormatOkReply(const CText &text);

// True when the reply is exactly the 400 or the 204 reply: the host's
// request block then stays the host's.
bool ReplyLeavesBlockToHost(const CText &reply);
