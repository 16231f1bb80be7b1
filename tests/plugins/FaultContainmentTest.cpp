// Plug-ins that fault, driven through the real library as a host drives it:
// each fault ends only its own call, the rest of the text is expanded, and
// the faulted plug-in is left alone until the host's unload.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Recorder.h"
#include "FaultingPluginFixture.h"
#include "support/ChildProcess.h"
#include "support/LibraryUnderTest.h"
#include "support/TestLibraries.h"

namespace {

// A copy of the faulting plug-in `plugin` under the name `name`, beside the
// test: a plug-in of its own, with a registry entry of its own.
std::string FaultingCopy(const std::string &plugin, const std::string &name) {
  ::CopyFileA(TestLibraryPath(plugin).c_str(), TestLibraryPath(name).c_str(), FALSE);
  return name;
}

// What the plug-in `name` was sent here, in this process, in order: "load
// request unload".
std::string Steps(const std::string &name) {
  std::string steps;
  for (int i = 0; i < RecordedEventCount(); ++i) {
    const RecordedEvent *event = RecordedEventAt(i);
    if (name == event->plugin && event->process == ::GetCurrentProcessId())
      steps += (steps.empty() ? "" : " ") + std::string(event->kind);
  }
  return steps;
}

class FaultContainmentTest : public FaultingPluginTest {};

TEST_F(FaultContainmentTest, AFaultEndsOnlyItsOwnCallAndThePlugInGoesOnInASurrogate) {
  // Overflows in a row: after the first two even a guard that is never put
  // back would still be caught, by the stack's own end.
  std::vector<std::string> kinds = {"write",      "read",     "execute",    "overflow", "overflow", "overflow",
                                    "overflow",   "divide",   "intoverflow", "illegal", "privileged", "breakpoint",
                                    "float",      "x87",      "raise",      "msvc"};
#ifdef _WIN64
  // A 32-bit GCC-built plug-in's C++ exception never leaves it: its runtime
  // ends the process when no frame of its own catches it.
  kinds.push_back("cxx");
#endif
  // The host's floating-point state, which no fault may change, and the
  // guard page that each overflow is caught on, put back after each.
  HostFloatingPoint host = HostFloatingPoint::Now();
  EXPECT_EQ(host.tags, 0xFFFF);
  EXPECT_EQ(library.Expand("$tovra[ok,0]"), "{0}");
  const void *guard = StackGuardPage();
  for (size_t i = 0; i < kinds.size(); ++i) {
    const std::string &kind = kinds[i];
    SCOPED_TRACE(kind);
    // A plug-in of its own for each fault: one that faulted runs in a
    // surrogate for the rest of the library's life.
    const std::string name = FaultingCopy("faulty", "faulty" + std::to_string(i));
    ClearRecording();
    EXPECT_EQ(library.Expand("a$tovra[ok,1]b$tovra[" + name + "," + kind + "]c$tovra[" + name + ",again]d"),
              "a{1}bcok:againd");
    EXPECT_EQ(HostFloatingPoint::Now(), host);
    EXPECT_EQ(HostDividesByZero(), HUGE_VAL);
    host = HostFloatingPoint::Now();  // with the division's own status flag
    EXPECT_EQ(StackGuardPage(), guard);
    // Here: the bring-up, the version request and the call that faulted.
    EXPECT_EQ(Steps("faulty"), "load request request");
    library.unload();
    EXPECT_EQ(Steps("faulty"), "load request request unload");
    EXPECT_EQ(library.Expand("$tovra[" + name + ",fresh]"), "ok:fresh");
    EXPECT_EQ(Steps("faulty"), "load request request unload");  // it does not come back here
  }
}

TEST_F(FaultContainmentTest, APlugInThatUnmasksFloatingPointExceptionsLeavesTheHostsOwn) {
  // Its DllMain, load, version and request entries, then its unload entry
  // and its detach: each unmasks division by zero and invalid operations,
  // while the host's own flag of one is set.
  HostSetsAnX87Flag();
  const HostFloatingPoint host = HostFloatingPoint::Now();
  EXPECT_EQ(library.Expand("$tovra[fpmask,x]$tovra[fpmask,y]"), "ok:xok:y");
  EXPECT_EQ(HostFloatingPoint::Now(), host);
  library.unload();
  EXPECT_EQ(HostFloatingPoint::Now(), host);
  EXPECT_EQ(HostDividesByZero(), HUGE_VAL);
}

TEST_F(FaultContainmentTest, APlugInThatHandlesItsOwnFaultsIsNotDisturbed) {
  EXPECT_EQ(library.Expand("$tovra[faulty,probe]|$tovra[faulty,catch]|$tovra[faulty,after]"),
            "probed|thrown inside the plug-in|ok:after");
}

// Makes the file of the plug-in `name` look written now.
void Touch(const std::string &name) {
  HANDLE file = ::CreateFileA(TestLibraryPath(name).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  ++now.dwLowDateTime;  // never the time it had
  EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &now));
  ::CloseHandle(file);
}

TEST_F(FaultContainmentTest, AFaultDuringBringUpMeansThePlugInIsNotBroughtUp) {
  struct Case {
    const char *plugin;
    const char *stepsAfterThreeCalls;  // then the host's unload, and one call more
    const char *stepsAtTheEnd;
    size_t surrogates;  // started after the three calls; one more each after the unload and a new file
  };
  // After a fault the plug-in is brought up in a surrogate, where it faults
  // again: nothing more of it happens here, and no surrogate is started for
  // it again until the host's unload or a new file.
  const Case cases[] = {
      // The system's loader refuses a library whose DllMain faults; the
      // next call tries again, as for any library that does not load.
      {"faultmain", "", "", 0},
      {"faultload", "load unload", "load unload", 1},
      {"faultversion", "load request unload", "load request unload", 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.plugin);
    ClearRecording();
    const std::string call = std::string("$tovra[") + c.plugin + ",x]";
    EXPECT_EQ(library.Expand("a" + call + "b" + call + "c" + call + "d$tovra[ok,1]"), "abcd{1}");
    EXPECT_EQ(Steps(c.plugin), c.stepsAfterThreeCalls);
    EXPECT_EQ(SurrogatesThatRecorded(c.plugin, "load").size(), c.surrogates);
    library.unload();
    EXPECT_EQ(library.Expand(call + call), "");
    EXPECT_EQ(Steps(c.plugin), c.stepsAtTheEnd);
    EXPECT_EQ(SurrogatesThatRecorded(c.plugin, "load").size(), 2 * c.surrogates);
    Touch(c.plugin);
    EXPECT_EQ(library.Expand(call + call), "");
    EXPECT_EQ(SurrogatesThatRecorded(c.plugin, "load").size(), 3 * c.surrogates);
  }
}

TEST_F(FaultContainmentTest, AFaultInUnloadEndsOnlyTheUnload) {
  EXPECT_EQ(library.Expand("$tovra[faultunload,x]$tovra[ok,1]"), "ok:x{1}");
  EXPECT_EQ(library.unload(), TRUE);
  // From now on in a surrogate.
  EXPECT_EQ(library.Expand("$tovra[faultunload,y]$tovra[ok,2]"), "ok:y{2}");
  EXPECT_EQ(Steps("faultunload"), "load request request unload");
}

TEST_F(FaultContainmentTest, TheHostsOwnFaultStillReachesItsFilter) {
  // The host sets its filter, has a plug-in's fault contained, checks that
  // its filter is still the one in place, then faults itself: its filter
  // ends it with 77.
  ChildProcess host("fault_host.exe", "");
  ASSERT_TRUE(host.Started());
  EXPECT_EQ(host.Wait(ChildProcess::kPatience), 77u);
}

}  // namespace
#endif
