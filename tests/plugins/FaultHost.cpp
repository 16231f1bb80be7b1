// A host that has a plug-in's fault contained, then faults by itself: its own
// unhandled-exception filter, still the one in place, must end it with 77.
// Any other exit code says which step went wrong.
#include <windows.h>

#include "support/LibraryUnderTest.h"

static LONG WINAPI HostFilter(EXCEPTION_POINTERS *) {
  ::ExitProcess(77);
}

int main() {
  ::SetUnhandledExceptionFilter(HostFilter);
  LibraryUnderTest library;
  if (!library.IsLoaded()) return 1;
  library.load(MakeBlock(""), 0);
  if (library.Send(RequestFor("a$tovra[faulty,write]b")) != OkReply("ab")) return 2;
  if (::SetUnhandledExceptionFilter(HostFilter) != HostFilter) return 3;
  library.unload();
  volatile int *nowhere = nullptr;
  *nowhere = 1;
  return 4;
}
