// The engine behind the three exports. It has no state of its own: what
// lives from one call to the next (the loaded plug-ins) is the module
// registry's.
#pragma once

#include "platform/Platform.h"
#include "text/Text.h"

class CallerEngine {
 public:
  // The text the host passes to load is not needed: plug-ins are always
  // sought beside this library's own file. Always 1.
  int HandleLoad(const char *text);
  // The reply to a whole request text, in a new global block (null when none
  // can be had), its length stored through `replyLength`. The request's lines
  // are the pieces between "\r\n" pairs, empty ones dropped, and the first
  // must begin with EXECUTE. `leavesBlockToHost` tells whether the reply is
  // the 400 or 204 reply. A String value without calls is copied once,
  // straight into the block.
  HGLOBAL AnswerRequestInBlock(const char *requestText, size_t length, BlockLength *replyLength,
                               bool *leavesBlockToHost);
  // The reply to a request whose request line was accepted: the 200 reply
  // with the expanded String value, or the 400 reply without a String line.
  CText HandleRequest(const CTextArray *lines);
  // The String value with every plug-in call replaced by its result.
  CText ExpandCalls(const CText &value);
  // The same for a counted value, the result appended to `output`.
  void ExpandCallsInto(const char *value, size_t length, CText *output);
  // Unloads every loaded plug-in; the registry keeps its entries. Always 1.
  int HandleUnload();

 private:
  // The String value of an accepted request, pointing into its text; false
  // when the request gets the 400 reply.
  bool FindStringValue(const char *requestText, size_t length, const char **value, size_t *valueLength);
  // The 200 reply for a String value, its calls expanded into it.
  CText OkReplyFor(const char *value, size_t length);
};
