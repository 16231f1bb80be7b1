// The VORDEL/2.0 envelope: which requests are accepted, where the text to
// expand comes from, the exact replies, and which replies leave the host's
// request block with the host.
#pragma once

#include <cstddef>

#include "platform/Platform.h"

extern const char kBadRequestReply[];  // "VORDEL/2.0 400 Bad Request\r\n\r\n"
extern const char kNoContentReply[];   // "VORDEL/2.0 204 No Content\r\n\r\n"

// The String value of a request text, pointing into it: false when the
// request gets the 400 reply, because its first line (its first piece between
// "\r\n" pairs that is not empty) does not begin with EXECUTE, ASCII letter
// case ignored, or no line is a String header.
bool FindStringValue(const char *requestText, size_t length, const char **value, size_t *valueLength);

// The 200 reply carrying the `length` bytes of `text`, whole, made in a new
// global block with its zero byte; its length is stored through
// `replyLength`. Null, with nothing stored, when no block can be had.
HGLOBAL NewOkReplyBlock(const char *text, size_t length, BlockLength *replyLength);

// True when the reply is exactly the 400 or the 204 reply: the host's
// request block then stays the host's.
bool ReplyLeavesBlockToHost(const char *reply, size_t length);
