#include "tools/ShiftJis.h"

#include <algorithm>
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

// The second byte of a code page 932 pair: never a control character, a
// space, a digit, DEL or one of the three highest bytes.
bool IsTrailByte(unsigned char byte) {
  return byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
}

// The characters of `text` from `i` on that are one character: a surrogate
// pair is one.
int UnitsAt(const std::wstring &text, size_t i) {
  return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

// One character (a surrogate pair is one) by its code point: "U+1F600".
std::string CodePointName(const std::wstring &character) {
  const unsigned codePoint =
      UnitsAt(character, 0) == 2 ? 0x10000 + ((character[0] - 0xD800u) << 10) + (character[1] - 0xDC00u)
                                 : character[0];
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", codePoint);
  return name;
}

// One character as a person reads it and by its code point: "😀 (U+1F600)".
std::string CharacterName(const std::wstring &character) {
  return Utf8FromWide(character) + " (" + CodePointName(character) + ")";
}

// `text` in `codePage`, one character at a time, with no best-fit stand-ins.
// Every character that the code page cannot hold is appended to `unheld`,
// each on its own, so that two lone halves of a pair never join into one.
std::string InCodePage(UINT codePage, const std::wstring &text, std::vector<std::wstring> *unheld) {
  std::string bytes;
  for (size_t i = 0; i < text.size();) {
    const int units = UnitsAt(text, i);
    char character[8];
    BOOL usedDefault = FALSE;
    // UTF-8 and UTF-7 take no default character: every character fits.
    const bool fitsAll = codePage == CP_UTF8 || codePage == CP_UTF7;
    const int length = ::WideCharToMultiByte(codePage, fitsAll ? 0 : WC_NO_BEST_FIT_CHARS, &text[i], units,
                                             character, sizeof character, nullptr, fitsAll ? nullptr : &usedDefault);
    if (length <= 0 || usedDefault)
      unheld->push_back(text.substr(i, static_cast<size_t>(units)));
    else
      bytes.append(character, static_cast<size_t>(length));
    i += static_cast<size_t>(units);
  }
  return bytes;
}

std::wstring FromCodePage(UINT codePage, const std::string &bytes) {
  std::wstring wide(bytes.size() + 1, L'\0');
  const int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0],
                                           static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return wide;
}

}  // namespace

std::wstring WideFromUtf8(const std::string &text) {
  return FromCodePage(CP_UTF8, text);
}

std::string Utf8FromWide(const std::wstring &text) {
  std::string bytes(text.size() * 3 + 1, '\0');
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                                           static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return bytes;
}

bool ToShiftJis(const std::wstring &text, std::string *bytes, std::string *character) {
  std::vector<std::wstring> unheld;
  *bytes = InCodePage(kShiftJis, text, &unheld);
  if (unheld.empty()) return true;
  // The first one is named, in ASCII, which any text shown through
  // Shift_JIS can carry.
  *character = CodePointName(unheld[0]);
  bytes->clear();
  return false;
}

std::wstring FromShiftJis(const std::string &bytes) {
  std::wstring text;
  for (size_t i = 0; i < bytes.size();) {
    // A lead byte takes the next byte when that is a trail byte; a pair
    // that code page 932 does not map is one replacement mark. A lead byte
    // before any other byte (a space, a line end, a zero byte) or at the
    // end is a mark of its own, and the byte after it is read as itself.
    const bool pair = i + 1 < bytes.size() && IsLeadByte(static_cast<unsigned char>(bytes[i])) &&
                      IsTrailByte(static_cast<unsigned char>(bytes[i + 1]));
    const int length = pair ? 2 : 1;
    wchar_t character = 0;
    if (::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes.data() + i, length, &character, 1) != 1)
      character = kReplacement;
    text += character;
    i += static_cast<size_t>(length);
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

std::vector<std::string> Utf8Arguments(int, char **) {
  std::vector<std::string> arguments;
  for (const std::wstring &argument : UnicodeArguments()) arguments.push_back(Utf8FromWide(argument));
  return arguments;
}

bool ShiftJisFromUtf8(const std::string &text, std::string *bytes, std::string *error) {
  if (!text.empty() && ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0) == 0) {
    *error = "is not UTF-8 text";
    return false;
  }
  std::vector<std::wstring> unheld;
  *bytes = InCodePage(kShiftJis, WideFromUtf8(text), &unheld);
  if (unheld.empty()) return true;
  bytes->clear();
  *error = "holds " + CharacterName(unheld[0]) + ", a character that Shift_JIS (code page 932) cannot hold";
  return false;
}

std::string Utf8FromShiftJis(const std::string &bytes) {
  return Utf8FromWide(FromShiftJis(bytes));
}

bool AnsiPathFromUtf8(const std::string &path, std::string *ansi, std::string *error) {
  std::vector<std::wstring> unheld;
  *ansi = InCodePage(::GetACP(), WideFromUtf8(path), &unheld);
  if (unheld.empty()) return true;
  std::string names;
  for (size_t i = 0; i < unheld.size(); ++i) {
    // Each character once, in the order of the path.
    if (std::find(unheld.begin(), unheld.begin() + static_cast<std::ptrdiff_t>(i), unheld[i]) !=
        unheld.begin() + static_cast<std::ptrdiff_t>(i))
      continue;
    if (!names.empty()) names += ", ";
    names += CharacterName(unheld[i]);
  }
  *error = path + " holds characters that the system's ANSI code page (" + std::to_string(::GetACP()) +
           ") cannot hold: " + names;
  return false;
}

std::string Utf8FromAnsi(const std::string &text) {
  return Utf8FromWide(FromCodePage(CP_ACP, text));
}

std::string ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length < path.size()) return Utf8FromWide(path.substr(0, length));
    path.resize(path.size() * 2);
  }
}

#else

std::vector<std::string> Utf8Arguments(int argc, char **argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool ShiftJisFromUtf8(const std::string &text, std::string *bytes, std::string *) {
  *bytes = text;
  return true;
}

std::string Utf8FromShiftJis(const std::string &bytes) {
  return bytes;
}

bool AnsiPathFromUtf8(const std::string &path, std::string *ansi, std::string *) {
  *ansi = path;
  return true;
}

std::string Utf8FromAnsi(const std::string &text) {
  return text;
}

std::string ProgramPath() {
  return platform::GetModuleFilePath(platform::GetExecutableModule());
}

#endif
