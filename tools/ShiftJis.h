// Shift_JIS at the tools' edge. What a person gives a tool (its command
// line, the console's edit line) is Unicode, and what a tool shows is drawn
// as Unicode; the library and the framework take and give Shift_JIS bytes.
// Both ways go through code page 932, which is there whatever the system's
// own code page, so Japanese never turns into '?' or into Western letters.
#pragma once

#include <string>
#include <vector>

// The program's arguments after its name as Shift_JIS bytes. On Windows
// they are read from the Unicode command line; elsewhere argv is taken as it
// is. False when an argument holds a character that Shift_JIS cannot hold;
// `error` then says which argument and which character.
bool ShiftJisArguments(int argc, char **argv, std::vector<std::string> *arguments, std::string *error);

#ifdef _WIN32
// The program's arguments after its name, from the Unicode command line.
std::vector<std::wstring> UnicodeArguments();

// `text` in code page 932, with no best-fit stand-ins. False for a
// character that Shift_JIS cannot hold; `error` then names it ("U+00E9").
bool ToShiftJis(const std::wstring &text, std::string *bytes, std::string *error);

// Shift_JIS bytes as Unicode, character by character: a byte or pair that
// is not Shift_JIS becomes U+FFFD, so nothing is dropped silently.
std::wstring FromShiftJis(const std::string &bytes);
#endif
