// What the benchmarks run, shared by every harness (Google Benchmark, the
// callgrind counter and the Windows timer): the request texts, the library
// loaded the way a host loads it, the least work any implementation must do
// for a request, and plug-in exchanges made directly.
//
// Measured operations work on batches prepared beforehand, so that making
// the host's blocks and freeing the replies stay outside the measurement:
//
//   RequestBatch batch(workload, 16);   // 16 request blocks, not measured
//   batch.RunThroughLibrary(library);   // measured
//   batch.Finish();                     // checks and frees, not measured
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace bench {

typedef BOOL(TOVRA_CDECL *LoadFunction)(HGLOBAL, BlockLength);
typedef HGLOBAL(TOVRA_CDECL *RequestFunction)(HGLOBAL, BlockLength *);
typedef BOOL(TOVRA_CDECL *UnloadFunction)();

// The name calls use for the trivial plug-in, and what it answers.
extern const char kPluginName[];
extern const char kPluginResult[];

// One host request and what the library must answer to it.
struct Workload {
  std::string request;   // the whole VORDEL/2.0 request text
  size_t valueOffset;    // where the String value starts in it
  size_t valueLength;    // the String value's length
  std::string reply;     // the 200 reply the library must give
  size_t calls;          // plug-in calls in the String value
};

// A String value of exactly `size` bytes: filler words and, when `callEvery`
// is not 0, one call of the trivial plug-in in every `callEvery` bytes.
Workload MakeWorkload(size_t size, size_t callEvery);
// A String value made of `calls` calls of the trivial plug-in side by side.
Workload MakeCallsWorkload(size_t calls);

// The tovracaller library, loaded from the program's own directory with the
// platform's loader, as a host loads it; load is called once, unload at the
// end.
class HostLibrary {
 public:
  HostLibrary();
  HostLibrary(const HostLibrary &) = delete;
  HostLibrary &operator=(const HostLibrary &) = delete;
  ~HostLibrary();

  bool IsLoaded() const { return module && request; }
  const std::string &Path() const { return path; }
  RequestFunction request = nullptr;

 private:
  std::string path;
  HMODULE module = nullptr;
  UnloadFunction unload = nullptr;
};

// What a direct exchange puts around each call of the request entry.
enum class Around {
  kNothing,
  kFloatingPointState,  // the caller's floating-point state saved and put back
  kFaultGuard,          // the fault guard, which keeps that state too, as the library calls it
};

// The trivial plug-in, loaded directly by its file beside the program.
class DirectPlugin {
 public:
  DirectPlugin();
  DirectPlugin(const DirectPlugin &) = delete;
  DirectPlugin &operator=(const DirectPlugin &) = delete;
  ~DirectPlugin();

  bool IsLoaded() const { return module && request; }
  // Sends `count` EXECUTE requests with the argument "1" as a caller that
  // talks to the plug-in itself would: build the text, copy it into a block,
  // call the request entry, copy the reply out and free its block. Returns
  // how many replies came back; `around` each call of the request entry.
  size_t Exchange(size_t count, Around around = Around::kNothing) const;

 private:
  HMODULE module = nullptr;
  RequestFunction request = nullptr;
};

// True when both are loaded; otherwise says so on stderr for `program`.
bool ReportLoaded(const char *program, const HostLibrary &library, const DirectPlugin &plugin);

// `count` copies of one request, each in its own host block.
class RequestBatch {
 public:
  RequestBatch(const Workload &workload, size_t count);
  RequestBatch(const RequestBatch &) = delete;
  RequestBatch &operator=(const RequestBatch &) = delete;
  ~RequestBatch();

  // Makes the request blocks (again).
  void Prepare();
  // Every request through the library's request entry.
  void RunThroughLibrary(const HostLibrary &library);
  // The least any implementation must do for each request: copy the text
  // out of the host's block, free that block (it was handed over), and
  // allocate and fill the reply block with the whole 200 reply. It knows
  // where the value is and searches nothing.
  void RunLowerBound();
  // Checks every reply against the expected 200 reply and frees all blocks;
  // false when a reply was missing or wrong.
  bool Finish();
  size_t Count() const { return requests.size(); }

 private:
  const Workload &workload;
  std::vector<HGLOBAL> requests;
  std::vector<BlockLength> lengths;
  std::vector<HGLOBAL> replies;
  bool throughLibrary = false;  // the replies came from the library
};

// Keeps the compiler from dropping work whose result is not otherwise used.
inline void Escape(const void *pointer) {
#if defined(__GNUC__) || defined(__clang__)
  __asm__ __volatile__("" : : "g"(pointer) : "memory");
#else
  static const void *volatile sink;
  sink = pointer;
#endif
}

}  // namespace bench
