// A TOVRA/1.0 plug-in whose state shows from outside the process: each
// EXECUTE answers with the number of calls since its load, and its load and
// unload say so on stderr. A plug-in that stays loaded counts 1, 2, 3; one
// loaded anew for every call answers 1 each time.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
static HGLOBAL NewBlock(size_t size) { return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size); }
static void FreeBlock(HGLOBAL block) { GlobalFree(block); }
static void Tell(const std::string &text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
#else
#include <unistd.h>
typedef void *HGLOBAL;
#define __cdecl
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
static HGLOBAL NewBlock(size_t size) { return calloc(size, 1); }
static void FreeBlock(HGLOBAL block) { free(block); }
static void Tell(const std::string &text) {
  ssize_t written = write(2, text.data(), text.size());
  (void)written;
}
#endif

static int calls = 0;

static HGLOBAL Reply(const std::string &text, long *length) {
  HGLOBAL block = NewBlock(text.size() + 1);
  if (block) std::memcpy(block, text.data(), text.size());
  *length = static_cast<long>(text.size());
  return block;
}

PLUGIN_EXPORT int __cdecl load(HGLOBAL block, long) {
  FreeBlock(block);
  calls = 0;
  Tell("counter: load\n");
  return 1;
}

PLUGIN_EXPORT int __cdecl unload() {
  Tell("counter: unload after " + std::to_string(calls) + " calls\n");
  return 1;
}

PLUGIN_EXPORT HGLOBAL __cdecl request(HGLOBAL block, long *length) {
  const bool version = *length >= 4 && std::memcmp(block, "GET ", 4) == 0;
  FreeBlock(block);
  if (version) return Reply("TOVRA/1.0 200 OK\r\n\r\n", length);
  return Reply("TOVRA/1.0 200 OK\r\nResult: " + std::to_string(++calls) + "\r\n\r\n", length);
}
