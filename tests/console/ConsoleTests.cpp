// tovra-console as a user meets it: started with a text, it shows the
// expanded reply; a text typed into its edit line and sent with Enter is
// expanded too; Japanese goes in and comes out whatever the system code
// page; a second console hands its text to the first; Exit ends it with 0.
// The test reads the reply from the reply view's window text, which is the
// text the view draws, in Unicode.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "support/ChildProcess.h"

namespace {

const DWORD kPatience = ChildProcess::kPatience;

// Polls `ready` until it holds or the patience runs out.
bool WaitFor(const std::function<bool()> &ready) {
  for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kPatience; ::Sleep(50))
    if (ready()) return true;
  return ready();
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = L"";
  ::GetWindowTextW(window, text, 512);
  return text;
}

// The reply view's text once it is `expected`, or whatever it is when the
// patience runs out.
std::wstring WaitForReply(HWND reply, const std::wstring &expected) {
  WaitFor([&] { return TextOf(reply) == expected; });
  return TextOf(reply);
}

void Type(HWND edit, const std::wstring &text) {
  for (wchar_t character : text) ::PostMessageW(edit, WM_CHAR, character, 1);
}

TEST(Console, ShowsTheExpandedReplyOfItsTextsAndRunsOnlyOnce) {
  // 表 is 0x95 0x5C; xlonelead answers "x" and a lone lead byte.
  ChildProcess console("tovra-console.exe", "\"日本語 $tovra[ok,表]$tovra[xlonelead]\"");
  ASSERT_TRUE(console.Started());
  HWND main = nullptr, reply = nullptr, edit = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    main = ::FindWindowA("TovraConsole", nullptr);
    reply = main ? ::FindWindowExA(main, nullptr, "TovraConsoleReply", nullptr) : nullptr;
    edit = main ? ::GetDlgItem(main, 200) : nullptr;
    return reply && edit;
  })) << "no console window with its reply view and edit line";
  EXPECT_EQ(WaitForReply(reply, L"\u65E5\u672C\u8A9E {\u8868}x\uFFFD"), L"\u65E5\u672C\u8A9E {\u8868}x\uFFFD")
      << "the start text, Japanese and a byte that is not Shift_JIS";

  // Typed as Unicode characters into the edit line and sent with Enter,
  // which the edit line turns into Send: echo answers what it received.
  ASSERT_TRUE(::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"")));
  const std::wstring typed = L"back: $tovra[echo,\u65E5\u672C], $tovra[nosuchplugin]!";
  Type(edit, typed);
  ::PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(WaitForReply(reply, L"back: \u65E5\u672C, !"), L"back: \u65E5\u672C, !") << "the typed text";

  ::PostMessageW(edit, WM_CHAR, 0x01, 1);  // Ctrl+A
  const LRESULT all = MAKELONG(0, typed.size());
  EXPECT_TRUE(WaitFor([&] { return ::SendMessageW(edit, EM_GETSEL, 0, 0) == all; })) << "Ctrl+A selects all";

  ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"caf\u00E9"));
  ::PostMessageA(main, WM_COMMAND, 100, 0);
  EXPECT_TRUE(WaitFor([&] { return TextOf(reply).find(L"U+00E9") != std::wstring::npos; }))
      << "a character Shift_JIS cannot hold is not named";

  // The menu's commands: unloading clears the reply and keeps the console
  // working.
  ::PostMessageA(main, WM_COMMAND, 101, 0);
  EXPECT_EQ(WaitForReply(reply, L""), L"") << "the old reply after Unload plug-ins";
  ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"$tovra[calc,mul,6,7]"));
  ::PostMessageA(main, WM_COMMAND, 100, 0);
  EXPECT_EQ(WaitForReply(reply, L"42"), L"42") << "after Unload plug-ins";

  // A second console gives its text to the first and ends; without a text
  // it changes nothing.
  ChildProcess second("tovra-console.exe", "\"$tovra[ok,\u4E8C]\"");
  EXPECT_EQ(second.Wait(kPatience), 1u) << "a second console ran";
  EXPECT_EQ(WaitForReply(reply, L"{\u4E8C}"), L"{\u4E8C}") << "the second console's text";
  ChildProcess third("tovra-console.exe", "");
  EXPECT_EQ(third.Wait(kPatience), 1u) << "a third console ran";
  EXPECT_EQ(TextOf(reply), L"{\u4E8C}");

  ::PostMessageA(main, WM_COMMAND, 102, 0);
  EXPECT_EQ(console.Wait(kPatience), 0u) << "Exit did not end the console with 0";
}

}  // namespace
