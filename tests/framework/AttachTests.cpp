// Loads libraries built on the framework, from a directory of their own, the
// way a host loads the product, and looks at the application inside them.
#include <gtest/gtest.h>

#include <string>

#include "support/ChildProcess.h"
#include "support/TestLibraries.h"

namespace {

// Copies a built library into a fresh directory of its own below the test
// directory; returns the copy's path.
std::string CopyIntoOwnDirectory(const std::string &name, const std::string &directoryName) {
  std::string directory = TestDirectory() + directoryName + "\\";
  std::string source = TestLibraryPath(name);
  std::string target = directory + LibraryFileName(name);
  MakeDirectory(directory);
  if (!CopyFileTo(source, target)) return std::string();
  return target;
}

template <typename Function>
Function Export(HMODULE module, const char *name) {
  return reinterpret_cast<Function>(platform::GetLibraryProcAddress(module, name));
}

std::string ReadText(HMODULE module, const char *name) {
  auto read = Export<int (*)(char *, int)>(module, name);
  if (!read) return "<no export " + std::string(name) + ">";
  char buffer[2048];
  read(buffer, sizeof buffer);
  return buffer;
}

int CallInt(HMODULE module, const char *name) {
  auto call = Export<int (*)()>(module, name);
  return call ? call() : -1000;
}

HINSTANCE CallHandle(HMODULE module, const char *name) {
  auto call = Export<HINSTANCE (*)()>(module, name);
  return call ? call() : nullptr;
}

int detachCallbacks = 0;
void CountDetach() {
  ++detachCallbacks;
}

TEST(ProbeAttach, AttachBindsTheApplicationToTheLibrarysOwnFileAndKeepsTheHostsInstance) {
  std::string path = CopyIntoOwnDirectory("framework_probe", "attach_probe");
  ASSERT_FALSE(path.empty());
  HMODULE probe = platform::LoadDynamicLibrary(path.c_str(), 0);
  ASSERT_NE(probe, nullptr);

  EXPECT_EQ(CallInt(probe, "ProbeAttachCalls"), 1);
  EXPECT_EQ(CallInt(probe, "ProbeIsAttached"), 1);
  EXPECT_EQ(ReadText(probe, "ProbeModuleFileName"), path);
  EXPECT_EQ(CallHandle(probe, "ProbeModuleHandle"), probe);
  EXPECT_EQ(CallHandle(probe, "ProbeInstanceHandle"), platform::GetExecutableModule());
  EXPECT_EQ(CallHandle(probe, "ProbeResourceHandle"), probe);
  EXPECT_EQ(ReadText(probe, "ProbeHelpFilePath"), "framework_tests.hlp");
#ifdef _WIN32
  EXPECT_EQ(CallInt(probe, "ProbeIdleHookInstalled"), 1);
#endif

  detachCallbacks = 0;
  Export<void (*)(void (*)())>(probe, "ProbeSetDetachCallback")(&CountDetach);
  platform::FreeDynamicLibrary(probe);
  EXPECT_FALSE(IsLibraryLoaded(path));
  EXPECT_EQ(detachCallbacks, 1) << "process detach did not run OnDetach once";
}

TEST(ProbeAttach, ALibraryWhoseApplicationRefusesToAttachFailsToLoad) {
  std::string path = CopyIntoOwnDirectory("framework_probe_refusing", "attach_probe_refusing");
  ASSERT_FALSE(path.empty());
  HMODULE probe = platform::LoadDynamicLibrary(path.c_str(), 0);
#ifdef _WIN32
  EXPECT_EQ(probe, nullptr);
  EXPECT_FALSE(IsLibraryLoaded(path));
  if (probe) ::FreeLibrary(probe);
#else
  // Natively nothing can fail the load itself: the library stays loaded but
  // reports that it never attached.
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(CallInt(probe, "ProbeAttachCalls"), 1);
  EXPECT_EQ(CallInt(probe, "ProbeIsAttached"), 0);
  detachCallbacks = 0;
  Export<void (*)(void (*)())>(probe, "ProbeSetDetachCallback")(&CountDetach);
  platform::FreeDynamicLibrary(probe);
  EXPECT_EQ(detachCallbacks, 0) << "OnDetach ran for an application that never attached";
#endif
}

#ifdef _WIN32
// Wine 8 installs a WH_FOREGROUNDIDLE hook but never calls it (checked with a
// foreground window, timers and WaitMessage: WH_GETMESSAGE hooks run, the
// idle hook does not), so the idle moment is simulated: the library's hook
// procedure is called as the system calls it.
TEST(ProbeAttach, TemporaryObjectsGoAtTheNextIdleMomentOfTheLoadingThread) {
  std::string path = CopyIntoOwnDirectory("framework_probe", "idle_probe");
  HMODULE probe = ::LoadLibraryA(path.c_str());
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(CallInt(probe, "ProbeIdleHookInstalled"), 1);
  auto runIdleHook = Export<void (*)(int)>(probe, "ProbeRunIdleHook");
  Export<void (*)()>(probe, "ProbeAddTemporaryObjects")();
  EXPECT_EQ(CallInt(probe, "ProbeDeletedObjects"), 0);
  runIdleHook(HC_ACTION);
  EXPECT_EQ(CallInt(probe, "ProbeDeletedObjects"), 2);
  runIdleHook(HC_ACTION);
  EXPECT_EQ(CallInt(probe, "ProbeDeletedObjects"), 2) << "deleted objects stayed on the list";
  ::FreeLibrary(probe);
}

// Runs the probe host on `library` with the given start-up information;
// returns its exit code (the show command the library recorded, 255 when
// the library did not load).
DWORD RunProbeHost(const std::string &library, WORD showWindow, DWORD flags) {
  STARTUPINFOW startup = {};
  startup.dwFlags = flags;
  startup.wShowWindow = showWindow;
  ChildProcess host("framework_probe_host.exe", "\"" + library + "\"", &startup);
  return host.Wait(ChildProcess::kPatience);
}

TEST(ProbeAttach, AHostsShowCommandReachesTheApplicationWithOrWithoutItsStartUpFlag) {
  std::string probe = CopyIntoOwnDirectory("framework_probe", "host_probe");
  std::string refusing = CopyIntoOwnDirectory("framework_probe_refusing", "host_probe_refusing");
  EXPECT_EQ(RunProbeHost(probe, SW_SHOWMINNOACTIVE, 0), DWORD(SW_SHOWMINNOACTIVE));
  EXPECT_EQ(RunProbeHost(probe, SW_SHOWMAXIMIZED, STARTF_USESHOWWINDOW), DWORD(SW_SHOWMAXIMIZED));
  EXPECT_EQ(RunProbeHost(refusing, SW_SHOWMINNOACTIVE, 0), 255u) << "the refusing library loaded";
}
#endif

}  // namespace
