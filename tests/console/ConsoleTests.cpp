// tovra-console as a user meets it: started with a text, it shows the
// expanded reply; a text typed into its edit line and sent with Enter is
// expanded too; Japanese goes in and comes out whatever the system code
// page; a second console hands its text to the first; Exit ends it with 0.
// The test reads the reply from the reply view's window text, which is the
// text the view draws, in Unicode.
//
// A check waits only for something to arrive (a new reply, the end of what
// was typed) and then compares it once: a wrong text fails at once, and only
// a console that answers nothing costs the whole patience.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace {

const DWORD kPatience = ChildProcess::kPatience;
// What the reply view shows before anything is sent.
const wchar_t kWelcome[] = L"Type a text with $tovra[...] calls and choose Send.";
const UINT kSend = 100, kUnload = 101, kExit = 102;
const WPARAM kCtrlA = 0x01;

// Polls `ready` until it holds; false when the patience runs out first.
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

// The edit line's own text: for a window of another process GetWindowText
// gives the caption the system keeps, which an edit control does not update.
std::wstring EditText(HWND edit) {
  wchar_t text[512] = L"";
  ::SendMessageW(edit, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

// Waits until `window`'s text is none of `old` and gives the text it became.
bool WaitForNewText(HWND window, const std::vector<std::wstring> &old, std::wstring *text) {
  return WaitFor([&] {
    *text = TextOf(window);
    for (const std::wstring &before : old)
      if (*text == before) return false;
    return true;
  });
}

// Waits until the edit line holds `length` characters or more and gives its
// text.
bool WaitForLength(HWND edit, size_t length, std::wstring *text) {
  return WaitFor([&] {
    *text = EditText(edit);
    return text->size() >= length;
  });
}

void Type(HWND edit, const std::wstring &text) {
  for (wchar_t character : text) ::PostMessageW(edit, WM_CHAR, character, 1);
}

struct Console {
  HWND main = nullptr, edit = nullptr, reply = nullptr;
};

// The console's window, once it has its edit line and reply view.
bool FindConsole(Console *console) {
  return WaitFor([&] {
    console->main = ::FindWindowA("TovraConsole", nullptr);
    console->reply = console->main ? ::FindWindowExA(console->main, nullptr, "TovraConsoleReply", nullptr) : nullptr;
    console->edit = console->main ? ::GetDlgItem(console->main, 200) : nullptr;
    return console->reply && console->edit;
  });
}

TEST(Console, ShowsTheExpandedReplyOfItsTextsAndRunsOnlyOnce) {
  // 表 is 0x95 0x5C; xlonelead answers "x" and a lone lead byte.
  ChildProcess console("tovra-console.exe", "\"日本語 $tovra[ok,表]$tovra[xlonelead]\"");
  ASSERT_TRUE(console.Started());
  Console window;
  ASSERT_TRUE(FindConsole(&window)) << "no console window with its reply view and edit line";
  std::wstring reply;
  ASSERT_TRUE(WaitForNewText(window.reply, {L"", kWelcome}, &reply)) << "no reply to the start text";
  EXPECT_EQ(reply, L"\u65E5\u672C\u8A9E {\u8868}x\uFFFD") << "the start text, Japanese and a byte that is not Shift_JIS";

  // Typed as Unicode characters into the edit line and sent with Enter,
  // which the edit line turns into Send: echo answers what it received.
  ASSERT_TRUE(::SendMessageW(window.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"")));
  const std::wstring typed = L"back: $tovra[echo,\u65E5\u672C], $tovra[nosuchplugin]!";
  Type(window.edit, typed);
  ::PostMessageW(window.edit, WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(WaitForNewText(window.reply, {reply}, &reply)) << "no reply to the typed text";
  EXPECT_EQ(reply, L"back: \u65E5\u672C, !") << "the typed text";

  const LRESULT before = ::SendMessageW(window.edit, EM_GETSEL, 0, 0);
  ::PostMessageW(window.edit, WM_CHAR, kCtrlA, 1);
  LRESULT selection = before;
  ASSERT_TRUE(WaitFor([&] { return (selection = ::SendMessageW(window.edit, EM_GETSEL, 0, 0)) != before; }))
      << "Ctrl+A changes nothing";
  EXPECT_EQ(selection, MAKELONG(0, typed.size())) << "Ctrl+A selects all";

  ::SendMessageW(window.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"caf\u00E9"));
  ::PostMessageA(window.main, WM_COMMAND, kSend, 0);
  ASSERT_TRUE(WaitForNewText(window.reply, {reply}, &reply)) << "no answer to a text Shift_JIS cannot hold";
  EXPECT_NE(reply.find(L"U+00E9"), std::wstring::npos) << "the character is not named: " << reply.c_str();

  // The menu's commands: unloading clears the reply and keeps the console
  // working.
  ::PostMessageA(window.main, WM_COMMAND, kUnload, 0);
  ASSERT_TRUE(WaitForNewText(window.reply, {reply}, &reply)) << "Unload plug-ins shows nothing";
  EXPECT_EQ(reply, L"") << "the old reply after Unload plug-ins";
  ::SendMessageW(window.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"$tovra[calc,mul,6,7]"));
  ::PostMessageA(window.main, WM_COMMAND, kSend, 0);
  ASSERT_TRUE(WaitForNewText(window.reply, {reply}, &reply)) << "no reply after Unload plug-ins";
  EXPECT_EQ(reply, L"42") << "after Unload plug-ins";

  // A second console gives its text to the first and ends; without a text
  // it changes nothing.
  ChildProcess second("tovra-console.exe", "\"$tovra[ok,\u4E8C]\"");
  EXPECT_EQ(second.Wait(kPatience), 1u) << "a second console ran";
  ASSERT_TRUE(WaitForNewText(window.reply, {reply}, &reply)) << "no reply to the second console's text";
  EXPECT_EQ(reply, L"{\u4E8C}") << "the second console's text";
  ChildProcess third("tovra-console.exe", "");
  EXPECT_EQ(third.Wait(kPatience), 1u) << "a third console ran";
  EXPECT_EQ(TextOf(window.reply), L"{\u4E8C}");

  ::PostMessageA(window.main, WM_COMMAND, kExit, 0);
  EXPECT_EQ(console.Wait(kPatience), 0u) << "Exit did not end the console with 0";
}

// What an IME gives reaches the edit line whole, and a WM_COPYDATA without
// the console's tag is another program's: it is refused and changes
// nothing, neither the edit line nor the requests sent.
TEST(Console, TakesImeInputAndRefusesOtherProgramsCopyData) {
  // tally answers how often it has seen the word since it was loaded.
  ChildProcess console("tovra-console.exe", "\"$tovra[tally,n]\"");
  ASSERT_TRUE(console.Started());
  Console window;
  ASSERT_TRUE(FindConsole(&window)) << "no console window with its reply view and edit line";
  std::wstring reply;
  ASSERT_TRUE(WaitForNewText(window.reply, {L"", kWelcome}, &reply)) << "no reply to the start text";
  EXPECT_EQ(reply, L"1");

  // An IME gives its input to the window with the keyboard focus, a
  // composition's result as WM_IME_CHAR messages that pass the console's
  // ANSI message loop: characters outside the system's code page (the
  // Japanese ones outside 1252, é outside 932) must come through whole.
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  ASSERT_TRUE(::GetGUIThreadInfo(::GetWindowThreadProcessId(window.main, nullptr), &thread));
  EXPECT_EQ(thread.hwndFocus, window.edit) << "the edit line does not have the keyboard focus";
  const std::wstring composed = L"\u65E5\u672C\u8A9E\u00E9";
  ASSERT_TRUE(::SendMessageW(window.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"")));
  for (wchar_t character : composed) ::PostMessageW(window.edit, WM_IME_CHAR, character, 1);
  ::PostMessageW(window.edit, WM_CHAR, L'.', 1);  // typed after the IME input, it comes after it
  std::wstring edited;
  ASSERT_TRUE(WaitForLength(window.edit, composed.size() + 1, &edited)) << "the IME input never shows: " << edited;
  EXPECT_EQ(edited, composed + L".");

  const std::wstring foreign = L"$tovra[tally,n]";
  const struct {
    const char *name;
    ULONG_PTR tag;
  } others[] = {
      {"no tag", 0},
      {"the tag plus one", 0x54564332},
      {"the tag's bytes reversed", 0x31435654},
      {"the tag's first three bytes", 0x00564331},
  };
  for (const auto &other : others) {
    SCOPED_TRACE(other.name);
    COPYDATASTRUCT data = {other.tag, static_cast<DWORD>(foreign.size() * sizeof(wchar_t)),
                           const_cast<wchar_t *>(foreign.data())};
    DWORD_PTR answer = 1;
    ASSERT_TRUE(::SendMessageTimeoutW(window.main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                                      kPatience, &answer))
        << "the console did not answer";
    EXPECT_EQ(answer, 0u) << "taken";
    EXPECT_EQ(EditText(window.edit), edited) << "the edit line took another program's text";
  }
  // Posted after them, the next Send is the next reply, and tally's second
  // request: none of the refused messages sent anything.
  ::PostMessageW(window.edit, WM_CHAR, kCtrlA, 1);
  Type(window.edit, L"$tovra[tally,n]!");
  ::PostMessageW(window.edit, WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_TRUE(WaitForNewText(window.reply, {reply}, &reply)) << "no reply to the typed text";
  EXPECT_EQ(reply, L"2!");

  ::PostMessageA(window.main, WM_COMMAND, kExit, 0);
  EXPECT_EQ(console.Wait(kPatience), 0u) << "Exit did not end the console with 0";
}

}  // namespace
