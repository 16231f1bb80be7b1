/* A plug-in on the SDK with both hooks, written exactly as the header
 * documents them: the macros before the #include, the functions after it.
 * It is built as C and, through HookedSdkPlugin.cpp, as C++, with warnings
 * as errors. Each hook tells the recorder it ran; the load hook returns 0,
 * which the library does not act on.
 *
 *   $tovra[NAME,empty]  returns TOVRA_OK without setting a result
 *   $tovra[NAME,none]   returns TOVRA_NO_RESULT
 *   $tovra[NAME,bad]    returns TOVRA_BAD_ARGUMENTS
 *   $tovra[NAME,x,...]  otherwise its first argument is its result
 */
#define TOVRA_ON_LOAD hooked_load
#define TOVRA_ON_UNLOAD hooked_unload
#define TOVRA_PLUGIN_IMPLEMENTATION
#include "tovra_plugin.h"

#include <string.h>

#include "Recorder.h"

int hooked_load(const char *directory) {
  RecordEvent(PLUGIN_NAME, "load hook", directory, (long)strlen(directory), 0, 0);
  return 0;
}

void hooked_unload(void) {
  RecordEvent(PLUGIN_NAME, "unload hook", "", 0, 0, 0);
}

int tovra_execute(const tovra_call *call, tovra_result *result) {
  const char *what = call->argc > 0 ? call->argv[0] : "";
  if (strcmp(what, "empty") == 0) return TOVRA_OK;
  if (strcmp(what, "none") == 0) return TOVRA_NO_RESULT;
  if (strcmp(what, "bad") == 0) return TOVRA_BAD_ARGUMENTS;
  return tovra_set_result(result, what);
}
