#include <gtest/gtest.h>

#include <stdexcept>

#include "support/TestLibraries.h"
#include "framework/Application.h"
#include "framework/ProcessAttach.h"

namespace {

class TestApplication : public CApplication {
 public:
  BOOL OnAttach() override {
    ++attachCalls;
    return accept;
  }
  int OnDetach() override {
    ++detachCalls;
    return CApplication::OnDetach();
  }

  BOOL accept = TRUE;
  int attachCalls = 0;
  int detachCalls = 0;
};

// Stands in for a window: the application only keeps the pointer.
CWnd *FakeWindow(int n) {
  static char windows[4];
  return reinterpret_cast<CWnd *>(&windows[n]);
}

TEST(Application, ConstructionBindsItToTheHostExecutable) {
  ASSERT_EQ(GetApplication(), nullptr);
  TestApplication application;
  HINSTANCE executable = platform::GetExecutableModule();
  EXPECT_EQ(GetApplication(), &application);
  EXPECT_EQ(application.hModule, executable);
  EXPECT_EQ(GetInstanceHandle(), executable);
  EXPECT_EQ(GetResourceHandle(), executable);
  EXPECT_EQ(application.mainWindow, nullptr);
  EXPECT_STREQ(application.reservedText.c_str(), "");
  EXPECT_STREQ(application.applicationName.c_str(), "Application");
  EXPECT_STREQ(GetApplicationName(), "Application");
  EXPECT_STREQ(application.helpFilePath.c_str(), "framework_tests.hlp");
  EXPECT_EQ(application.showCommand, 0);
  EXPECT_EQ(application.exitCode, 0);
  EXPECT_EQ(application.userValue, 0);
  EXPECT_EQ(application.windowList.GetCount(), 0);
}

TEST(Application, ASecondApplicationObjectThrowsAndTheFirstStaysCurrent) {
  TestApplication first;
  EXPECT_THROW(TestApplication second, std::logic_error);
  EXPECT_EQ(GetApplication(), &first);
}

TEST(Application, DestroyingTheApplicationLeavesNoDanglingCurrentApplication) {
  {
    TestApplication application;
    EXPECT_TRUE(application.SetMainWindow(FakeWindow(0)));
    EXPECT_FALSE(application.SetMainWindow(nullptr));
    EXPECT_EQ(GetMainWindow(), FakeWindow(0)) << "a refused window replaced the main window";
  }
  EXPECT_EQ(GetApplication(), nullptr);
  EXPECT_EQ(GetMainWindow(), nullptr);
  EXPECT_STREQ(GetApplicationName(), "");
  SetUserValue(5);
  EXPECT_EQ(GetUserValue(), 0);
  TestApplication next;
  EXPECT_EQ(GetApplication(), &next);
}

TEST(Application, AttachIsRefusedAndStoresNothing) {
  TestApplication application;
  HINSTANCE before = application.hModule;
  int token;
  EXPECT_FALSE(application.Attach(reinterpret_cast<HINSTANCE>(&token)));
  EXPECT_FALSE(application.Attach(nullptr));
  EXPECT_EQ(application.hModule, before);
}

TEST(Application, SetInstanceHandleOfNullStandsForTheHostExecutable) {
  int token;
  HINSTANCE other = reinterpret_cast<HINSTANCE>(&token);
  SetInstanceHandle(other);
  EXPECT_EQ(GetInstanceHandle(), other);
  EXPECT_EQ(GetResourceHandle(), other);
  SetInstanceHandle(nullptr);
  EXPECT_EQ(GetInstanceHandle(), platform::GetExecutableModule());
  EXPECT_EQ(GetResourceHandle(), platform::GetExecutableModule());
  SetResourceHandle(other);
  EXPECT_EQ(GetInstanceHandle(), platform::GetExecutableModule());
  EXPECT_EQ(GetResourceHandle(), other);
}

int deletions = 0;

class CountedObject : public CObject {
 public:
  ~CountedObject() override { ++deletions; }
};

// Adds a fresh wrapper from inside its destructor, as a wrapper that looks
// at another foreign handle while going away would.
class ChainingObject : public CObject {
 public:
  ~ChainingObject() override { AddTemporaryObject(new CountedObject); }
};

TEST(TemporaryObjects, APurgeDeletesEveryWrapperSkipsNullsAndEmptiesTheList) {
  deletions = 0;
  AddTemporaryObject(new CountedObject);
  AddTemporaryObject(nullptr);
  AddTemporaryObject(new CountedObject);
  PurgeTemporaryObjects();
  EXPECT_EQ(deletions, 2);
  PurgeTemporaryObjects();
  EXPECT_EQ(deletions, 2) << "the list still held deleted objects";
}

TEST(TemporaryObjects, AWrapperAddedDuringAPurgeWaitsForTheNextOne) {
  deletions = 0;
  AddTemporaryObject(new ChainingObject);
  PurgeTemporaryObjects();
  EXPECT_EQ(deletions, 0);
  PurgeTemporaryObjects();
  EXPECT_EQ(deletions, 1) << "the wrapper added during the purge was lost";
}

TEST(PointerArray, KeepsPointersInOrderAndRefusesIndexesOutsideIt) {
  CPointerArray<CWnd> list;
  list.Add(FakeWindow(0));
  list.Add(FakeWindow(1));
  list.Add(FakeWindow(2));
  list.Add(FakeWindow(1));
  EXPECT_EQ(list.GetCount(), 4);
  EXPECT_EQ(list.Find(FakeWindow(1)), 1) << "the first equal entry counts";
  EXPECT_EQ(list.Find(FakeWindow(3)), -1);
  list.RemoveAt(1);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.GetAt(0), FakeWindow(0));
  EXPECT_EQ(list.GetAt(1), FakeWindow(2));
  EXPECT_EQ(list[2], FakeWindow(1));
  for (int index : {-1, 3, 1000}) {
    SCOPED_TRACE(index);
    EXPECT_THROW(list.GetAt(index), std::out_of_range);
    EXPECT_THROW(list.RemoveAt(index), std::out_of_range);
  }
  EXPECT_EQ(list.GetCount(), 3);
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_THROW(list.GetAt(0), std::out_of_range);
}

class ProcessAttachTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library = platform::LoadDynamicLibrary(libraryPath.c_str(), 0);
    ASSERT_NE(library, nullptr);
  }
  void TearDown() override {
    ProcessDetach();
    platform::FreeDynamicLibrary(library);
  }

  std::string libraryPath = TestLibraryPath("framework_testlib_a");
  HMODULE library = nullptr;
};

TEST_F(ProcessAttachTest, WithoutAnApplicationAttachFails) {
  EXPECT_FALSE(ProcessAttach(library));
  EXPECT_FALSE(IsProcessAttached());
#ifdef _WIN32
  EXPECT_FALSE(IsIdleHookInstalled());
#endif
}

TEST_F(ProcessAttachTest, AttachBindsTheApplicationToTheLibraryAndDetachRunsOnDetachOnce) {
  TestApplication application;
  ASSERT_TRUE(ProcessAttach(library));
  EXPECT_TRUE(IsProcessAttached());
  EXPECT_EQ(application.attachCalls, 1);
  EXPECT_EQ(application.hModule, library);
  EXPECT_STREQ(application.GetModuleFileName().c_str(), libraryPath.c_str());
  EXPECT_EQ(GetInstanceHandle(), platform::GetExecutableModule());
  EXPECT_EQ(GetResourceHandle(), library);
  EXPECT_STREQ(application.helpFilePath.c_str(), "framework_tests.hlp");
#ifdef _WIN32
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
  EXPECT_EQ(application.showCommand, startup.wShowWindow);
  EXPECT_TRUE(IsIdleHookInstalled());
  EXPECT_EQ(LegacyWheelMessage(), 0u) << "registered although this is no Windows 95";
#endif

  ProcessDetach();
  EXPECT_EQ(application.detachCalls, 1);
  EXPECT_FALSE(IsProcessAttached());
#ifdef _WIN32
  EXPECT_FALSE(IsIdleHookInstalled());
#endif
  ProcessDetach();
  EXPECT_EQ(application.detachCalls, 1);
}

TEST_F(ProcessAttachTest, ARefusingOnAttachFailsTheAttachAndLeavesNoHookOrDetachBehind) {
  TestApplication application;
  application.accept = FALSE;
  EXPECT_FALSE(ProcessAttach(library));
  EXPECT_EQ(application.attachCalls, 1);
  EXPECT_FALSE(IsProcessAttached());
#ifdef _WIN32
  EXPECT_FALSE(IsIdleHookInstalled()) << "a hook would outlive the library";
#endif
  ProcessDetach();
  EXPECT_EQ(application.detachCalls, 0);
}

#ifdef _WIN32
TEST(IdleHook, OnlyAnHcActionCallPurgesTheTemporaryObjects) {
  deletions = 0;
  AddTemporaryObject(new CountedObject);
  AddTemporaryObject(nullptr);
  AddTemporaryObject(new CountedObject);
  ForegroundIdleHook(HC_ACTION + 1, 0, 0);
  EXPECT_EQ(deletions, 0);
  ForegroundIdleHook(HC_ACTION, 0, 0);
  EXPECT_EQ(deletions, 2);
}

TEST(VersionProbes, WineReportsAnNtFamilySystemOfVersion5OrLater) {
  EXPECT_TRUE(IsWinNT5OrLater());
  EXPECT_FALSE(IsWin95());
  EXPECT_FALSE(IsWin9x98OrLater());
}
#endif

}  // namespace
