// The three entry points a VORDEL host calls. No exception leaves them.
//
// Block ownership: the block given to load is always freed here; the block
// given to request is freed when the reply is neither the 400 nor the 204
// reply; the block request returns is the host's.
#include "host/CallerApplication.h"
#include "text/GlobalText.h"

#ifdef _WIN32
#define TOVRA_EXPORT  // exported by name and ordinal through the .def file
#else
#define TOVRA_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

TOVRA_EXPORT BOOL TOVRA_CDECL load(HGLOBAL block, BlockLength length) {
  CText text;
  try {
    text = ReadGlobalText(block, length);
  } catch (...) {
  }
  platform::FreeGlobalBlock(block);
  try {
    GetCallerEngine().HandleLoad(text.c_str());
  } catch (...) {
  }
  return TRUE;
}

TOVRA_EXPORT HGLOBAL TOVRA_CDECL request(HGLOBAL block, BlockLength *length) {
  if (!length) return nullptr;
  try {
    // The request is read in place: the block stays whole until the reply
    // is made, and is freed only after that.
    BlockLength replyLength = 0;
    bool leavesBlockToHost = true;
    HGLOBAL replyBlock = GetCallerEngine().HandleRequest(
        static_cast<const char *>(block), GlobalTextLength(block, *length), &replyLength, &leavesBlockToHost);
    // Without a reply block nothing changes hands: the host keeps its block
    // and its length variable.
    if (!replyBlock) return nullptr;
    if (!leavesBlockToHost) platform::FreeGlobalBlock(block);
    *length = replyLength;
    return replyBlock;
  } catch (...) {
    return nullptr;
  }
}

TOVRA_EXPORT BOOL TOVRA_CDECL unload() {
  try {
    GetCallerEngine().HandleUnload();
  } catch (...) {
  }
  return TRUE;
}

}  // extern "C"
