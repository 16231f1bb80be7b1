// The application's services for windowed programs: class registration,
// the idle list, the message loops, the message box and the single-instance
// check (here and across two processes).
#include <gtest/gtest.h>

#include <string>

#include "WindowTestSupport.h"
#include "support/ChildProcess.h"

namespace {

int registrations = 0;
ATOM(WINAPI *realRegisterClassExA)(const WNDCLASSEXA *);
ATOM WINAPI CountRegisterClassExA(const WNDCLASSEXA *windowClass) {
  ++registrations;
  return realRegisterClassExA(windowClass);
}

TEST_F(WindowTest, RegisteringAClassTwiceSucceedsAndRegistersOnce) {
  ImportHook<ATOM(WINAPI *)(const WNDCLASSEXA *)> hook("user32.dll", "RegisterClassExA", CountRegisterClassExA);
  ASSERT_TRUE(hook.Installed());
  realRegisterClassExA = hook.Original();
  registrations = 0;
  EXPECT_TRUE(RegisterWindowClass("TovraTwice", CS_DBLCLKS, nullptr, nullptr, nullptr, nullptr));
  EXPECT_TRUE(RegisterWindowClass("TovraTwice", 0, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(registrations, 1);
  WNDCLASSEXA info = {};
  info.cbSize = sizeof info;
  ASSERT_TRUE(::GetClassInfoExA(application.hModule, "TovraTwice", &info));
  EXPECT_EQ(info.lpfnWndProc, &CWnd::SharedWindowProcedure);
  EXPECT_EQ(info.style, static_cast<UINT>(CS_DBLCLKS));
}

TEST_F(WindowTest, TheIdleListTakesOnlyBoundWindows) {
  RecordingWindow bound;
  ASSERT_TRUE(bound.CreateFrame());
  CountedWindow foreign;
  CWnd attached;
  ASSERT_TRUE(attached.Attach(foreign.Get()));
  EXPECT_FALSE(application.AddWindow(nullptr));
  EXPECT_FALSE(application.AddWindow(&attached));
  EXPECT_TRUE(application.AddWindow(&bound));
  EXPECT_EQ(application.windowList.GetCount(), 1);
  EXPECT_FALSE(application.RemoveWindow(&attached));
  EXPECT_TRUE(application.RemoveWindow(&bound));
  EXPECT_TRUE(application.RemoveWindow(&bound)) << "a window not on the list";
  EXPECT_EQ(application.windowList.GetCount(), 0);
  bound.Destroy();
}

TEST_F(WindowTest, RunReturnsAtOnceWithExitCodeZeroWithoutAMainWindow) {
  application.exitCode = 9;
  ::PostMessageA(nullptr, WM_USER, 0, 0);
  EXPECT_EQ(application.Run(), 0);
  EXPECT_TRUE(application.idleCounts.empty());
  MSG message;
  EXPECT_TRUE(::PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE)) << "Run took a message";
}

TEST_F(WindowTest, RunDispatchesUntilQuitAndReturnsItsCode) {
  RecordingWindow main;
  ASSERT_TRUE(main.CreateFrame());
  application.SetMainWindow(&main);
  main.log.clear();
  ::PostMessageA(main.GetHandle(), WM_COMMAND, 7, 0);
  ::PostMessageA(main.GetHandle(), WM_COMMAND, 8, 0);
  application.consumeMessage = WM_TIMER;  // PreTranslate keeps it from the window
  ::PostMessageA(main.GetHandle(), WM_TIMER, 3, 0);
  application.quitAfterIdleCalls = 1;
  application.quitCode = 42;
  EXPECT_EQ(application.Run(), 42);
  EXPECT_EQ(application.exitCode, 42);
  EXPECT_TRUE(main.Logged(Call("OnCommand", 7u, 0u)));
  EXPECT_TRUE(main.Logged(Call("OnCommand", 8u, 0u)));
  EXPECT_FALSE(main.Logged(Call("OnTimer", 3u)));
  main.Destroy();
}

TEST_F(WindowTest, IdleCallsReachEveryWindowOfTheListWhateverTheOthersAnswer) {
  RecordingWindow main, first, second;
  for (RecordingWindow *window : {&main, &first, &second}) ASSERT_TRUE(window->CreateFrame());
  application.SetMainWindow(&main);
  first.idleResult = FALSE;
  second.idleResult = TRUE;
  ASSERT_TRUE(application.AddWindow(&first));
  ASSERT_TRUE(application.AddWindow(&second));
  application.quitAfterIdleCalls = 1;
  application.Run();
  EXPECT_EQ(first.idleCalls, 1);
  EXPECT_EQ(second.idleCalls, 1);
  EXPECT_EQ(main.idleCalls, 0) << "the main window is not on the list";
  for (RecordingWindow *window : {&main, &first, &second}) window->Destroy();
}

TEST_F(WindowTest, TheIdleCountRunsUpWhileEveryoneWantsMoreAndStartsAgainAfterAMessage) {
  RecordingWindow main, listed;
  ASSERT_TRUE(main.CreateFrame());
  ASSERT_TRUE(listed.CreateFrame());
  application.SetMainWindow(&main);
  ASSERT_TRUE(application.AddWindow(&listed));
  listed.idleResult = TRUE;
  application.moreIdleWork = TRUE;
  application.quitAfterIdleCalls = 4;
  application.Run();
  EXPECT_EQ(application.idleCounts, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(listed.idleCalls, 4);

  // A window that wants no more stops the idle calls until a message (the
  // timer's) comes; then they start again from 0.
  application.idleCounts.clear();
  listed.idleResult = FALSE;
  ::SetTimer(main.GetHandle(), 1, 20, nullptr);
  application.quitAfterIdleCalls = 2;
  application.Run();
  ::KillTimer(main.GetHandle(), 1);
  EXPECT_EQ(application.idleCounts, (std::vector<int>{0, 0})) << "the count did not start again after a message";
  main.Destroy();
  listed.Destroy();
}

TEST_F(WindowTest, PumpPendingMessagesDispatchesWhatIsQueuedAndLeavesTheQuitForTheLoop) {
  RecordingWindow main;
  ASSERT_TRUE(main.CreateFrame());
  main.log.clear();
  ::PostMessageA(main.GetHandle(), WM_COMMAND, 1, 0);
  application.PumpPendingMessages();
  EXPECT_FALSE(main.Logged(Call("OnCommand", 1u, 0u))) << "dispatched without a main window";
  MSG message;
  EXPECT_TRUE(::PeekMessageA(&message, nullptr, WM_COMMAND, WM_COMMAND, PM_NOREMOVE)) << "a message was lost";

  application.SetMainWindow(&main);
  ::PostQuitMessage(6);
  ::PostMessageA(main.GetHandle(), WM_COMMAND, 2, 0);
  application.PumpPendingMessages();
  EXPECT_TRUE(main.Logged(Call("OnCommand", 1u, 0u)));
  EXPECT_TRUE(main.Logged(Call("OnCommand", 2u, 0u)));
  WPARAM code = 0;
  EXPECT_TRUE(TakeQuit(&code)) << "the quit was swallowed";
  EXPECT_EQ(code, 6u);
  main.Destroy();
}

TEST_F(WindowTest, PumpMessagesForKeepsDispatchingForItsTime) {
  RecordingWindow main;
  ASSERT_TRUE(main.CreateFrame());
  application.SetMainWindow(&main);
  main.log.clear();
  ::SetTimer(main.GetHandle(), 1, 10, nullptr);
  const DWORD start = ::GetTickCount();
  application.PumpMessagesFor(120);
  const DWORD elapsed = ::GetTickCount() - start;
  ::KillTimer(main.GetHandle(), 1);
  EXPECT_GE(elapsed, 120u);
  // Far above any delay a loaded machine adds, well below a wrong unit.
  EXPECT_LT(elapsed, 20000u);
  EXPECT_TRUE(main.Logged(Call("OnTimer", 1u))) << "no timer message arrived while pumping";
  main.Destroy();
}

TEST_F(WindowTest, ShowMainWindowUsesTheStartUpShowCommandForMinusOne) {
  application.ShowMainWindow(SW_SHOW);  // without a main window: nothing
  RecordingWindow main;
  ASSERT_TRUE(main.CreateFrame());
  application.SetMainWindow(&main);
  application.showCommand = SW_SHOWNOACTIVATE;
  application.ShowMainWindow(-1);
  EXPECT_TRUE(::IsWindowVisible(main.GetHandle()));
  application.ShowMainWindow(SW_HIDE);
  EXPECT_FALSE(::IsWindowVisible(main.GetHandle()));
  main.Destroy();
}

struct MessageBoxCall {
  HWND owner;
  std::string text, caption;
  UINT type;
};
std::vector<MessageBoxCall> messageBoxes;
int WINAPI RecordMessageBox(HWND owner, const char *text, const char *caption, UINT type) {
  messageBoxes.push_back({owner, text, caption, type});
  return IDOK;
}
typedef int(WINAPI *MessageBoxFunction)(HWND, const char *, const char *, UINT);

TEST_F(WindowTest, ShowMessageComesToTheFrontAndIsTaskModalOnlyWithoutAMainWindow) {
  ImportHook<MessageBoxFunction> hook("user32.dll", "MessageBoxA", RecordMessageBox);
  ASSERT_TRUE(hook.Installed());
  messageBoxes.clear();
  application.applicationName = "Console";
  EXPECT_EQ(ShowMessage("alone", MB_OK), IDOK);
  EXPECT_EQ(ShowMessage(nullptr, MB_ICONEXCLAMATION), IDOK);
  RecordingWindow main;
  ASSERT_TRUE(main.CreateFrame());
  application.SetMainWindow(&main);
  EXPECT_EQ(application.ShowMessage("owned", MB_YESNO), IDOK);
  ASSERT_EQ(messageBoxes.size(), 3u);
  EXPECT_EQ(messageBoxes[0].owner, nullptr);
  EXPECT_EQ(messageBoxes[0].type, static_cast<UINT>(MB_OK | 0x12000));
  EXPECT_EQ(messageBoxes[0].caption, "Console");
  EXPECT_EQ(messageBoxes[1].text, "") << "a null text is the empty text";
  EXPECT_EQ(messageBoxes[1].type, static_cast<UINT>(MB_ICONEXCLAMATION | 0x12000));
  EXPECT_EQ(messageBoxes[2].owner, main.GetHandle());
  EXPECT_EQ(messageBoxes[2].type, static_cast<UINT>(MB_YESNO | 0x10000));
  main.Destroy();
}

std::string UniqueName(const char *what) {
  return std::string("TovraTest.") + what + "." + std::to_string(::GetCurrentProcessId());
}

int mutexCreations = 0;
HANDLE(WINAPI *realCreateMutexA)(SECURITY_ATTRIBUTES *, BOOL, const char *);
HANDLE WINAPI CountCreateMutexA(SECURITY_ATTRIBUTES *attributes, BOOL owner, const char *name) {
  ++mutexCreations;
  return realCreateMutexA(attributes, owner, name);
}

TEST_F(WindowTest, ASingleInstanceAnswerIsKeptWhileTheMutexIsHeldAndAskedAfreshAfterAnotherInstance) {
  ImportHook<HANDLE(WINAPI *)(SECURITY_ATTRIBUTES *, BOOL, const char *)> hook("kernel32.dll", "CreateMutexA",
                                                                              CountCreateMutexA);
  ASSERT_TRUE(hook.Installed());
  realCreateMutexA = hook.Original();
  const std::string name = UniqueName("instance");
  HANDLE other = realCreateMutexA(nullptr, FALSE, name.c_str());
  mutexCreations = 0;
  EXPECT_TRUE(application.CheckSingleInstance(name.c_str())) << "another instance holds the mutex";
  EXPECT_EQ(application.instanceMutex.GetHandle(), nullptr);
  ::CloseHandle(other);
  EXPECT_FALSE(application.CheckSingleInstance(name.c_str())) << "the check was not made afresh";
  EXPECT_FALSE(application.CheckSingleInstance(name.c_str()));
  EXPECT_EQ(mutexCreations, 2) << "a held mutex was made again";
}

TEST_F(WindowTest, AMutexThatCannotBeMadeIsReportedAndStopsTheProgram) {
  ImportHook<MessageBoxFunction> hook("user32.dll", "MessageBoxA", RecordMessageBox);
  ASSERT_TRUE(hook.Installed());
  messageBoxes.clear();
  // An event of that name exists, so no mutex can have it.
  const std::string name = UniqueName("taken");
  HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, name.c_str());
  EXPECT_TRUE(application.CheckSingleInstance(name.c_str()));
  ::CloseHandle(event);
  ASSERT_EQ(messageBoxes.size(), 1u);
  EXPECT_EQ(messageBoxes[0].text,
            "\x93\xE0\x95\x94\x83\x47\x83\x89\x81\x5B\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42");
  EXPECT_EQ(messageBoxes[0].type, static_cast<UINT>(MB_ICONEXCLAMATION | 0x12000));
}

// The probe program beside this one answers with exit code 1 when its check
// finds another instance and 0 when it does not.
DWORD RunProbe(const std::string &name) {
  ChildProcess probe("instance_probe.exe", name);
  return probe.Wait(ChildProcess::kPatience);
}

TEST_F(WindowTest, ASecondProcessFindsTheFirstInstanceUntilItEnds) {
  const std::string name = UniqueName("processes");
  EXPECT_EQ(RunProbe(name), 0u) << "nobody holds the mutex yet";
  ASSERT_FALSE(application.CheckSingleInstance(name.c_str()));
  EXPECT_EQ(RunProbe(name), 1u) << "the second process did not see this one";
  application.instanceMutex.Close();
  EXPECT_EQ(RunProbe(name), 0u);
}

}  // namespace
