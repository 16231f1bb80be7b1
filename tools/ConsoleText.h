// What a tool writes for a person to read and reads from what a person
// types. A console takes and gives UTF-16, so Japanese shows and types right
// whatever the console's code page; a file or a pipe takes and gives UTF-8.
// Natively the bytes pass as they are.
#pragma once

#include <cstdio>
#include <string>

// Writes `text`, UTF-8, to `stream` (stdout or stderr): to a console as
// Unicode, to a file or a pipe as it is.
void WriteText(std::FILE *stream, const std::string &text);

// Reads one line from stdin, without its line end, as UTF-8: typed on a
// console, or read from a file or a pipe (a UTF-8 byte order mark before
// the first line is left out). False at the end of the input.
bool ReadTextLine(std::string *line);

#ifdef _WIN32
#include <windows.h>

// Writes `text`, UTF-8, to `handle`: Unicode to a console, else as it is.
// False when nothing could be written.
bool WriteTextTo(HANDLE handle, const std::string &text);
#endif
