#include "plugin/PluginModule.h"

#include <cstring>

#include "plugin/PeImage.h"
#include "plugin/PluginPaths.h"
#include "plugin/PluginRequests.h"
#include "text/GlobalText.h"
#include "text/TextSearch.h"

static PluginObserver *observer = nullptr;
static std::string &SurrogateDirectory() {
  static std::string directory;
  return directory;
}

void PluginModule::SetObserver(PluginObserver *newObserver) {
  observer = newObserver;
}

void PluginModule::SetSurrogateDirectory(const std::string &directory) {
  SurrogateDirectory() = directory;
}

template <typename Call>
bool PluginModule::Guarded(PluginStep step, Call &&call) {
  if (platform::CallGuarded(call, &fault)) return true;
  faulted = true;
  faultedOnce = true;
  faultStep = step;
  if (observer) observer->Faulted(step, fault);
  return false;
}

BOOL PluginModule::Load(const char *path, DWORD flags) {
  bringUp = BringUpReport();
  // The machine is read from the file's header before anything of it runs;
  // a file that is no PE file (natively, every plug-in) is left to the loader.
  unsigned machine = PeImage::ReadMachine(platform::GetLibraryFilePath(path));
  const bool otherMachine = machine != 0 && machine != PeImage::kOwnMachine && PluginSurrogate::Serves(machine);
  if (!otherMachine && !faultedOnce) return CLibraryModule::Load(path, flags);
  surrogatePath = path;
  surrogateMachine = otherMachine ? machine : PeImage::kOwnMachine;
  return LoadInSurrogate();
}

BOOL PluginModule::LoadInSurrogate() {
  // Each try costs a process: a plug-in that a surrogate refused (a fault,
  // a wrong version reply, a missing dependency) is tried again only once
  // its file has changed, or after the host's unload.
  const uint64_t stamp = platform::GetFileStamp(platform::GetLibraryFilePath(surrogatePath.c_str()));
  if (refusedInSurrogate && stamp == refusedStamp) return FALSE;
  refusedInSurrogate = false;
  const std::string program = SurrogateDirectory().empty()
                                  ? std::string()
                                  : PluginSurrogate::ProgramFor(SurrogateDirectory(), surrogateMachine);
  if (observer) observer->GoesToSurrogate(program, surrogateMachine, faultedOnce);
  std::unique_ptr<PluginSurrogate> started(new PluginSurrogate);
  if (!started->Start(program)) {
    if (observer) observer->SurrogateFailed(started->Failure());
    return FALSE;
  }
  if (!started->BringUp(surrogatePath.c_str(), &bringUp)) {
    refusedInSurrogate = true;
    refusedStamp = stamp;
    if (observer && started->Failure().kind == SurrogateFailure::kRefused)
      observer->BroughtUpInSurrogate(bringUp);
    else if (observer)
      observer->SurrogateFailed(started->Failure());
    return FALSE;
  }
  if (observer) observer->BroughtUpInSurrogate(bringUp);
  surrogate = std::move(started);
  return TRUE;
}

void PluginModule::EndSurrogate() {
  if (observer) observer->SurrogateFailed(surrogate->Failure());
  surrogate.reset();
}

HMODULE PluginModule::LoadLibraryFile(const char *path, DWORD flags) {
  HMODULE module = nullptr;
  uint32_t error = 0;
  Guarded(PluginStep::kLibraryLoad, [&] {
    module = platform::LoadDynamicLibrary(path, flags);
    if (!module) error = platform::GetLoaderError();
  });
  if (!module) {
    bringUp.outcome = BringUpOutcome::kNotLoaded;
    bringUp.loaderError = error;
  }
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
    bringUp.outcome = BringUpOutcome::kNoRequestEntry;
    return FALSE;
  }
  CallLoad();  // a plug-in whose load reports failure is still brought up
  if (!faulted && CheckVersion(kProtocolToken)) return TRUE;
  bringUp.outcome = BringUpOutcome::kVersionRefused;
  return FALSE;
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
  if (surrogate) {
    surrogate->Unload();
    surrogate.reset();
  }
  refusedInSurrogate = false;
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
  if (surrogate) return SendToSurrogate(text, count, answer);
  return SendHere(text, count, step, answer);
}

bool PluginModule::SendHere(const char *text, size_t count, PluginStep step, Answer *answer) {
  if (faulted || !pfnRequest) return false;
  BlockLength length = 0;
  HGLOBAL block = CopyBytesToGlobal(text, count, &length);
  if (observer) observer->Sending(text, count, block != nullptr);
  if (!block) return false;  // the block, had it been sent, is the plug-in's
  PluginRequestFunction requestEntry = pfnRequest;
  if (!Guarded(step, [&] { answer->block = requestEntry(block, &length); })) return false;
  answer->stated = length;
  if (!answer->block) {
    if (observer) observer->Answered(false, length, 0, "", 0);
    return false;
  }
  answer->text = static_cast<const char *>(answer->block);
  answer->length = GlobalTextLength(answer->block, length);
  if (observer) observer->Answered(true, length, platform::GlobalBlockSize(answer->block), answer->text, answer->length);
  return true;
}

bool PluginModule::SendToSurrogate(const char *text, size_t count, Answer *answer) {
  // A surrogate that ended while it waited (killed, or ended by a thread of
  // its plug-in) is replaced first, so the request is not lost with it.
  if (surrogate->HasEnded()) {
    surrogate.reset();
    if (!LoadInSurrogate()) return false;
  }
  if (observer) observer->Sending(text, count, true);
  SurrogateAnswer &copied = answer->copied;
  if (!surrogate->Ask(text, count, &copied)) {
    EndSurrogate();
    return false;
  }
  if (observer)
    observer->Answered(copied.answered, copied.stated, static_cast<size_t>(copied.blockSize), copied.text.data(),
                       copied.text.size());
  if (!copied.answered) return false;
  answer->stated = copied.stated;
  answer->text = copied.text.data();
  answer->length = copied.text.size();
  return true;
}

bool PluginModule::Relay(const char *text, size_t length, SurrogateAnswer *copied) {
  Answer answer;
  if (!hModule || faulted) return false;
  const bool answered = SendHere(text, length, PluginStep::kRequest, &answer);
  if (faulted) return false;
  copied->answered = answered;
  copied->stated = answer.stated;
  copied->blockSize = answer.block ? platform::GlobalBlockSize(answer.block) : 0;
  copied->text.assign(answer.text, answer.length);
  return true;
}

BOOL PluginModule::CheckVersion(const char *expected) {
  Answer answer;
  if (!SendText(kVersionRequest, std::strlen(kVersionRequest), PluginStep::kVersion, &answer)) return FALSE;
  if (StartsWithNoCase(answer.text, answer.length, expected, std::strlen(expected))) return TRUE;
  bringUp.versionReply.assign(answer.text, answer.length);
  return FALSE;
}
