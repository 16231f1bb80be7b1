// A host for the tests that run a host of their own.
//   fault_host            has a plug-in's fault contained, then faults by
//                         itself: its own unhandled-exception filter, still
//                         the one in place, must end it with 77; any other
//                         exit code says which step went wrong
//   fault_host keep EVENT has three plug-ins running in surrogates, one of
//                         them stuck in its detach from its process, sets the
//                         named event and waits to be killed
//   fault_host linger EVENT  waits until the named event is set, or two
//                         minutes: a program that holds what it inherited
#include <windows.h>

#include <cstring>
#include <string>

#include "support/LibraryUnderTest.h"
#include "support/TestLibraries.h"

static LONG WINAPI HostFilter(EXCEPTION_POINTERS *) {
  ::ExitProcess(77);
}

static int FaultsByItself(LibraryUnderTest &library) {
  if (library.Send(RequestFor("a$tovra[faulty,write]b")) != OkReply("ab")) return 2;
  if (::SetUnhandledExceptionFilter(HostFilter) != HostFilter) return 3;
  library.unload();
  volatile int *nowhere = nullptr;
  *nowhere = 1;
  return 4;
}

static int KeepsSurrogates(LibraryUnderTest &library, const char *event) {
  std::string text;
  for (const char *name : {"kept1", "kept2", "kept3"}) {
    ::CopyFileA(TestLibraryPath("faulty").c_str(), TestLibraryPath(name).c_str(), FALSE);
    library.Send(RequestFor(std::string("$tovra[") + name + ",write]"));  // from now on in a surrogate
    text += std::string("$tovra[") + name + ",x]";
  }
  if (library.Send(RequestFor(text + "$tovra[kept1,holdexit]")) != OkReply("ok:xok:xok:xok:holdexit")) return 5;
  HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, event);
  if (!ready || !::SetEvent(ready)) return 6;
  ::Sleep(INFINITE);
  return 0;
}

int main(int argc, char **argv) {
  if (argc == 3 && std::strcmp(argv[1], "linger") == 0) {
    HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, argv[2]);
    return event && ::WaitForSingleObject(event, 120000) == WAIT_OBJECT_0 ? 0 : 8;
  }
  ::SetUnhandledExceptionFilter(HostFilter);
  LibraryUnderTest library;
  if (!library.IsLoaded()) return 1;
  library.load(MakeBlock(""), 0);
  if (argc == 3 && std::strcmp(argv[1], "keep") == 0) return KeepsSurrogates(library, argv[2]);
  return FaultsByItself(library);
}
