// A TOVRA/1.0 plug-in for the tests, built once per behaviour: the macros
// below choose its exports, its load result, its version reply and its
// EXECUTE reply. Everything it receives goes to the recorder.
//
// A good EXECUTE reply carries Result: {arg0|arg1|...}.
#include <cstdlib>
#include <cstring>
#include <string>

#include "Recorder.h"

#ifdef _WIN32
#include <windows.h>
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
static HGLOBAL NewBlock(size_t size) { return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size); }
static size_t BlockSize(HGLOBAL block) { return block ? GlobalSize(block) : 0; }
static void FreeBlock(HGLOBAL block) { GlobalFree(block); }
#else
#include <malloc.h>
typedef void *HGLOBAL;
#define __cdecl
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
static HGLOBAL NewBlock(size_t size) { return calloc(size ? size : 1, 1); }
static size_t BlockSize(HGLOBAL block) { return block ? malloc_usable_size(block) : 0; }
static void FreeBlock(HGLOBAL block) { free(block); }
#endif

#ifndef PLUGIN_NAME
#error PLUGIN_NAME must name the plug-in
#endif
#ifndef LOAD_RESULT
#define LOAD_RESULT 1
#endif
#ifndef VERSION_MODE
#define VERSION_MODE VERSION_RIGHT
#endif
#ifndef EXECUTE_MODE
#define EXECUTE_MODE EXECUTE_RIGHT
#endif

enum VersionMode { VERSION_RIGHT, VERSION_LOWER, VERSION_400, VERSION_11, VERSION_SHORT, VERSION_NULL, VERSION_CUT };
enum ExecuteMode {
  EXECUTE_RIGHT, EXECUTE_LOWER, EXECUTE_204, EXECUTE_NO_LINE_END, EXECUTE_LONGER_REASON, EXECUTE_NO_RESULT,
  EXECUTE_TWO_RESULTS, EXECUTE_NULL, EXECUTE_ZERO_INSIDE, EXECUTE_NO_TERMINATOR, EXECUTE_NEGATIVE_LENGTH,
  EXECUTE_LENGTH_BEYOND_BLOCK, EXECUTE_LONE_LEAD, EXECUTE_SCRIPTED
};

namespace {

// What the request block held, bounded by its stated length and real size.
std::string Receive(const char *kind, HGLOBAL block, long stated) {
  size_t size = BlockSize(block);
  size_t count = stated < 0 ? 0 : static_cast<size_t>(stated) < size ? static_cast<size_t>(stated) : size;
  std::string text(static_cast<const char *>(block), count);
  RecordEvent(PLUGIN_NAME, kind, text.data(), static_cast<long>(text.size()), stated, static_cast<long>(size));
  FreeBlock(block);  // handed over: the block is the plug-in's now
  return text;
}

// "{a|b}" for the ArgumentN lines of a request, in their order.
std::string JoinArguments(const std::string &request) {
  std::string result = "{";
  bool first = true;
  size_t start = 0;
  while (start < request.size()) {
    size_t end = request.find("\r\n", start);
    if (end == std::string::npos) end = request.size();
    std::string line = request.substr(start, end - start);
    size_t colon = line.find(": ");
    if (line.compare(0, 8, "Argument") == 0 && colon != std::string::npos) {
      if (!first) result += "|";
      result += line.substr(colon + 2);
      first = false;
    }
    start = end + 2;
  }
  return result + "}";
}

HGLOBAL Reply(const std::string &text, long *length, size_t extraBytes = 1) {
  HGLOBAL block = NewBlock(text.size() + extraBytes);
  if (!block) return nullptr;
  std::memcpy(block, text.data(), text.size());
  *length = static_cast<long>(text.size());
  RecordReplyBlock(block);
  return block;
}

HGLOBAL AnswerVersion(long *length) {
  switch (VERSION_MODE) {
    case VERSION_LOWER: return Reply("tovra/1.0 200 ok\r\n\r\n", length);
    case VERSION_400: return Reply("TOVRA/1.0 400 Bad Request\r\n\r\n", length);
    case VERSION_11: return Reply("TOVRA/1.1 200 OK\r\n\r\n", length);
    case VERSION_SHORT: return Reply("TOVRA/1.", length);
    case VERSION_NULL: return nullptr;
    // A whole reply in the block, its stated length cut inside the token.
    case VERSION_CUT: {
      HGLOBAL block = Reply("TOVRA/1.0 200 OK\r\n\r\n", length);
      *length = 8;
      return block;
    }
    default: return Reply("TOVRA/1.0 200 OK\r\n\r\n", length);
  }
}

// The reply that the call's first argument spells, '~' for CR and '`' for
// LF, with the length stated as the offset of its '|' (which is left out).
// The bytes after that end stay in the block.
HGLOBAL ScriptedReply(const std::string &request, long *length) {
  const std::string head = "\r\nArgument0: ";
  size_t start = request.find(head);
  if (start == std::string::npos) return nullptr;
  start += head.size();
  std::string text = request.substr(start, request.find("\r\n", start) - start);
  const size_t stated = text.find('|');
  if (stated != std::string::npos) text.erase(stated, 1);
  for (char &c : text) c = c == '~' ? '\r' : c == '`' ? '\n' : c;
  HGLOBAL block = Reply(text, length);
  if (stated != std::string::npos) *length = static_cast<long>(stated);
  return block;
}

HGLOBAL AnswerExecute(const std::string &request, long *length) {
  const std::string result = JoinArguments(request);
  switch (EXECUTE_MODE) {
    case EXECUTE_LOWER: return Reply("tovra/1.0 200 ok\r\nresult: " + result + "\r\n\r\n", length);
    case EXECUTE_204: return Reply("TOVRA/1.0 204 No Content\r\nResult: " + result + "\r\n\r\n", length);
    case EXECUTE_NO_LINE_END: return Reply("TOVRA/1.0 200 OK", length);
    case EXECUTE_LONGER_REASON: return Reply("TOVRA/1.0 200 OK fine\r\nResult: " + result + "\r\n\r\n", length);
    case EXECUTE_NO_RESULT: return Reply("TOVRA/1.0 200 OK\r\nValue: " + result + "\r\n\r\n", length);
    case EXECUTE_TWO_RESULTS: return Reply("TOVRA/1.0 200 OK\r\n\r\nResult: a\r\nResult: b\r\n\r\n", length);
    case EXECUTE_NULL: return nullptr;
    case EXECUTE_ZERO_INSIDE: {
      std::string text = "TOVRA/1.0 200 OK\r\nResult: abc";
      text += '\0';
      text += "def\r\n\r\n";
      return Reply(text, length);
    }
    case EXECUTE_NO_TERMINATOR: return Reply("TOVRA/1.0 200 OK\r\nResult: " + result, length, 0);
    case EXECUTE_NEGATIVE_LENGTH: {
      HGLOBAL block = Reply("TOVRA/1.0 200 OK\r\nResult: " + result + "\r\n\r\n", length);
      *length = -1;
      return block;
    }
    case EXECUTE_LENGTH_BEYOND_BLOCK: {
      HGLOBAL block = Reply("TOVRA/1.0 200 OK\r\nResult: " + result + "\r\n\r\n", length, 0);
      *length = 1 << 30;
      return block;
    }
    // A Result that ends in a lone lead byte, followed by a header line of
    // the plug-in's choosing.
    case EXECUTE_LONE_LEAD: return Reply("TOVRA/1.0 200 OK\r\nResult: x\x83\r\nCharset: UTF-8\r\n\r\n", length);
    case EXECUTE_SCRIPTED: return ScriptedReply(request, length);
    default: return Reply("TOVRA/1.0 200 OK\r\nResult: " + result + "\r\n\r\n", length);
  }
}

[[maybe_unused]] HGLOBAL Answer(const char *kind, HGLOBAL block, long *length) {
  const std::string request = Receive(kind, block, *length);
  if (request.compare(0, 4, "GET ") == 0) return AnswerVersion(length);
  return AnswerExecute(request, length);
}

#if RECORD_ATTACH
// Each time the library is mapped into the process anew.
struct AttachRecord {
  AttachRecord() { RecordEvent(PLUGIN_NAME, "attached", nullptr, 0, 0, 0); }
} attachRecord;
#endif

}  // namespace

#if HAS_LOAD
PLUGIN_EXPORT int __cdecl load(HGLOBAL block, long length) {
  Receive("load", block, length);
  return LOAD_RESULT;
}
#endif
#if HAS_UNDERSCORE_LOAD
PLUGIN_EXPORT int __cdecl _load(HGLOBAL block, long length) {
  Receive("_load", block, length);
  return LOAD_RESULT;
}
#endif
#if HAS_UNLOAD
PLUGIN_EXPORT int __cdecl unload() {
  RecordEvent(PLUGIN_NAME, "unload", nullptr, 0, 0, 0);
  return 1;
}
#endif
#if HAS_UNDERSCORE_UNLOAD
PLUGIN_EXPORT int __cdecl _unload() {
  RecordEvent(PLUGIN_NAME, "_unload", nullptr, 0, 0, 0);
  return 1;
}
#endif
#if HAS_REQUEST
PLUGIN_EXPORT HGLOBAL __cdecl request(HGLOBAL block, long *length) {
  return Answer("request", block, length);
}
#endif
#if HAS_UNDERSCORE_REQUEST
PLUGIN_EXPORT HGLOBAL __cdecl _request(HGLOBAL block, long *length) {
  return Answer("_request", block, length);
}
#endif
