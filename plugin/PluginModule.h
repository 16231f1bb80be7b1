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
// ends, and makes the module faulted: it sends the plug-in nothing more until
// the host's unload.
#pragma once

#include "framework/LibraryModule.h"
#include "plugin/PluginRequests.h"
#include "platform/Platform.h"
#include "text/Text.h"

typedef BOOL(TOVRA_CDECL *PluginLoadFunction)(HGLOBAL block, BlockLength length);
typedef BOOL(TOVRA_CDECL *PluginUnloadFunction)();
typedef HGLOBAL(TOVRA_CDECL *PluginRequestFunction)(HGLOBAL block, BlockLength *length);

class PluginModule;

// The steps at which the library enters a plug-in's code.
enum class PluginStep { kLibraryLoad, kLoadCall, kVersion, kRequest, kUnloadCall, kLibraryFree };

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
  // The request entry returned `block` (null: no answer), with the length it
  // stated; `text` is what the module reads of the block.
  virtual void Answered(HGLOBAL block, BlockLength stated, const char *text, size_t length) {}
  // The unload entry was called and returned `result`.
  virtual void UnloadCalled(int result) {}
  // An exception left the plug-in's code unhandled at `step`; the guard
  // ended that call.
  virtual void Faulted(PluginStep step, const platform::GuardedFault &fault) {}
};

class PluginModule : public CLibraryModule {
 public:
  // Binds the entry points and brings the plug-in up; FALSE refuses it (no
  // request entry, or a version reply that is not TOVRA/1.0).
  BOOL OnAttach() override;
  // Calls the plug-in's unload entry, when it has one and its bring-up got as
  // far as its load call, just before the library is freed.
  int OnDetach() override;

  // What the host's unload does to the plug-in: its unload entry runs and its
  // library is freed, and a plug-in that faulted may be brought up afresh by
  // the next call that names it.
  void UnloadPlugin();
  // An exception left the plug-in's code unhandled: until UnloadPlugin it is
  // neither brought up again nor sent anything.
  bool IsFaulted() const { return faulted; }

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
  // ReadGlobalText takes it); the block is freed with the answer, once.
  struct Answer {
    Answer() = default;
    Answer(const Answer &) = delete;
    Answer &operator=(const Answer &) = delete;
    ~Answer() {
      if (block) platform::FreeGlobalBlock(block);
    }
    HGLOBAL block = nullptr;
    const char *text = "";
    size_t length = 0;
  };
  // One exchange of texts at `step`: false when the module is faulted, no
  // block could be sent, the plug-in returned none or it faulted.
  bool SendText(const char *text, size_t length, PluginStep step, Answer *answer);
  // Runs `call`, which enters the plug-in's code, under the fault guard;
  // false when it faulted, and the module is then faulted.
  template <typename Call>
  bool Guarded(PluginStep step, Call &&call);
  template <typename Function>
  Function Bind(const char *name, const char *underscoreName);

  bool faulted = false;
};
