#include "plugin/PluginModule.h"

#include <cstring>

#include "host/GlobalText.h"
#include "plugin/PluginPaths.h"
#include "plugin/PluginRequests.h"
#include "text/TextSearch.h"


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
  if (unloadEntry) unloadEntry();
  return 0;
}

int PluginModule::CallLoad() {
  if (!pfnLoad) return 1;
  CText directory = GetDirectoryPart(GetModuleFileName());
  BlockLength length = 0;
  HGLOBAL block = CopyTextToGlobal(directory, &length);
  // Without a block there is nothing to hand over; the plug-in is brought up
  // without its load call, as one that has no load entry.
  if (!block) return 1;
  return pfnLoad(block, length);
}

BOOL PluginModule::CheckVersion(const char *expected) {
  CText reply;
  if (!SendText(kVersionRequest, std::strlen(kVersionRequest), &reply)) return FALSE;
  return CompareNoCaseN(reply.c_str(), expected, std::strlen(expected)) == 0;
}

BOOL PluginModule::Exchange(const char *requestText, CTextArray *replyLines) {
  CText reply;
  if (!ExchangeText(requestText, std::strlen(requestText), &reply)) return FALSE;
  reply.Split("\r\n", replyLines, 1);
  return TRUE;
}

BOOL PluginModule::ExchangeText(const char *requestText, size_t length, CText *reply) {
  if (!SendText(requestText, length, reply)) return FALSE;
  return CompareNoCaseN(reply->c_str(), kAcceptedStatusLine, std::strlen(kAcceptedStatusLine)) == 0;
}

bool PluginModule::SendText(const char *text, size_t count, CText *reply) {
  BlockLength length = 0;
  HGLOBAL block = CopyTextToGlobal(text, count, &length);
  if (!block) return false;  // the block, had it been sent, is the plug-in's
  HGLOBAL answer = pfnRequest(block, &length);
  if (!answer) return false;
  struct FreeOnExit {
    HGLOBAL block;
    ~FreeOnExit() { platform::FreeGlobalBlock(block); }
  } freeAnswer{answer};
  *reply = ReadGlobalText(answer, length);
  return true;
}
