#include "host/Envelope.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "text/HeaderLines.h"
#include "text/Text.h"
#include "text/TextSearch.h"

const char kBadRequestReply[] = "VORDEL/2.0 400 Bad Request\r\n\r\n";
const char kNoContentReply[] = "VORDEL/2.0 204 No Content\r\n\r\n";

static const char kOkReplyHead[] = "VORDEL/2.0 200 OK\r\nString: ";
static const char kOkReplyTail[] = "\r\nCharset: Shift_JIS\r\n\r\n";

// One pass over the lines: the request line decides first, then the header
// rule is tried on every line, the request line included (beginning with
// EXECUTE, it never is the String header).
bool FindStringValue(const char *requestText, size_t length, const char **value, size_t *valueLength) {
  bool sawRequestLine = false, accepted = false, found = false;
  ForEachField(requestText, length, "\r\n", 2, 1, [&](const char *line, size_t lineLength) {
    if (!sawRequestLine) {
      sawRequestLine = true;
      accepted = StartsWithNoCase(line, lineLength, "EXECUTE", 7);
      if (!accepted) return false;
    }
    found = HeaderValueOf(line, lineLength, "String", 6, value, valueLength);
    return !found;
  });
  return accepted && found;
}

HGLOBAL NewOkReplyBlock(const char *text, size_t length, BlockLength *replyLength) {
  const size_t headLength = sizeof kOkReplyHead - 1, tailLength = sizeof kOkReplyTail - 1;
  // The length travels as a 32-bit signed value; a longer reply cannot be sent.
  if (length >= static_cast<size_t>(INT32_MAX) - headLength - tailLength) return nullptr;
  const size_t total = headLength + length + tailLength;
  char *block = static_cast<char *>(platform::AllocGlobalBlock(total + 1));
  if (!block) return nullptr;
  std::memcpy(block, kOkReplyHead, headLength);
  if (length) std::memcpy(block + headLength, text, length);
  std::memcpy(block + headLength + length, kOkReplyTail, tailLength);
  if (replyLength) *replyLength = static_cast<BlockLength>(total);
  return block;
}

static bool IsExactly(const char *text, size_t length, const char *literal, size_t literalLength) {
  return length == literalLength && std::memcmp(text, literal, length) == 0;
}

bool ReplyLeavesBlockToHost(const char *reply, size_t length) {
  return IsExactly(reply, length, kBadRequestReply, sizeof kBadRequestReply - 1) ||
         IsExactly(reply, length, kNoContentReply, sizeof kNoContentReply - 1);
}
