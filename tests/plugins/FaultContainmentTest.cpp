// Plug-ins that fault, driven through the real library as a host drives it:
// each fault ends only its own call, the rest of the text is expanded, and
// the faulted plug-in is left alone until the host's unload.
#ifdef _WIN32
#include <gtest/gtest.h>

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
  std::vector<std::string> kinds = {"write", "read", "execute", "overflow", "overflow", "divide", "intoverflow",
                                    "illegal", "privileged", "breakpoint", "float", "raise", "msvc"};
#ifdef _WIN64
  // A 32-bit GCC-built plug-in's C++ exception never leaves it: its runtime
  // ends the process when no frame of its own catches it.
  kinds.push_back("cxx");
#endif
  for (size_t i = 0; i < kinds.size(); ++i) {
    const std::string &kind = kinds[i];
    SCOPED_TRACE(kind);
    // A plug-in of its own for each fault: one that faulted runs in a
    // surrogate for the rest of the library's life.
    const std::string name = FaultingCopy("faulty", "faulty" + std::to_string(i));
    ClearRecording();
    EXPECT_EQ(library.Expand("a$tovra[ok,1]b$tovra[" + name + "," + kind + "]c$tovra[" + name + ",again]d"),
              "a{1}bcok:againd");
    // Here: the bring-up, the version request and the call that faulted.
    EXPECT_EQ(Steps("faulty"), "load request request");
    library.unload();
    EXPECT_EQ(Steps("faulty"), "load request request unload");
    EXPECT_EQ(library.Expand("$tovra[" + name + ",fresh]"), "ok:fresh");
    EXPECT_EQ(Steps("faulty"), "load request request unload");  // it does not come back here
  }
}

TEST_F(FaultContainmentTest, APlugInThatHandlesItsOwnFaultsIsNotDisturbed) {
  EXPECT_EQ(library.Expand("$tovra[faulty,probe]|$tovra[faulty,catch]|$tovra[faulty,after]"),
            "probed|thrown inside the plug-in|ok:after");
}

TEST_F(FaultContainmentTest, AFaultDuringBringUpMeansThePlugInIsNotBroughtUp) {
  struct Case {
    const char *plugin;
    const char *stepsAfterTwoCalls;  // then the host's unload, and one call more
    const char *stepsAtTheEnd;
  };
  // After a fault the plug-in is brought up in a surrogate, where it faults
  // again: nothing more of it happens here.
  const Case cases[] = {
      // The system's loader refuses a library whose DllMain faults; the
      // next call tries again, as for any library that does not load.
      {"faultmain", "", ""},
      {"faultload", "load unload", "load unload"},
      {"faultversion", "load request unload", "load request unload"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.plugin);
    ClearRecording();
    const std::string call = std::string("$tovra[") + c.plugin + ",x]";
    EXPECT_EQ(library.Expand("a" + call + "b" + call + "c$tovra[ok,1]"), "abc{1}");
    EXPECT_EQ(Steps(c.plugin), c.stepsAfterTwoCalls);
    library.unload();
    EXPECT_EQ(library.Expand(call), "");
    EXPECT_EQ(Steps(c.plugin), c.stepsAtTheEnd);
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
