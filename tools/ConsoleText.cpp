#include "tools/ConsoleText.h"

#include <algorithm>
#include <iostream>

#include "tools/ShiftJis.h"

#ifdef _WIN32
#include <io.h>

namespace {

// The handle when it is a console: GetConsoleMode fails for a file or a
// pipe (under Wine too, where output to a file is no console).
HANDLE ConsoleOf(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle && ::GetConsoleMode(handle, &mode) ? handle : nullptr;
}

HANDLE HandleOf(std::FILE *stream) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

}  // namespace

bool WriteTextTo(HANDLE handle, const std::string &text) {
  if (HANDLE console = ConsoleOf(handle)) {
    const std::wstring wide = WideFromUtf8(text);
    // In pieces: older consoles refuse one very long write. A piece never
    // ends between the two halves of a surrogate pair.
    const size_t kPiece = 8192;
    for (size_t at = 0; at < wide.size();) {
      size_t count = std::min(kPiece, wide.size() - at);
      if (at + count < wide.size() && wide[at + count - 1] >= 0xD800 && wide[at + count - 1] <= 0xDBFF) --count;
      DWORD written = 0;
      if (!::WriteConsoleW(console, wide.data() + at, static_cast<DWORD>(count), &written, nullptr)) return false;
      at += count;
    }
    return true;
  }
  DWORD written = 0;
  return ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

void WriteText(std::FILE *stream, const std::string &text) {
  if (ConsoleOf(HandleOf(stream))) {
    // What the C library holds goes first, so that the order stays.
    std::fflush(stream);
    WriteTextTo(HandleOf(stream), text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stream);
}

bool ReadTextLine(std::string *line) {
  static bool first = true;
  HANDLE console = ConsoleOf(::GetStdHandle(STD_INPUT_HANDLE));
  if (!console) {
    if (!std::getline(std::cin, *line)) return false;
    if (first && line->compare(0, 3, "\xEF\xBB\xBF") == 0) line->erase(0, 3);
    first = false;
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
  }
  // Typed lines, as the console hands them over: what follows a line end
  // waits for the next call.
  static std::wstring pending;
  std::wstring typed;
  for (;;) {
    const size_t end = pending.find(L'\n');
    if (end != std::wstring::npos) {
      typed = pending.substr(0, end);
      pending.erase(0, end + 1);
      break;
    }
    wchar_t buffer[1024];
    DWORD count = 0;
    if (!::ReadConsoleW(console, buffer, 1024, &count, nullptr) || count == 0) {
      if (pending.empty()) return false;
      typed.swap(pending);
      break;
    }
    pending.append(buffer, count);
  }
  if (!typed.empty() && typed.back() == L'\r') typed.pop_back();
  // Ctrl+Z at the start of a line ends the input, as it does for programs
  // that read the console through the C library.
  if (!typed.empty() && typed[0] == 0x1A) return false;
  *line = Utf8FromWide(typed);
  return true;
}

#else

void WriteText(std::FILE *stream, const std::string &text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

bool ReadTextLine(std::string *line) {
  if (!std::getline(std::cin, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

#endif
