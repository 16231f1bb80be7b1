/* nop: the trivial plug-in the benchmarks call, so that what they measure is
 * the library's own work around a call. It takes over the request block and
 * frees it, answers the version request, and answers every other request
 * with the fixed result "1". */
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#define NOP_EXPORT __declspec(dllexport)
#define NOP_CALL __cdecl
static void *NewBlock(size_t size) { return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size); }
static void FreeBlock(void *block) { GlobalFree(block); }
#else
#include <stdlib.h>
#define NOP_EXPORT __attribute__((visibility("default")))
#define NOP_CALL
static void *NewBlock(size_t size) { return calloc(size, 1); }
static void FreeBlock(void *block) { free(block); }
#endif

/* The allocation tests build it once more as "oldversion", answering the
 * version request with a protocol the library refuses. */
#ifndef NOP_PROTOCOL
#define NOP_PROTOCOL "TOVRA/1.0"
#endif
static const char kVersionReply[] = NOP_PROTOCOL " 200 OK\r\n\r\n";
static const char kResultReply[] = "TOVRA/1.0 200 OK\r\nResult: 1\r\n\r\n";

NOP_EXPORT int NOP_CALL load(void *block, long length) {
  (void)length;
  if (block) FreeBlock(block);
  return 1;
}

NOP_EXPORT int NOP_CALL unload(void) { return 1; }

NOP_EXPORT void *NOP_CALL request(void *block, long *length) {
  const int isVersion = block && *length >= 3 && memcmp(block, "GET", 3) == 0;
  const char *text = isVersion ? kVersionReply : kResultReply;
  const size_t count = isVersion ? sizeof kVersionReply - 1 : sizeof kResultReply - 1;
  void *reply = NewBlock(count + 1);
  if (block) FreeBlock(block);
  if (!reply) return NULL;
  memcpy(reply, text, count);
  *length = (long)count;
  return reply;
}
