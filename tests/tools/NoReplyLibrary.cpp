// A stand-in for the tovracaller library that answers no request: request
// returns null and, as the library does then, leaves the request block to the
// host untouched. The block it was handed can be asked for, so a test can
// check that the host freed it.
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#define LIBRARY_EXPORT extern "C" __declspec(dllexport)
static void FreeBlock(HGLOBAL block) { GlobalFree(block); }
#else
typedef void *HGLOBAL;
#define __cdecl
#define LIBRARY_EXPORT extern "C" __attribute__((visibility("default")))
static void FreeBlock(HGLOBAL block) { free(block); }
#endif

static HGLOBAL lastRequestBlock = nullptr;

LIBRARY_EXPORT int __cdecl load(HGLOBAL block, long) {
  FreeBlock(block);  // the load block is always the library's
  return 1;
}

LIBRARY_EXPORT HGLOBAL __cdecl request(HGLOBAL block, long *) {
  lastRequestBlock = block;
  return nullptr;
}

LIBRARY_EXPORT int __cdecl unload() {
  return 1;
}

// The block the last request call was handed.
LIBRARY_EXPORT HGLOBAL NoReplyLastRequestBlock() {
  return lastRequestBlock;
}
