#include "host/Envelope.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "text/TextSearch.h"

const char kBadRequestReply[] = "VORDEL/2.0 400 Bad Request\r\n\r\n";
const char kNoContentReply[] = "VORDEL/2.0 204 No Content\r\n\r\n";

static const char kOkReplyHead[] = "VORDEL/2.0 200 OK\r\nString: ";
static const char kOkReplyTail[] = "\r\nCharset: Shift_JIS\r\n\r\n";

bool HeaderValueOf(const char *line, size_t length, const char *name, size_t nameLength, const char **value,
                   size_t *valueLength) {
  if (!StartsWithNoCase(line, length, name, nameLength)) return false;
  const size_t valueStart = nameLength + 2;
  *value = length > valueStart ? line + valueStart : line + length;
  *valueLength = length > valueStart ? length - valueStart : 0;
  return true;
}

bool FindHeader(const CTextArray *lines, const char *name, CText *value) {
  const size_t nameLength = std::strlen(name);
  for (size_t i = 0; i < lines->GetCount(); ++i) {
    const CText &line = lines->GetAt(i);
    const char *start;
    size_t length;
    if (!HeaderValueOf(line.c_str(), line.Length(), name, nameLength, &start, &length)) continue;
    *value = CText(start, length);
    return true;
  }
  return false;
}

bool FindHeaderInText(const char *text, size_t length, const char *name, const char **value, size_t *valueLength) {
  const size_t nameLength = std::strlen(name);
  bool found = false;
  ForEachField(text, length, "\r\n", 2, 1, [&](const char *line, size_t lineLength) {
    found = HeaderValueOf(line, lineLength, name, nameLength, value, valueLength);
    return !found;
  });
  return found;
}

void StartOkReply(CText *reply, size_t textLength) {
  reply->Empty();
  reply->Reserve(sizeof kOkReplyHead + textLength + sizeof kOkReplyTail);
  reply->Append(kOkReplyHead, sizeof kOkReplyHead - 1);
}

void FinishOkReply(CText *reply) {
  reply->Append(kOkReplyTail, sizeof kOkReplyTail - 1);
}

CText FormatOkReply(const CText &text) {
  CText reply;
  StartOkReply(&reply, text.Length());
  reply.Append(text);
  FinishOkReply(&reply);
  return reply;
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

static bool IsExactly(const CText &text, const char *literal, size_t length) {
  return text.Length() == length && std::memcmp(text.c_str(), literal, length) == 0;
}

bool ReplyLeavesBlockToHost(const CText &reply) {
  return IsExactly(reply, kBadRequestReply, sizeof kBadRequestReply - 1) ||
         IsExactly(reply, kNoContentReply, sizeof kNoContentReply - 1);
}
