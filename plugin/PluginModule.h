// PluginModule: one TOVRA/1.0 plug-in library, brought up on first use.
//
// Bring-up (Load, then OnAttach): bind "load", "unload" and "request" (each
// under its underscore name when the plain one is missing), call the
// plug-in's load entry with its directory, then ask for its version. Only
// the request entry is required. Once up, every call goes through Exchange.
// Unload calls the plug-in's unload entry, then frees the library.
//
// Every entry into the plug-in's code (loading and freeing its library, its
// load, request and unload entries) runs under a fault guard. An exception
// that leaves the plug-in unhandled ends only that call, as a failed call
// ends, and makes the module faulted: it sends that library nothing more
// until the host's unload.
//
// Where the plug-in runs: in this process, or in a surrogate process of its
// own (PluginSurrogate), which brings it up the same way and answers its
// requests with the same bytes. A plug-in runs in a surrogate when its file
// is a DLL of the other bitness, and, once it has faulted here, from its next
// call on for the rest of the module's life. A surrogate that ended while
// it waited is replaced before the next request goes out. A plug-in that a
// surrogate refused to bring up is not tried again, in a process of its own
// for every call, until its file changes or the host unloads.
#pragma once

#include <memory>
#include <string>

#include "framework/LibraryModule.h"
#include "plugin/PluginRequests.h"
#include "plugin/PluginSurrogate.h"
#include "platform/Platform.h"
#include "text/Text.h"

typedef BOOL(TOVRA_CDECL *PluginLoadFunction)(HGLOBAL block, BlockLength length);
typedef BOOL(TOVRA_CDECL *PluginUnloadFunction)();
typedef HGLOBAL(TOVRA_CDECL *PluginRequestFunction)(HGLOBAL block, BlockLength *length);

class PluginModule;

// Sees every step a module takes with its plug-in, as it happens. The
// library sets none; tovra-doctor sets one to show each step in words, so it
// shows what the library itself does.
class PluginObserver {
 public:
  virtual ~PluginObserver() = default;
  // The entry points are bound (any of them may be null).
  virtual void EntriesBound(const PluginModule &module) {}
  // The load entry was called with `directory` and returned `result`; or,
  // with `sent` false, no block could be had and it was not called.
  virtual void LoadCalled(const CText &directory, bool sent, int result) {}
  // A request text is about to be sent; `sent` false when no block could be
  // had for it, and nothing was sent.
  virtual void Sending(const char *text, size_t length, bool sent) {}
  // The request entry answered (`answered` false: it returned no block),
  // stating `stated` for a block of `blockSize` bytes; `text` is what the
  // module reads of the block.
  virtual void Answered(bool answered, BlockLength stated, size_t blockSize, const char *text, size_t length) {}
  // The unload entry was called and returned `result`.
  virtual void UnloadCalled(int result) {}
  // An exception left the plug-in's code unhandled at `step`; the guard
  // ended that call.
  virtual void Faulted(PluginStep step, const platform::GuardedFault &fault) {}
  // The plug-in is brought up in a surrogate, `program`: its file is a DLL
  // of another machine than this program's (`machine`), or it faulted here.
  virtual void GoesToSurrogate(const std::string &program, unsigned machine, bool faultedHere) {}
  // The surrogate brought the plug-in up, or refused it (the report says
  // why, with the loader's error, or the version reply).
  virtual void BroughtUpInSurrogate(const BringUpReport &report) {}
  // The surrogate failed at a step: it could not be started, it ended or
  // broke the channel, or its guard contained a fault of the plug-in.
  virtual void SurrogateFailed(const SurrogateFailure &failure) {}
};

class PluginModule : public CLibraryModule {
 public:
  // Brings the plug-in up where it runs: here, as CLibraryModule loads a
  // library, or in a surrogate. TRUE when it is up.
  BOOL Load(const char *path, DWORD flags) override;
  // Binds the entry points and brings the plug-in up; FALSE refuses it (no
  // request entry, or a version reply that is not TOVRA/1.0).
  BOOL OnAttach() override;
  // Calls the plug-in's unload entry, when it has one and its bring-up got as
  // far as its load call, just before the library is freed.
  int OnDetach() override;

  // Whether the plug-in is up and may be sent requests: here, or in its
  // surrogate.
  bool IsUp() const { return surrogate || (hModule && !faulted); }
  // What the host's unload does to the plug-in: its unload entry runs and
  // its library is freed, here and in its surrogate, which then ends; the
  // next call that names it brings it up afresh (in a surrogate, once it has
  // faulted here).
  void UnloadPlugin();
  // One request sent here, its answer copied out whatever it says: what a
  // surrogate does for the library. False when the module is not up here
  // or the plug-in faulted (see HasFaulted); an answer that says no block
  // came back when none could be sent.
  bool Relay(const char *text, size_t length, SurrogateAnswer *answer);
  // How the last bring-up ended: why Load returned FALSE.
  const BringUpReport &LastBringUp() const { return bringUp; }
  // Whether the plug-in's code faulted here, at LastFaultStep(), as
  // LastFault() describes.
  bool HasFaulted() const { return faulted; }
  PluginStep LastFaultStep() const { return faultStep; }
  const platform::GuardedFault &LastFault() const { return fault; }
  // The directory of the surrogate programs (the library's own); until it
  // is set, no plug-in is brought up in a surrogate.
  static void SetSurrogateDirectory(const std::string &directory);

  // Calls the load entry with the plug-in's directory in a new block that
  // becomes the plug-in's; 1 when there is no load entry. The directory is
  // the plug-in file's whole path cut just after its last '\'.
  int CallLoad();
  // TRUE when the version request is answered with a text that begins with
  // `expected`, ASCII letter case ignored.
  BOOL CheckVersion(const char *expected);
  // Sends one request of `length` bytes, which hold no zero byte; TRUE when
  // the answer begins with "TOVRA/1.0 200 OK\r\n" (ASCII letter case
  // ignored), its text then handed to `read(text, length)` where it lies,
  // before its block is freed. Inline, as it runs for every call in a text.
  template <typename Read>
  BOOL Exchange(const char *requestText, size_t length, Read read) {
    Answer answer;
    if (!SendText(requestText, length, PluginStep::kRequest, &answer)) return FALSE;
    if (!StartsWithNoCase(answer.text, answer.length, kAcceptedStatusLine, kAcceptedStatusLength)) return FALSE;
    read(answer.text, answer.length);
    return TRUE;
  }

  // The observer of every module's steps; null (the library's case) for none.
  static void SetObserver(PluginObserver *observer);

  PluginLoadFunction pfnLoad = nullptr;
  PluginUnloadFunction pfnUnload = nullptr;
  PluginRequestFunction pfnRequest = nullptr;

 protected:
  // The plug-in's library is loaded and freed under the guard: its entry
  // point runs there.
  HMODULE LoadLibraryFile(const char *path, DWORD flags) override;
  BOOL FreeLibraryFile(HMODULE module) override;

 private:
  // The plug-in's answer to one request, its text read where it lies (as
  // ReadGlobalText takes it); the block is freed with the answer, once. An
  // answer from a surrogate is a copy the answer holds.
  struct Answer {
    Answer() = default;
    Answer(const Answer &) = delete;
    Answer &operator=(const Answer &) = delete;
    ~Answer() {
      if (block) platform::FreeGlobalBlock(block);
    }
    HGLOBAL block = nullptr;
    BlockLength stated = 0;
    const char *text = "";
    size_t length = 0;
    SurrogateAnswer copied;
  };
  // One exchange of texts at `step`, here or in the surrogate: false when
  // the plug-in is not up, no block could be sent, the plug-in returned none
  // or it faulted, or its surrogate failed (and was ended).
  bool SendText(const char *text, size_t length, PluginStep step, Answer *answer);
  bool SendHere(const char *text, size_t length, PluginStep step, Answer *answer);
  bool SendToSurrogate(const char *text, size_t length, Answer *answer);
  // Brings the plug-in up in a new surrogate for plug-ins of
  // surrogateMachine, unless one refused it before and its file is the same.
  BOOL LoadInSurrogate();
  void EndSurrogate();
  // Runs `call`, which enters the plug-in's code, under the fault guard;
  // false when it faulted, and the module is then faulted.
  template <typename Call>
  bool Guarded(PluginStep step, Call &&call);
  template <typename Function>
  Function Bind(const char *name, const char *underscoreName);

  // The library here faulted: it gets no more calls.
  bool faulted = false;
  PluginStep faultStep = PluginStep::kRequest;
  platform::GuardedFault fault;
  // The plug-in faulted here once: from its next bring-up on it runs in a
  // surrogate, whatever its machine. Kept across the host's unload.
  bool faultedOnce = false;
  BringUpReport bringUp;
  std::unique_ptr<PluginSurrogate> surrogate;
  // What a surrogate brings up: the plug-in's path, and its machine.
  std::string surrogatePath;
  unsigned surrogateMachine = 0;
  // A surrogate refused the plug-in whose file had this stamp.
  bool refusedInSurrogate = false;
  uint64_t refusedStamp = 0;
};
