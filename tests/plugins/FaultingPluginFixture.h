// The fixture of the tests whose plug-ins fault in the test's own process:
// a library loaded as a host loads it, unloaded before and after each test,
// and an empty recording.
#pragma once

#include <gtest/gtest.h>

#include "Recorder.h"
#include "support/LibraryUnderTest.h"
#include "support/TestLibraries.h"

class FaultingPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Bridged()) GTEST_SKIP() << "these plug-ins fault in this process first, which the bridged run's cannot";
    ASSERT_TRUE(library.IsLoaded()) << LibraryUnderTest::DefaultPath();
    library.unload();
    ClearRecording();
  }
  void TearDown() override {
    if (library.IsLoaded()) library.unload();
  }

  LibraryUnderTest library;
};
