#include "tools/ShiftJis.h"

#include <cstdio>

#include "platform/LeadBytes.h"
#include "platform/Platform.h"

#ifdef _WIN32
#include <shellapi.h>

namespace {

const UINT kShiftJis = 932;
const wchar_t kReplacement = 0xFFFD;

bool IsHighSurrogate(wchar_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

bool ToShiftJis(const std::wstring &text, std::string *bytes, std::string *error) {
  bytes->clear();
  for (size_t i = 0; i < text.size();) {
    // One character at a time, so that the first one that cannot be held is
    // the one named. A surrogate pair is one character, never in Shift_JIS.
    const int units = IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
    char pair[2];
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, &text[i], units, pair, sizeof pair,
                                             nullptr, &usedDefault);
    if (length <= 0 || usedDefault) {
      const unsigned codePoint =
          units == 2 ? 0x10000 + ((text[i] - 0xD800u) << 10) + (text[i + 1] - 0xDC00u) : text[i];
      char name[16];
      std::snprintf(name, sizeof name, "U+%04X", codePoint);
      *error = name;
      return false;
    }
    bytes->append(pair, static_cast<size_t>(length));
    i += static_cast<size_t>(units);
  }
  return true;
}

std::wstring FromShiftJis(const std::string &bytes) {
  std::wstring text;
  for (size_t i = 0; i < bytes.size();) {
    // A lead byte takes the next byte as its trail; a pair that code page
    // 932 does not map, or a lead byte before a line end or at the end,
    // is one replacement mark.
    const size_t length = StartsPair(bytes.c_str() + i) ? 2 : 1;
    wchar_t character = 0;
    if (::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes.data() + i, static_cast<int>(length),
                              &character, 1) != 1)
      character = kReplacement;
    text += character;
    i += length;
  }
  return text;
}

std::vector<std::wstring> UnicodeArguments() {
  std::vector<std::wstring> arguments;
  int count = 0;
  if (wchar_t **wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    arguments.assign(wide + (count > 0 ? 1 : 0), wide + count);
    ::LocalFree(wide);
  }
  return arguments;
}

bool ShiftJisArguments(int, char **, std::vector<std::string> *arguments, std::string *error) {
  arguments->clear();
  const std::vector<std::wstring> wide = UnicodeArguments();
  for (size_t i = 0; i < wide.size(); ++i) {
    std::string bytes, character;
    if (!ToShiftJis(wide[i], &bytes, &character)) {
      *error = "argument " + std::to_string(i + 1) + " holds " + character +
               ", a character that Shift_JIS (code page 932) cannot hold";
      return false;
    }
    arguments->push_back(bytes);
  }
  return true;
}

#else

bool ShiftJisArguments(int argc, char **argv, std::vector<std::string> *arguments, std::string *) {
  arguments->assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  return true;
}

#endif
