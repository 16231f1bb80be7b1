// The thin seam between the request path and the operating system: global
// memory blocks, the process heap, dynamic libraries and their file names.
// Win32 and POSIX implementations live beside this header; everything above
// it (text, host, plug-in, module base, application core) is portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

#ifdef _WIN32
#include <windows.h>
#else
typedef int BOOL;
typedef unsigned long DWORD;
typedef void *HANDLE;
typedef void *HGLOBAL;
typedef void *HMODULE;
typedef HMODULE HINSTANCE;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif

// The signed length that travels with a text block: 32 bits on Windows, and
// `long` natively too, so plug-ins declare it the same way on both.
typedef long BlockLength;

// Exported entry points and plug-in entry points use the C calling convention
// in which the caller removes the arguments.
#ifdef _WIN32
#define TOVRA_CDECL __cdecl
#else
#define TOVRA_CDECL
#endif

namespace platform {

// Global memory blocks: fixed and zero-filled, so a block's handle is the
// address of its first byte. Null when the block cannot be had.
HGLOBAL AllocGlobalBlock(size_t bytes);
// Returns the block to the global allocator; a null handle is ignored.
void FreeGlobalBlock(HGLOBAL block);
// The real size of a block in bytes, 0 for a null handle or a handle that is
// not a live block of the global allocator.
size_t GlobalBlockSize(HGLOBAL block);

// Zero-filled blocks from the process heap; null when none can be had.
void *ProcessHeapAllocate(size_t bytes);
BOOL ProcessHeapRelease(void *block);

// Dynamic libraries. Paths use '\' as their separator on every platform: the
// POSIX implementation turns them into '/' paths and back, and applies the
// Windows loader's rules for a name without extension (".so" is added) and
// for letter case (a file that differs only in ASCII letter case is found).
HMODULE LoadDynamicLibrary(const char *path, DWORD flags);
// The file the loader opens for `path`: the default extension (".dll",
// natively ".so") added to a file name without one, a trailing dot dropped,
// and natively every segment matched without regard to ASCII letter case.
// Natively the result uses '/' separators, as the C library wants them.
std::string GetLibraryFilePath(const char *path);
BOOL FreeDynamicLibrary(HMODULE module);
// Why the last LoadDynamicLibrary on this thread failed: the system's error
// code (natively 0).
uint32_t GetLoaderError();
// A value that changes when the file at `path` (as GetLibraryFilePath gives
// it) is replaced or written: made of its identity, size and time of last
// writing. 0 when there is no such file.
uint64_t GetFileStamp(const std::string &path);
// The stamp of a file's fields, as each system's GetFileStamp reads them:
// mixed field by field, so that a file put in its place, or written,
// differs. Never 0.
inline uint64_t FileStampOf(std::initializer_list<uint64_t> fields) {
  uint64_t stamp = 14695981039346656037ull;
  for (uint64_t field : fields) stamp = (stamp ^ field) * 1099511628211ull;
  return stamp ? stamp : 1;
}
void *GetLibraryProcAddress(HMODULE module, const char *name);
// The whole path of a loaded module's file, however long; empty on failure.
std::string GetModuleFilePath(HMODULE module);
// The module handle of the process's executable.
HMODULE GetExecutableModule();
// The module handle of the library (or executable) that holds this code.
HMODULE GetCurrentModule();
// The loaded module whose image holds `address`, with the address's offset
// from the module's start; null when no module holds it.
HMODULE GetModuleAt(const void *address, uintptr_t *offset);
// Whether `address` lies in memory that holds code.
bool IsCodeAddress(const void *address);

// An exception that left guarded code unhandled: its code (0xC0000005 for an
// access violation, ...), where it was raised, and its first two parameters
// (an access violation's read/write/execute flag and address). `stack` holds
// where the frames that led to it return to, innermost first: on 64-bit
// Windows read from the unwind tables; on 32-bit Windows the return address
// that the raising frame's EBP points to, then the words at the top of the
// stack, among which those addresses lie. An exception raised through
// the system's RaiseException is raised inside the system, so its caller is
// found there.
struct GuardedFault {
  static const unsigned kStackWords = 32;
  DWORD code = 0;
  void *address = nullptr;
  uintptr_t parameters[2] = {0, 0};
  unsigned parameterCount = 0;
  uintptr_t stack[kStackWords] = {};
  unsigned stackCount = 0;
};

// Calls `call(context)` and returns true when it returns. When an exception
// leaves it unhandled, the frames it left are unwound, the fault is described
// in `*fault`, a thread stack that overflowed gets its guard page back, and
// the result is false. Only exceptions that no frame inside the call handles
// come here, and nothing acts on an exception before those frames are asked,
// so code that handles its own exceptions behaves as it does unguarded.
// Natively the call runs directly: there the sanitizers own the signals.
bool CallGuarded(void (*call)(void *context), void *context, GuardedFault *fault);

// The same for any callable object: CallGuarded([&] { ... }, &fault).
template <typename Call>
bool CallGuarded(Call &&call, GuardedFault *fault) {
  typedef typename std::remove_reference<Call>::type Function;
  return CallGuarded([](void *context) { (*static_cast<Function *>(context))(); }, static_cast<void *>(&call),
                     fault);
}

// Where a message reader takes its bytes from and a writer puts them: a
// Channel, or any other stream of bytes.
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Sends all `length` bytes; false when the stream is broken.
  virtual bool Send(const void *bytes, size_t length) = 0;
  // Receives at least one and at most `capacity` bytes; 0 when the stream is
  // broken or has ended.
  virtual size_t Receive(void *buffer, size_t capacity) = 0;
};

// A private two-way byte channel between a program and a child program it
// started: one pipe, whose far end goes to that child alone. The child also
// gets a handle of its parent, and ends when the parent ends; where the
// system allows it, a kill-on-close job object ends it as well. In the
// parent every wait for the child's bytes also watches the child's process,
// so a child that has ended is seen at once, whoever else holds its end of
// the pipe. Nothing has a name that another process could open.
//
//   platform::Channel channel;                      // in the parent
//   channel.StartChild("C:\\dir\\child.exe");
//   channel.Send(bytes, count);
//   channel.Receive(buffer, capacity);              // 0: the child is gone
//   channel.Close(2000);                            // waits 2 s, then ends it
//
//   platform::Channel channel;                      // in the child
//   channel.ConnectToParent(::GetCommandLineA());
//
// Natively there are no children: a plug-in never needs one there.
class Channel : public ByteStream {
 public:
  Channel() = default;
  Channel(const Channel &) = delete;
  Channel &operator=(const Channel &) = delete;
  ~Channel() override { Close(0); }

  // Starts `program`, a full path that is never looked for along a search
  // path, and connects to it. The child inherits the channel's far end and
  // the handle of this process, and nothing else; it has no standard
  // handles. False when it cannot be started.
  bool StartChild(const char *program);
  // In a child started by StartChild: the channel to the parent named on its
  // command line. From here on the child ends when the parent ends; its
  // channel handles are kept from the programs it starts in turn.
  bool ConnectToParent(const char *commandLine);

  bool Send(const void *bytes, size_t length) override;
  // In the parent, 0 too once the child has ended and every byte it wrote
  // before has been received.
  size_t Receive(void *buffer, size_t capacity) override;
  // Closes the channel, which a child still running reads as its end of
  // input. In the parent: waits up to `patience` milliseconds for the child
  // to end by itself, then ends it.
  void Close(unsigned long patience);
  // The child's process id while it runs (0 when there is none).
  unsigned long ChildId() const;
  // The child's exit code once it has ended; false while it runs, or when
  // there was none.
  bool ChildExitCode(unsigned long *code) const;

 private:
#ifdef _WIN32
  // One read or write on the parent's end, waited for together with the
  // child's end.
  size_t Transfer(bool reading, void *bytes, DWORD count);
  HANDLE pipe = nullptr;
  HANDLE ioDone = nullptr;  // the parent's event for its overlapped transfers
  HANDLE child = nullptr;
  unsigned long childId = 0;
  bool hasExited = false;
  unsigned long exitCode = 0;
#endif
};

// Lets the process `processId` take the foreground from this one, as the
// foreground process itself could: a dialog a surrogate opens for the host
// then comes to the front. Natively there is nothing to do.
void AllowForeground(unsigned long processId);

}  // namespace platform
