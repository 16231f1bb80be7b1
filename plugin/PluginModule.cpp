#include "plugin/PluginModule.h"

#include <cstring>

#include "text/GlobalText.h"
#include "plugin/PluginPaths.h"
#include "plugin/PluginRequests.h"
#include "text/TextSearch.h"

static PluginObserver *observer = nullptr;

void PluginModule::SetObserver(PluginObserver *newObserver) {
  observer = newObserver;
}

template <typename Function>
Function PluginModule::Bind(const char *name, const char *underscoreName) {
  void *entry = GetProcAddress(name);
  if (!entry) entry = GetProcAddress(underscoreName);
  return reinterpret_cast<Function>(entry);
}

BOOL PluginModule::OnAttach() {
  pfnLoad = Bind<PluginLoadFunction>("load", "_load");
  pfnUnload = Bind<PluginUnloadFunction>("unload", "_unload");
  pfnRequest = Bind<PluginRequestFunction>("request", "_request");
  if (observer) observer->EntriesBound(*this);
  if (!pfnRequest) {
    // Nothing of the plug-in has run, so it is not told to unload either.
    pfnLoad = nullptr;
    pfnUnload = nullptr;
    return FALSE;
  }
  CallLoad();  // a plug-in whose load reports failure is still brought up
  return CheckVersion(kProtocolToken);
}

int PluginModule::OnDetach() {
  PluginUnloadFunction unloadEntry = pfnUnload;
  pfnLoad = nullptr;
  pfnUnload = nullptr;
  pfnRequest = nullptr;
  if (unloadEntry) {
    const int result = unloadEntry();
    if (observer) observer->UnloadCalled(result);
  }
  return 0;
}

int PluginModule::CallLoad() {
  if (!pfnLoad) return 1;
  CText directory = GetDirectoryPart(GetModuleFileName());
  BlockLength length = 0;
  HGLOBAL block = CopyTextToGlobal(directory, &length);
  // Without a block there is nothing to hand over; the plug-in is brought up
  // without its load call, as one that has no load entry.
  if (!block) {
    if (observer) observer->LoadCalled(directory, false, 1);
    return 1;
  }
  const int result = pfnLoad(block, length);
  if (observer) observer->LoadCalled(directory, true, result);
  return result;
}

// Inlined into both exchanges: it runs once for every call in a text.
__attribute__((always_inline)) inline bool PluginModule::SendText(const char *text, size_t count, AnswerReader read,
                                                              void *reader) {
  BlockLength length = 0;
  HGLOBAL block = CopyTextToGlobal(text, count, &length);
  if (observer) observer->Sending(text, count, block != nullptr);
  if (!block) return false;  // the block, had it been sent, is the plug-in's
  HGLOBAL answer = pfnRequest(block, &length);
  if (!answer) {
    if (observer) observer->Answered(nullptr, length, "", 0);
    return false;
  }
  struct FreeOnExit {
    HGLOBAL block;
    ~FreeOnExit() { platform::FreeGlobalBlock(block); }
  } freeAnswer{answer};
  const char *answerText = static_cast<const char *>(answer);
  const size_t answerLength = GlobalTextLength(answer, length);
  if (observer) observer->Answered(answer, length, answerText, answerLength);
  read(reader, answerText, answerLength);
  return true;
}

BOOL PluginModule::CheckVersion(const char *expected) {
  CText reply;
  const AnswerReader keep = [](void *reader, const char *text, size_t length) {
    *static_cast<CText *>(reader) = CText(text, length);
  };
  if (!SendText(kVersionRequest, std::strlen(kVersionRequest), keep, &reply)) return FALSE;
  return CompareNoCaseN(reply.c_str(), expected, std::strlen(expected)) == 0;
}

BOOL PluginModule::ExchangeWith(const char *requestText, size_t length, AnswerReader read, void *reader) {
  struct Accepted {
    AnswerReader read;
    void *reader;
    bool accepted;
  } accepted{read, reader, false};
  const AnswerReader check = [](void *context, const char *text, size_t count) {
    Accepted *state = static_cast<Accepted *>(context);
    state->accepted = StartsWithNoCase(text, count, kAcceptedStatusLine, kAcceptedStatusLength);
    if (state->accepted) state->read(state->reader, text, count);
  };
  return SendText(requestText, length, check, &accepted) && accepted.accepted;
}

