// The bitness bridge: this build's library calling plug-ins of the other
// bitness (the other build's, in bridge\ beside the test program), each
// through the surrogate of its bitness. In the bridged run (TOVRA_BRIDGED)
// the whole suite calls them: where they cannot run here, it is skipped
// whole, and says why.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/PeImage.h"
#include "support/ChildProcess.h"
#include "support/LibraryUnderTest.h"
#include "support/ProcessList.h"
#include "support/TestLibraries.h"

namespace {

#ifdef _WIN64
const unsigned kOtherMachine = PeImage::kMachineX86;
const char kOtherSurrogate[] = "tovra-surrogate32.exe";
#else
const unsigned kOtherMachine = PeImage::kMachineX64;
const char kOtherSurrogate[] = "tovra-surrogate64.exe";
#endif

// Whether the bridge's plug-ins can be called here, and if not, why. Found
// out once: the other build's plug-ins must be there, and the surrogate of
// their bitness must run (started without a channel, it ends at once with 2).
struct BridgeCheck {
  enum State { kNoPlugIns, kNotRunHere, kSurrogateBroken, kReady } state = kNoPlugIns;
  std::string why;
};

const BridgeCheck &CheckTheBridge() {
  static const BridgeCheck check = [] {
    BridgeCheck result;
    const std::string bits = PeImage::Bitness(kOtherMachine);
    if (PeImage::ReadMachine(BridgeDirectory() + "calc.dll") != kOtherMachine) {
      result.why = BridgeDirectory() + " holds no " + bits +
                   " plug-ins: the plugin_bridge test copies them there from the other preset's build, once it is built";
      return result;
    }
    ChildProcess probe(kOtherSurrogate, "probe");
    const DWORD code = probe.Wait(ChildProcess::kPatience);
    char status[16];
    std::snprintf(status, sizeof status, "0x%08lX", static_cast<unsigned long>(code));
    result.state = code == 2 ? BridgeCheck::kReady : BridgeCheck::kNotRunHere;
    if (!probe.Started())
      result.why = "this system does not start " + bits + " programs (" + kOtherSurrogate + " did not start)";
    else if (code >= 0xC0000000)  // a status of the system's loader, not of the program
      result.why = "this system cannot run " + bits + " programs (" + kOtherSurrogate + " ended with status " +
                   status + " as it was started)";
    else if (code != 2) {
      result.state = BridgeCheck::kSurrogateBroken;
      result.why = std::string(kOtherSurrogate) + " started without a channel ended with " + std::to_string(code) +
                   ", not 2";
    }
    return result;
  }();
  return check;
}

// In the bridged run, every test needs the bridge: where it cannot run here,
// none runs.
class BridgedRun : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!Bridged() || CheckTheBridge().state == BridgeCheck::kReady) return;
    ASSERT_NE(CheckTheBridge().state, BridgeCheck::kSurrogateBroken) << CheckTheBridge().why;
    std::printf("The bridged run was skipped: %s\n", CheckTheBridge().why.c_str());
    GTEST_SKIP() << CheckTheBridge().why;
  }
};
::testing::Environment *const bridgedRun = ::testing::AddGlobalTestEnvironment(new BridgedRun);

// The other build's calc answers through the surrogate of its bitness,
// which the library starts from its own directory; where that bitness does
// not start here, the call leaves nothing, as a missing plug-in does.
TEST(BitnessBridge, APlugInOfTheOtherBitnessAnswersThroughItsSurrogate) {
  const BridgeCheck &check = CheckTheBridge();
  if (check.state == BridgeCheck::kNoPlugIns) GTEST_SKIP() << check.why;
  LibraryUnderTest library(BridgeDirectory() + "tovracaller.dll");
  ASSERT_TRUE(library.IsLoaded());
  if (check.state == BridgeCheck::kNotRunHere) {
    EXPECT_EQ(library.Send(RequestFor("a$tovra[calc,add,3,4]b")), OkReply("ab"));
    GTEST_SKIP() << check.why;
  }
  ASSERT_EQ(check.state, BridgeCheck::kReady) << check.why;
  const std::vector<DWORD> before = ChildProcesses(::GetCurrentProcessId(), kOtherSurrogate);
  EXPECT_EQ(library.Send(RequestFor("3 + 4 = $tovra[calc,add,3,4], and back: $tovra[echo,hello]")),
            OkReply("3 + 4 = 7, and back: hello"));
  size_t started = 0;
  for (DWORD id : ChildProcesses(::GetCurrentProcessId(), kOtherSurrogate))
    started += std::find(before.begin(), before.end(), id) == before.end();
  EXPECT_EQ(started, 2u) << "one " << kOtherSurrogate << " for each plug-in";
  library.unload();
}

}  // namespace
#endif
