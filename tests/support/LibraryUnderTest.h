// Loads the built tovracaller library from the test directory (the test
// program's, or the bridge's), as a host would, and hands out its three
// exports plus block helpers.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "support/ImportPatch.h"
#include "support/TestLibraries.h"

// Every block the library under test freed, in order. Under Wine the
// library's import of GlobalFree is redirected here; natively the test
// build's seam inside the library reports each free here.
inline std::vector<HGLOBAL> &BlocksFreedByLibrary() {
  static std::vector<HGLOBAL> blocks;
  return blocks;
}

inline int TimesFreedByLibrary(HGLOBAL block) {
  const std::vector<HGLOBAL> &blocks = BlocksFreedByLibrary();
  return static_cast<int>(std::count(blocks.begin(), blocks.end(), block));
}

// Called for each block the library frees, and for each block MakeBlock
// makes, when set.
inline void (*&FreeObserver())(void *) {
  static void (*observer)(void *) = nullptr;
  return observer;
}
inline void (*&AllocationObserver())(void *) {
  static void (*observer)(void *) = nullptr;
  return observer;
}

inline void LogFreedBlock(void *block) {
  BlocksFreedByLibrary().push_back(block);
  if (FreeObserver()) FreeObserver()(block);
}

#ifdef _WIN32
inline HGLOBAL WINAPI LoggingGlobalFree(HGLOBAL block) {
  LogFreedBlock(block);
  return ::GlobalFree(block);
}
#endif

// A fixed, zero-filled global block holding `text` and a zero byte.
inline HGLOBAL MakeBlock(const std::string &text) {
  HGLOBAL block = platform::AllocGlobalBlock(text.size() + 1);
  std::memcpy(block, text.data(), text.size());
  if (AllocationObserver()) AllocationObserver()(block);
  return block;
}

inline std::string RequestFor(const std::string &text) {
  return "EXECUTE VORDEL/2.0\r\nString: " + text + "\r\n\r\n";
}

class LibraryUnderTest {
 public:
  typedef BOOL(TOVRA_CDECL *LoadFunction)(HGLOBAL, BlockLength);
  typedef HGLOBAL(TOVRA_CDECL *RequestFunction)(HGLOBAL, BlockLength *);
  typedef BOOL(TOVRA_CDECL *UnloadFunction)();

  explicit LibraryUnderTest(const std::string &path = DefaultPath()) {
    module = platform::LoadDynamicLibrary(path.c_str(), 0);
    if (!module) return;
    load = reinterpret_cast<LoadFunction>(platform::GetLibraryProcAddress(module, "load"));
    request = reinterpret_cast<RequestFunction>(platform::GetLibraryProcAddress(module, "request"));
    unload = reinterpret_cast<UnloadFunction>(platform::GetLibraryProcAddress(module, "unload"));
#ifdef _WIN32
    PatchImport(module, "kernel32.dll", "GlobalFree", reinterpret_cast<void *>(&LoggingGlobalFree));
#else
    typedef void (*FreeObserverFunction)(void *);
    if (auto observer = static_cast<FreeObserverFunction *>(
            platform::GetLibraryProcAddress(module, "tovra_global_free_observer")))
      *observer = &LogFreedBlock;
#endif
  }
  LibraryUnderTest(const LibraryUnderTest &) = delete;
  LibraryUnderTest &operator=(const LibraryUnderTest &) = delete;
  ~LibraryUnderTest() {
    if (module) platform::FreeDynamicLibrary(module);
  }

  bool IsLoaded() const { return module && load && request && unload; }

  // Sends one whole request in a new block and returns the reply's text,
  // freeing the reply block; "<no reply>" when request returned null.
  std::string Send(const std::string &requestText) {
    HGLOBAL block = MakeBlock(requestText);
    BlockLength length = static_cast<BlockLength>(requestText.size());
    HGLOBAL reply = request(block, &length);
    if (!reply) return "<no reply>";
    std::string replyText(static_cast<const char *>(reply), static_cast<size_t>(length));
    platform::FreeGlobalBlock(reply);
    if (replyText == "VORDEL/2.0 400 Bad Request\r\n\r\n") platform::FreeGlobalBlock(block);
    return replyText;
  }
  // The expanded String text of one request; a reply other than a 200 reply
  // comes back marked as such.
  std::string Expand(const std::string &text) {
    const std::string replyText = Send(RequestFor(text));
    const std::string head = "VORDEL/2.0 200 OK\r\nString: ", tail = "\r\nCharset: Shift_JIS\r\n\r\n";
    if (replyText.compare(0, head.size(), head) != 0 || replyText.size() < head.size() + tail.size() ||
        replyText.compare(replyText.size() - tail.size(), tail.size(), tail) != 0)
      return "<not a 200 reply: " + replyText + ">";
    return replyText.substr(head.size(), replyText.size() - head.size() - tail.size());
  }
  HMODULE Module() const { return module; }

  static std::string Directory() { return TestDirectory(); }
  static std::string DefaultPath() {
#ifdef _WIN32
    return Directory() + "tovracaller.dll";
#else
    return Directory() + "tovracaller.so";
#endif
  }

  LoadFunction load = nullptr;
  RequestFunction request = nullptr;
  UnloadFunction unload = nullptr;

 private:
  HMODULE module = nullptr;
};

// Whether the library freed a block exactly once.
inline bool FreedOnceByLibrary(HGLOBAL block) {
  return TimesFreedByLibrary(block) == 1;
}


inline std::string OkReply(const std::string &text) {
  return "VORDEL/2.0 200 OK\r\nString: " + text + "\r\nCharset: Shift_JIS\r\n\r\n";
}

const char kBadRequest[] = "VORDEL/2.0 400 Bad Request\r\n\r\n";

