// Plug-ins in surrogate processes, driven through the real library as a host
// drives it: one that faulted here goes on in a surrogate of its own, where
// whatever ends it (a fault, exit, abort, a fast fail, a kill from outside)
// fails only the call it served; the host's unload ends every surrogate, and
// so does the host's own end.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FaultingPluginFixture.h"
#include "support/ChildProcess.h"
#include "support/ImportPatch.h"
#include "support/LibraryUnderTest.h"
#include "support/ProcessList.h"
#include "support/TestLibraries.h"

namespace {

#ifdef _WIN64
const char kSurrogate[] = "tovra-surrogate64.exe";
#else
const char kSurrogate[] = "tovra-surrogate32.exe";
#endif

// A copy of the faulting plug-in under a name of its own, made to fault here
// once, so that it runs in a surrogate from then on.
std::string IsolatedPlugin(LibraryUnderTest &library, const std::string &name) {
  ::CopyFileA(TestLibraryPath("faulty").c_str(), TestLibraryPath(name).c_str(), FALSE);
  library.Expand("$tovra[" + name + ",write]");
  return name;
}

std::vector<DWORD> Surrogates() {
  return ChildProcesses(::GetCurrentProcessId(), kSurrogate);
}

// Wine's crash debugger as a fresh prefix has it, while it lives: a process
// whose exception nothing handles would wait in it for a person.
class FreshCrashDebugger {
 public:
  FreshCrashDebugger() { SetCrashDebugger("winedbg --auto %ld %ld"); }
  ~FreshCrashDebugger() { SetCrashDebugger("false"); }
};

class IsolationTest : public FaultingPluginTest {};

TEST_F(IsolationTest, WhateverEndsASurrogateFailsOnlyItsCall) {
  // cxx too: in a 32-bit surrogate a GCC-built plug-in's escaping C++
  // exception ends it through abort. threadfault: a fault on a thread of the
  // plug-in's own, which no guard sees, ends the surrogate at once rather
  // than in the crash debugger. handpipes: its pipe is held on by a program
  // that outlives it, which must not hold the call.
  const char *kinds[] = {"exit", "abort", "fastfail", "write", "overflow", "raise", "cxx", "threadfault", "handpipes"};
  const FreshCrashDebugger debugger;
  const std::string lingering = "tovra-test-linger-" + std::to_string(::GetCurrentProcessId());
  ::SetEnvironmentVariableA("TOVRA_TEST_HOLD_EVENT", lingering.c_str());
  for (const char *kind : kinds) {
    SCOPED_TRACE(kind);
    const std::string name = IsolatedPlugin(library, std::string("ends_") + kind);
    EXPECT_EQ(library.Expand("<$tovra[" + name + ",x]>"), "<ok:x>");
    EXPECT_EQ(Surrogates().size(), 1u);
    EXPECT_EQ(library.Expand("a$tovra[" + name + "," + kind + "]b$tovra[" + name + ",z]c$tovra[ok,1]"),
              "abok:zc{1}");
    if (std::strcmp(kind, "handpipes") == 0) {
      HANDLE program = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, lingering.c_str());
      EXPECT_TRUE(program != nullptr) << "the call waited until the program holding the pipe had ended";
      if (program) ::SetEvent(program);  // it may end now
      if (program) ::CloseHandle(program);
    }
    library.unload();
  }
  ::SetEnvironmentVariableA("TOVRA_TEST_HOLD_EVENT", nullptr);
}

TEST_F(IsolationTest, ASurrogateKilledFromOutsideFailsOnlyTheCallItServes) {
  const std::string name = IsolatedPlugin(library, "killed");
  EXPECT_EQ(library.Expand("$tovra[" + name + ",x]"), "ok:x");
  // Killed while it waits: the next call finds it gone and goes to a fresh
  // one, which the call after keeps.
  std::vector<HANDLE> waiting = OpenToWait(Surrogates());
  ASSERT_EQ(waiting.size(), 1u);
  ::TerminateProcess(waiting[0], 1);
  EXPECT_TRUE(AllEnd(waiting, ChildProcess::kPatience));
  EXPECT_EQ(library.Expand("a$tovra[" + name + ",y]b$tovra[" + name + ",y]"), "aok:ybok:y");

  // Killed during a call: a thread ends the surrogate once the plug-in has
  // signalled that it holds the call.
  const std::string eventName = "tovra-test-hold-" + std::to_string(::GetCurrentProcessId());
  HANDLE held = ::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  ::SetEnvironmentVariableA("TOVRA_TEST_HOLD_EVENT", eventName.c_str());
  library.unload();  // the next surrogate starts with the event's name in its environment
  struct Killer {
    HANDLE held;
    bool killed = false;
    static DWORD WINAPI Run(void *self) {
      Killer *killer = static_cast<Killer *>(self);
      if (::WaitForSingleObject(killer->held, ChildProcess::kPatience) != WAIT_OBJECT_0) return 0;
      for (HANDLE surrogate : OpenToWait(Surrogates())) {
        killer->killed = ::TerminateProcess(surrogate, 1) || killer->killed;
        ::CloseHandle(surrogate);
      }
      return 0;
    }
  } killer{held};
  HANDLE thread = ::CreateThread(nullptr, 0, Killer::Run, &killer, 0, nullptr);
  EXPECT_EQ(library.Expand("a$tovra[" + name + ",hold]b$tovra[ok,1]"), "ab{1}");
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  ::CloseHandle(held);
  ::SetEnvironmentVariableA("TOVRA_TEST_HOLD_EVENT", nullptr);
  EXPECT_TRUE(killer.killed);
  EXPECT_EQ(library.Expand("$tovra[" + name + ",z]"), "ok:z");
}

TEST_F(IsolationTest, EachPlugInHasASurrogateOfItsOwnAndUnloadEndsThemAll) {
  std::string text, expected;
  for (int i = 1; i <= 20; ++i) {
    const std::string name = IsolatedPlugin(library, "own" + std::to_string(i));
    text += "$tovra[" + name + "," + std::to_string(i) + "]";
    expected += "ok:" + std::to_string(i);
  }
  EXPECT_EQ(library.Expand(text), expected);
  std::vector<DWORD> surrogates = Surrogates();
  EXPECT_EQ(surrogates.size(), 20u);
  // One of them ends; the others never notice.
  EXPECT_EQ(library.Expand("$tovra[own5,exit]" + text), expected);
  std::vector<HANDLE> running = OpenToWait(Surrogates());
  EXPECT_EQ(running.size(), 20u);
  ClearRecording();
  library.unload();
  EXPECT_TRUE(AllEnd(running, 0)) << "unload returned before every surrogate had ended";
  EXPECT_EQ(SurrogatesThatRecorded("faulty", "unload").size(), 20u) << "a plug-in's unload entry ran in each";
}

// The library's calls into the system that let a process take the
// foreground: the id of each.
std::vector<DWORD> &ForegroundAllowed() {
  static std::vector<DWORD> allowed;
  return allowed;
}
BOOL WINAPI RecordForegroundAllowed(DWORD process) {
  ForegroundAllowed().push_back(process);
  return TRUE;
}

TEST_F(IsolationTest, APlugInInASurrogateIsAnsweredAsHereAndMayComeToTheFront) {
  const std::string name = IsolatedPlugin(library, "front");
  ForegroundAllowed().clear();
  void *system = PatchImport(library.Module(), "user32.dll", "AllowSetForegroundWindow",
                             reinterpret_cast<void *>(&RecordForegroundAllowed));
  ASSERT_TRUE(system != nullptr);
  // An answer that fills its block exactly, and a surrogate whose standard
  // handles are none, or a console of its own (Wine gives it one), never
  // the host's files or pipes.
  const std::string answers = library.Expand("$tovra[" + name + ",noterm]|$tovra[" + name + ",stdhandles]");
  EXPECT_EQ(answers.substr(0, 9), "ok:noterm");
  EXPECT_EQ(answers.find("other"), std::string::npos) << answers;
  PatchImport(library.Module(), "user32.dll", "AllowSetForegroundWindow", system);
  const std::vector<DWORD> surrogates = Surrogates();
  ASSERT_EQ(surrogates.size(), 1u);
  // Before its bring-up and each request.
  EXPECT_EQ(ForegroundAllowed(), std::vector<DWORD>(3, surrogates[0]));
}

TEST_F(IsolationTest, ASurrogateInheritsNothingButItsChannel) {
  // A pipe whose write end the host lets children inherit: once the host
  // has closed its own, the pipe breaks unless a surrogate holds a copy.
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE reads, writes;
  ASSERT_TRUE(::CreatePipe(&reads, &writes, &inheritable, 0));
  const std::string name = IsolatedPlugin(library, "inherits");
  EXPECT_EQ(library.Expand("$tovra[" + name + ",x]"), "ok:x");
  EXPECT_EQ(Surrogates().size(), 1u);
  ::CloseHandle(writes);
  DWORD waiting = 0;
  EXPECT_FALSE(::PeekNamedPipe(reads, nullptr, 0, nullptr, &waiting, nullptr)) << "a surrogate holds the pipe";
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
  ::CloseHandle(reads);
}

TEST_F(IsolationTest, AHostThatIsKilledLeavesNoSurrogateBehind) {
  const std::string eventName = "tovra-test-host-ready-" + std::to_string(::GetCurrentProcessId());
  HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  ChildProcess host("fault_host.exe", "keep " + eventName);
  ASSERT_TRUE(host.Started());
  ASSERT_EQ(::WaitForSingleObject(ready, ChildProcess::kPatience), WAIT_OBJECT_0);
  ::CloseHandle(ready);
  std::vector<HANDLE> surrogates = OpenToWait(ChildProcesses(host.Id(), kSurrogate));
  EXPECT_EQ(surrogates.size(), 3u);
  HANDLE hostProcess = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, host.Id());
  ASSERT_TRUE(hostProcess != nullptr);
  ::TerminateProcess(hostProcess, 1);
  ::WaitForSingleObject(hostProcess, ChildProcess::kPatience);
  ::CloseHandle(hostProcess);
  EXPECT_TRUE(AllEnd(surrogates, ChildProcess::kPatience)) << "a surrogate outlived its host";
}

TEST_F(IsolationTest, ABrokenOrMissingSurrogateLeavesOnlyItsCallEmpty) {
  // A library of its own, in a folder of its own, whose surrogate is one
  // that breaks the protocol as each call's argument asks.
  const std::string folder = TestDirectory() + "broken-surrogate\\";
  MakeDirectory(folder);
  for (const char *file : {"tovracaller.dll", "faulty.dll", "tovra_recorder.dll"})
    ASSERT_TRUE(::CopyFileA((TestDirectory() + file).c_str(), (folder + file).c_str(), FALSE)) << file;
  ASSERT_TRUE(::CopyFileA((TestDirectory() + "broken_surrogate.exe").c_str(), (folder + kSurrogate).c_str(), FALSE));
  LibraryUnderTest broken(folder + "tovracaller.dll");
  ASSERT_TRUE(broken.IsLoaded());
  EXPECT_EQ(broken.Expand("$tovra[faulty,write]$tovra[faulty,good]"), "fine");
  const char *modes[] = {"short",    "trailing", "textlonger", "flag",       "unknownkind", "wrongkind",
                         "hugelength", "cuthead",  "cutpayload", "badfault", "silent"};
  for (const char *mode : modes) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(broken.Expand(std::string("a$tovra[faulty,") + mode + "]b$tovra[faulty,good]c"), "abfinec");
  }
  // Without its program no surrogate starts, and the call leaves nothing, as
  // a missing plug-in does.
  broken.unload();
  ASSERT_TRUE(::DeleteFileA((folder + kSurrogate).c_str()));
  EXPECT_EQ(broken.Expand("a$tovra[faulty,good]b$tovra[faulty,good]c"), "abc");
  broken.unload();
}

}  // namespace
#endif
