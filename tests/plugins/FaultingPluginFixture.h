// The fixture of the tests whose plug-ins fault in the test's own process:
// a library loaded as a host loads it, unloaded before and after each test,
// and an empty recording; and what those tests read of the host's state.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <set>
#include <string>

#include "Recorder.h"
#include "support/LibraryUnderTest.h"
#include "support/TestLibraries.h"

// Sets Wine's crash debugger for 64- and 32-bit programs: "false" for none,
// as the test prefixes have it.
inline void SetCrashDebugger(const char *debugger) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", 0,
                          nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr) != ERROR_SUCCESS)
      continue;
    ::RegSetValueExA(key, "Debugger", 0, REG_SZ, reinterpret_cast<const BYTE *>(debugger),
                     static_cast<DWORD>(std::strlen(debugger) + 1));
    ::RegCloseKey(key);
  }
}

class FaultingPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCrashDebugger("false");  // as the prefix has it, even after a run that ended inside a test that changed it
    ASSERT_TRUE(library.IsLoaded()) << LibraryUnderTest::DefaultPath();
    library.unload();
    ClearRecording();
  }
  void TearDown() override {
    if (library.IsLoaded()) library.unload();
  }

  LibraryUnderTest library;
};

// The processes other than this one in which the plug-in `name` (as built)
// recorded an event of `kind`: the surrogates it ran in.
inline std::set<unsigned long> SurrogatesThatRecorded(const std::string &name, const std::string &kind) {
  std::set<unsigned long> processes;
  for (int i = 0; i < RecordedEventCount(); ++i) {
    const RecordedEvent *event = RecordedEventAt(i);
    if (name == event->plugin && kind == event->kind && event->process != ::GetCurrentProcessId())
      processes.insert(event->process);
  }
  return processes;
}

// This thread's floating-point state as its own code sees it: the x87
// control and tag words (0xFFFF: an empty register stack) and MXCSR.
struct HostFloatingPoint {
  uint16_t control = 0, tags = 0;
  uint32_t mxcsr = 0;

  static HostFloatingPoint Now() {
    HostFloatingPoint state;
    unsigned char environment[28];  // fnstenv masks every exception: fldenv puts it back
    __asm__ volatile("fnstenv %0\n\tfldenv %0\n\tstmxcsr %1" : "+m"(environment), "=m"(state.mxcsr));
    std::memcpy(&state.control, environment, 2);
    std::memcpy(&state.tags, environment + 8, 2);
    return state;
  }
  bool operator==(const HostFloatingPoint &other) const {
    return control == other.control && tags == other.tags && mxcsr == other.mxcsr;
  }
};

inline std::ostream &operator<<(std::ostream &out, const HostFloatingPoint &state) {
  char text[64];
  std::snprintf(text, sizeof text, "control %04X, tags %04X, MXCSR %08X", state.control, state.tags,
                static_cast<unsigned>(state.mxcsr));
  return out << text;
}

// The host's own division by zero: a quiet infinity while the host's
// exceptions are masked, a fault where a plug-in left them unmasked.
inline double HostDividesByZero() {
  volatile double zero = 0.0;
  return 1.0 / zero;
}

// Leaves the host's x87 invalid-operation flag set, as any masked 0 / 0 of
// its own does: a plug-in that unmasks the exception then leaves it pending.
inline void HostSetsAnX87Flag() {
  __asm__ volatile("fldz\n\tfldz\n\tfdivp\n\tfstp %%st(0)" ::: "memory");
}

// The guard pages nearest below this frame on this thread's stack: where a
// stack overflow is next caught. Null when there are none.
inline const void *StackGuardPage() {
  volatile char here = 0;
  MEMORY_BASIC_INFORMATION region;
  if (!::VirtualQuery(const_cast<char *>(&here), &region, sizeof region)) return nullptr;
  const void *nearest = nullptr;
  for (const char *at = static_cast<const char *>(region.AllocationBase); at < &here; at += region.RegionSize) {
    if (!::VirtualQuery(at, &region, sizeof region)) break;
    if (region.State == MEM_COMMIT && (region.Protect & PAGE_GUARD)) nearest = at;
  }
  return nearest;
}
