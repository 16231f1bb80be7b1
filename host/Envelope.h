// The VORDEL/2.0 envelope: which requests are accepted, where the text to
// expand comes from, the exact replies, and which replies leave the host's
// request block with the host.
#pragma once

#include "platform/Platform.h"
#include "text/Text.h"

extern const char kBadRequestReply[];  // "VORDEL/2.0 400 Bad Request\r\n\r\n"
extern const char kNoContentReply[];   // "VORDEL/2.0 204 No Content\r\n\r\n"

// The value of the first line that begins with `name` (ASCII letter case
// ignored); it starts two bytes after the name, whatever those two bytes
// are, and is empty when the line is not that long. `value` is written only
// when a line matches.
bool FindHeader(const CTextArray *lines, const char *name, CText *value);
// The same over the lines of a whole text (its pieces between "\r\n" pairs,
// empty ones dropped, as Split cuts them), read where they lie: the value is
// left in place and only pointed to.
bool FindHeaderInText(const char *text, size_t length, const char *name, const char **value, size_t *valueLength);
// The header rule for one line of `length` bytes: true when it begins with
// `name` (`nameLength` bytes, ASCII letter case ignored), its value then
// pointed to.
bool HeaderValueOf(const char *line, size_t length, const char *name, size_t nameLength, const char **value,
                   size_t *valueLength);

// The 200 reply carrying `text`, whole.
CText FormatOkReply(const CText &text);
// The same reply made in place: StartOkReply empties `reply` and writes
// everything before the text, with room for `textLength` bytes of text and
// the rest; the caller appends the text; FinishOkReply closes the reply.
void StartOkReply(CText *reply, size_t textLength);
void FinishOkReply(CText *reply);
// The 200 reply carrying the `length` bytes of `text`, made straight in a new
// global block with its zero byte; its length is stored through
// `replyLength`. Null when no block can be had.
HGLOBAL NewOkReplyBlock(const char *text, size_t length, BlockLength *replyLength);

// True when the reply is exactly the 400 or the 204 reply: the host's
// request block then stays the host's.
bool ReplyLeavesBlockToHost(const CText &reply);
