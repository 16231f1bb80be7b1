// A plug-in written in C++ whose entry points lack extern "C": they are
// exported under their mangled C++ names, so the library binds none of them.
#ifdef _WIN32
#include <windows.h>
#define PLUGIN_EXPORT __declspec(dllexport)
#else
typedef void *HGLOBAL;
#define __cdecl
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

PLUGIN_EXPORT int __cdecl load(HGLOBAL, long) {
  return 1;
}

PLUGIN_EXPORT HGLOBAL __cdecl request(HGLOBAL, long *) {
  return nullptr;
}

PLUGIN_EXPORT int __cdecl unload() {
  return 1;
}
