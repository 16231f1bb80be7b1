#include "host/Envelope.h"

#include <cstring>

#include "text/TextSearch.h"

const char kBadRequestReply[] = "VORDEL/2.0 400 Bad Request\r\n\r\n";
const char kNoContentReply[] = "VORDEL/2.0 204 No Content\r\n\r\n";

static const char kOkReplyHead[] = "VORDEL/2.0 200 OK\r\nString: ";
static const char kOkReplyTail[] = "\r\nCharset: Shift_JIS\r\n\r\n";

bool FindHeader(const CTextArray *lines, const char *name, CText *value) {
  const size_t nameLength = std::strlen(name);
  for (size_t i = 0; i < lines->GetCount(); ++i) {
    const CText &line = lines->GetAt(i);
    if (CompareNoCaseN(line.c_str(), name, nameLength) != 0) continue;
    const size_t valueStart = nameLength + 2;
    *value = line.Length() > valueStart ? CText(line.c_str() + valueStart, line.Length() - valueStart) : CText();
    return true;
  }
  return false;
}

CText FormatOkReply(const CText &text) {
  CText reply;
  reply.Reserve(sizeof kOkReplyHead + text.Length() + sizeof kOkReplyTail);
  reply.Append(kOkReplyHead, sizeof kOkReplyHead - 1);
  reply.Append(text);
  reply.Append(kOkReplyTail, sizeof kOkReplyTail - 1);
  return reply;
}

bool ReplyLeavesBlockToHost(const CText &reply) {
  return reply == kBadRequestReply || reply == kNoContentReply;
}
