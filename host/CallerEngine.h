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
  // The reply to a whole request text, read where it lies, in a new global
  // block (null when none can be had), its length stored through
  // `replyLength`. `leavesBlockToHost` tells whether the reply is the 400 or
  // 204 reply. A String value without calls is copied once, straight into
  // the block.
  HGLOBAL HandleRequest(const char *requestText, size_t length, BlockLength *replyLength, bool *leavesBlockToHost);
  // Appends the counted String value to `output` with every plug-in call
  // replaced by its result. What it appends never holds a CR LF pair: CR and
  // LF in a result, and an LF that would follow a CR across a call that left
  // nothing, become spaces.
  void ExpandCalls(const char *value, size_t length, CText *output);
  // Unloads every loaded plug-in; the registry keeps its entries. Always 1.
  int HandleUnload();
};
