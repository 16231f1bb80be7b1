// The plug-in through which the plug-in-side fuzzer speaks: each entry point
// hands its call to a function the fuzzer has set, so the fuzzer decides
// every reply (its bytes, its stated length, its block's real size). Without
// those functions it takes its blocks and answers nothing.
#include <cstdlib>

typedef void *HGLOBAL;
typedef int (*ScriptedLoad)(HGLOBAL block, long length);
typedef int (*ScriptedUnload)();
typedef HGLOBAL (*ScriptedRequest)(HGLOBAL block, long *length);

#define SCRIPTED_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
ScriptedLoad onLoad = nullptr;
ScriptedUnload onUnload = nullptr;
ScriptedRequest onRequest = nullptr;
}  // namespace

SCRIPTED_EXPORT void SetScriptedHandlers(ScriptedLoad load, ScriptedUnload unload, ScriptedRequest request) {
  onLoad = load;
  onUnload = unload;
  onRequest = request;
}

SCRIPTED_EXPORT int load(HGLOBAL block, long length) {
  if (onLoad) return onLoad(block, length);
  std::free(block);
  return 1;
}

SCRIPTED_EXPORT int unload() {
  return onUnload ? onUnload() : 1;
}

SCRIPTED_EXPORT HGLOBAL request(HGLOBAL block, long *length) {
  if (onRequest) return onRequest(block, length);
  std::free(block);
  return nullptr;
}
