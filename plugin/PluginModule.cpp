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

template <typename Call>
bool PluginModule::Guarded(PluginStep step, Call &&call) {
  platform::GuardedFault fault;
  if (platform::CallGuarded(call, &fault)) return true;
  faulted = true;
  if (observer) observer->Faulted(step, fault);
  return false;
}

HMODULE PluginModule::LoadLibraryFile(const char *path, DWORD flags) {
  HMODULE module = nullptr;
  Guarded(PluginStep::kLibraryLoad, [&] { module = platform::LoadDynamicLibrary(path, flags); });
  return module;
}

BOOL PluginModule::FreeLibraryFile(HMODULE module) {
  BOOL freed = FALSE;
  Guarded(PluginStep::kLibraryFree, [&] { freed = platform::FreeDynamicLibrary(module); });
  return freed;
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
  return !faulted && CheckVersion(kProtocolToken);
}

int PluginModule::OnDetach() {
  PluginUnloadFunction unloadEntry = pfnUnload;
  pfnLoad = nullptr;
  pfnUnload = nullptr;
  pfnRequest = nullptr;
  int result = 0;
  if (unloadEntry && Guarded(PluginStep::kUnloadCall, [&] { result = unloadEntry(); }) && observer)
    observer->UnloadCalled(result);
  return 0;
}

void PluginModule::UnloadPlugin() {
  Unload();
  faulted = false;
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
  int result = 0;
  if (!Guarded(PluginStep::kLoadCall, [&] { result = pfnLoad(block, length); })) return 0;
  if (observer) observer->LoadCalled(directory, true, result);
  return result;
}

bool PluginModule::SendText(const char *text, size_t count, PluginStep step, Answer *answer) {
  if (faulted) return false;
  BlockLength length = 0;
  HGLOBAL block = CopyBytesToGlobal(text, count, &length);
  if (observer) observer->Sending(text, count, block != nullptr);
  if (!block) return false;  // the block, had it been sent, is the plug-in's
  PluginRequestFunction requestEntry = pfnRequest;
  if (!Guarded(step, [&] { answer->block = requestEntry(block, &length); })) return false;
  if (!answer->block) {
    if (observer) observer->Answered(nullptr, length, "", 0);
    return false;
  }
  answer->text = static_cast<const char *>(answer->block);
  answer->length = GlobalTextLength(answer->block, length);
  if (observer) observer->Answered(answer->block, length, answer->text, answer->length);
  return true;
}

BOOL PluginModule::CheckVersion(const char *expected) {
  Answer answer;
  if (!SendText(kVersionRequest, std::strlen(kVersionRequest), PluginStep::kVersion, &answer)) return FALSE;
  return StartsWithNoCase(answer.text, answer.length, expected, std::strlen(expected));
}
