// tovra-host: drives the tovracaller library the way a VORDEL host does.
//
//   tovra-host [--dll PATH] [--] TEXT     one request whose String is TEXT
//   tovra-host [--dll PATH] --raw         one whole request read from stdin
//   tovra-host [--dll PATH] --lines       every stdin line is one String text
//   tovra-host [--dll PATH] --lines --raw the same in Shift_JIS bytes
//
// A person's text is Unicode: shown on a console as such, UTF-8 in a file
// or a pipe. --raw keeps the library's own Shift_JIS bytes for scripts.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/ConsoleText.h"
#include "tools/HostSession.h"
#include "tools/ShiftJis.h"

namespace {

enum ExitCode { kOk = 0, kNotOk = 1, kUsage = 2, kCannotLoad = 3, kMissingExport = 4, kNoReply = 5 };

const char kUsageText[] =
    "usage: tovra-host [--dll PATH] [--] TEXT\n"
    "       tovra-host [--dll PATH] --raw   < request\n"
    "       tovra-host [--dll PATH] --lines [--raw] < texts\n"
    "\n"
    "Loads the tovracaller library (by default the one beside this program,\n"
    "or in the folder above it), calls its load export, sends requests\n"
    "through its request export and calls unload at the end, as a VORDEL\n"
    "host does.\n"
    "\n"
    "  TEXT     send one request whose String value is TEXT; print the reply\n"
    "  --raw    send stdin as one whole request, as bytes; print the reply as\n"
    "           the library gave it, and its status on stderr\n"
    "  --lines  send every stdin line as the String value of one request;\n"
    "           print the expanded text of each, one line per request (a\n"
    "           line break inside an expanded text is written as a space);\n"
    "           plug-ins stay loaded until the end of the input\n"
    "  --lines --raw  the same, each line read and printed as Shift_JIS bytes\n"
    "  --dll    the library to load\n"
    "  --       ends the options: a TEXT that begins with \"--\" goes after it\n"
    "  --version  print the program's version\n"
    "\n"
    "Text: the library speaks Shift_JIS (code page 932); this program speaks\n"
    "Unicode to people. On a console, texts are shown and typed as Unicode\n"
    "whatever the console's code page. Output to a file or a pipe is UTF-8,\n"
    "and --lines reads UTF-8 from a file or a pipe. With --raw, stdin and\n"
    "stdout carry the library's own bytes, unconverted, for scripts.\n"
    "\n"
    "Exit status: 0 for 200 replies, 1 for any other reply (or a line that\n"
    "could not be sent), 2 for bad usage, 3 when the library cannot be\n"
    "loaded, 4 when it lacks an export, 5 when it returns no reply block.\n";

void WriteBytes(const std::string &bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// An expanded text as one output line: a CR or LF that a plug-in's Result
// brought in becomes a space, so that output line N still answers input
// line N; stderr says so.
std::string OneLine(std::string text, long lineNumber) {
  bool changed = false;
  for (char &c : text) {
    if (c == '\r' || c == '\n') {
      c = ' ';
      changed = true;
    }
  }
  if (changed) std::fprintf(stderr, "tovra-host: line %ld: line breaks in the expanded text written as spaces\n", lineNumber);
  return text;
}

void Complain(const std::string &message) {
  WriteText(stderr, "tovra-host: " + message + "\n");
}

// What is wrong with the command line, a blank line and the usage.
int BadUsage(const std::string &why) {
  Complain(why + "\n");
  std::fputs(kUsageText, stderr);
  return kUsage;
}

}  // namespace

int main(int argc, char **argv) {
#ifdef _WIN32
  // Texts are bytes: no CR LF translation on either side.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const std::vector<std::string> args = Utf8Arguments(argc, argv);
  std::string dllGiven, text, error;
  size_t textArgument = 0;
  bool haveDll = false, raw = false, lines = false, options = true;
  // Options may stand before or after TEXT; "--" ends them, so that a TEXT
  // that begins with "--" can follow it. There is one TEXT.
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      std::fputs(kUsageText, stdout);
      return kOk;
    } else if (options && arg == "--version") {
      std::fputs("tovra-host " TOVRA_VERSION "\n", stdout);
      return kOk;
    } else if (options && arg == "--dll") {
      if (i + 1 == args.size()) return BadUsage("--dll needs a PATH after it");
      dllGiven = args[++i];
      haveDll = true;
    } else if (options && arg == "--raw") {
      raw = true;
    } else if (options && arg == "--lines") {
      lines = true;
    } else if (options && arg.compare(0, 2, "--") == 0) {
      return BadUsage("unknown option " + arg + " (a TEXT that begins with \"--\" goes after \"--\")");
    } else if (textArgument) {
      return BadUsage("a second TEXT, " + arg + ": the text is one argument (in quotes when it holds spaces)");
    } else {
      text = arg;
      textArgument = i + 1;
    }
  }
  // --raw with --lines reads lines as bytes; on its own it reads a request.
  const bool haveText = textArgument != 0;
  if (haveText && (raw || lines))
    return BadUsage(std::string(lines ? "--lines reads the texts" : "--raw reads the request") +
                    " from stdin: give no TEXT with it");
  if (!haveText && !raw && !lines) {
    std::fputs(kUsageText, stderr);
    return kUsage;
  }
  std::string textBytes;
  if (haveText && !ShiftJisFromUtf8(text, &textBytes, &error)) {
    Complain("argument " + std::to_string(textArgument) + " " + error);
    return kUsage;
  }

  std::string dll;
  if (!(haveDll ? HostSession::LibraryPath(dllGiven, &dll, &error) : HostSession::DefaultLibraryPath(&dll, &error))) {
    Complain(error);
    return kCannotLoad;
  }
  HostSession session;
  switch (session.Open(dll, &error)) {
    case HostSession::Status::Ok:
      break;
    case HostSession::Status::CannotLoad:
      Complain(error);
      return kCannotLoad;
    case HostSession::Status::MissingExport:
      Complain(error);
      return kMissingExport;
  }

  std::string reply;
  if (lines) {
    int result = kOk;
    std::string line;
    for (long lineNumber = 1; raw ? static_cast<bool>(std::getline(std::cin, line)) : ReadTextLine(&line);
         ++lineNumber) {
      if (raw && !line.empty() && line.back() == '\r') line.pop_back();
      std::string bytes = line;
      if (!raw && !ShiftJisFromUtf8(line, &bytes, &error)) {
        // Not sent; its output line stays, empty, so that lines still pair.
        Complain("line " + std::to_string(lineNumber) + " " + error + "; it was not sent");
        result = kNotOk;
        WriteBytes("\n");
        std::fflush(stdout);
        continue;
      }
      if (!session.Request(HostSession::MakeRequest(bytes), &reply)) {
        Complain("the library returned no reply block");
        return kNoReply;
      }
      if (HostSession::ReplyStatus(reply) != "200") result = kNotOk;
      const std::string expanded = OneLine(HostSession::ReplyString(reply), lineNumber) + "\n";
      if (raw)
        WriteBytes(expanded);
      else
        WriteText(stdout, Utf8FromShiftJis(expanded));
      std::fflush(stdout);
    }
    return result;
  }

  std::string requestText =
      raw ? std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>())
          : HostSession::MakeRequest(textBytes);
  if (!session.Request(requestText, &reply)) {
    Complain("the library returned no reply block");
    return kNoReply;
  }
  if (raw)
    WriteBytes(reply);
  else
    WriteText(stdout, Utf8FromShiftJis(reply));
  std::string status = HostSession::ReplyStatus(reply);
  if (raw) std::fprintf(stderr, "status %s\n", status.empty() ? "unknown" : status.c_str());
  return status == "200" ? kOk : kNotOk;
}
