// tovra-console as a user meets it: started with a text, it shows the
// expanded reply; a text typed into its edit line and sent with Enter is
// expanded too; a second console does not start; Exit ends it with 0.
// The test reads the reply from the reply view's window text, which is what
// the view draws.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/ChildProcess.h"

namespace {

const DWORD kPatience = 30000;

HWND WaitForWindow(const char *className) {
  for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kPatience; ::Sleep(50))
    if (HWND window = ::FindWindowA(className, nullptr)) return window;
  return nullptr;
}

std::string TextOf(HWND window) {
  char text[512] = "";
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

// The reply view's text once it is `expected`, or whatever it is when the
// patience runs out.
std::string WaitForReply(HWND reply, const std::string &expected) {
  std::string text;
  for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kPatience; ::Sleep(50))
    if ((text = TextOf(reply)) == expected) break;
  return text;
}

TEST(Console, ShowsTheExpandedReplyOfItsTextsAndRunsOnlyOnce) {
  ChildProcess console("tovra-console.exe", "\"3 + 4 = $tovra[calc,add,3,4]\"");
  ASSERT_TRUE(console.Started());
  HWND main = WaitForWindow("TovraConsole");
  ASSERT_NE(main, nullptr) << "no console window";
  HWND reply = ::FindWindowExA(main, nullptr, "TovraConsoleReply", nullptr);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(WaitForReply(reply, "3 + 4 = 7"), "3 + 4 = 7") << "the start text";

  // Typed into the edit line and sent with Enter, which the subclassed edit
  // line turns into Send.
  HWND edit = ::GetDlgItem(main, 200);
  ASSERT_NE(edit, nullptr);
  const char typed[] = "back: $tovra[echo,hello], $tovra[nosuchplugin]!";
  ASSERT_TRUE(::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed)));
  ::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(WaitForReply(reply, "back: hello, !"), "back: hello, !") << "the typed text";

  // The menu's commands: unloading keeps the console working.
  ::PostMessageA(main, WM_COMMAND, 101, 0);
  ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("$tovra[calc,mul,6,7]"));
  ::PostMessageA(main, WM_COMMAND, 100, 0);
  EXPECT_EQ(WaitForReply(reply, "42"), "42") << "after Unload plug-ins";

  ChildProcess second("tovra-console.exe", "");
  EXPECT_EQ(second.Wait(kPatience), 1u) << "a second console ran";
  EXPECT_TRUE(::IsWindow(main));

  ::PostMessageA(main, WM_COMMAND, 102, 0);
  EXPECT_EQ(console.Wait(kPatience), 0u) << "Exit did not end the console with 0";
}

}  // namespace
