// The tools' Unicode edge. What a person gives a tool (its command line, a
// line typed or read, the console's edit line) is Unicode, and what a tool
// shows is Unicode; the library and the framework take and give Shift_JIS
// bytes, and the loader takes paths in the system's ANSI code page.
//
// Inside the tools a person's text is UTF-8: these functions turn it into
// the bytes each side takes and back. Shift_JIS goes through code page 932,
// which is there whatever the system's own code page, so Japanese never
// turns into '?' or into Western letters. Natively, where the library takes
// the bytes a person gives, every conversion leaves the bytes as they are.
#pragma once

#include <string>
#include <vector>

// The program's arguments after its name, in UTF-8: on Windows read from
// the Unicode command line, natively argv as it is.
std::vector<std::string> Utf8Arguments(int argc, char **argv);

// `text` as Shift_JIS bytes, with no best-fit stand-ins. False for a
// character that Shift_JIS cannot hold, or bytes that are not UTF-8;
// `error` then says so as the rest of a sentence that names the text
// ("holds é (U+00E9), a character that Shift_JIS (code page 932) cannot
// hold"; a character beyond U+FFFF is one character: "😀 (U+1F600)").
bool ShiftJisFromUtf8(const std::string &text, std::string *bytes, std::string *error);
// Shift_JIS bytes as UTF-8, character by character: a byte or pair that is
// not Shift_JIS becomes U+FFFD, so nothing is dropped silently; a lead byte
// that no trail byte follows is one U+FFFD, and the byte after it stays.
std::string Utf8FromShiftJis(const std::string &bytes);

// `path` in the system's ANSI code page, the form the loader and the
// library take. False when it holds characters that code page cannot hold;
// `error` then names the path, those characters and the code page.
bool AnsiPathFromUtf8(const std::string &path, std::string *ansi, std::string *error);
// A text in the system's ANSI code page (a path, a system message) as UTF-8.
std::string Utf8FromAnsi(const std::string &text);

// The running program's path in UTF-8, whatever characters it holds.
std::string ProgramPath();

#ifdef _WIN32
// The program's arguments after its name, from the Unicode command line.
std::vector<std::wstring> UnicodeArguments();

std::wstring WideFromUtf8(const std::string &text);
std::string Utf8FromWide(const std::wstring &text);

// As ShiftJisFromUtf8 and Utf8FromShiftJis, for UTF-16 text; `character`
// names the first character that Shift_JIS cannot hold by its code point
// alone ("U+1F600"), which a text shown through Shift_JIS can carry.
bool ToShiftJis(const std::wstring &text, std::string *bytes, std::string *character);
std::wstring FromShiftJis(const std::string &bytes);
#endif
