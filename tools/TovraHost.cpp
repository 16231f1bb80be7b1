// tovra-host: drives the tovracaller library the way a VORDEL host does.
//
//   tovra-host [--dll PATH] TEXT    one request whose String is TEXT
//   tovra-host [--dll PATH] --raw   one whole request read from stdin
//   tovra-host [--dll PATH] --lines every stdin line is one String text
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/HostSession.h"
#include "tools/ShiftJis.h"

namespace {

enum ExitCode { kOk = 0, kNotOk = 1, kUsage = 2, kCannotLoad = 3, kMissingExport = 4, kNoReply = 5 };

const char kUsageText[] =
    "usage: tovra-host [--dll PATH] TEXT\n"
    "       tovra-host [--dll PATH] --raw   < request\n"
    "       tovra-host [--dll PATH] --lines < texts\n"
    "\n"
    "Loads the tovracaller library (by default the one beside this program),\n"
    "calls its load export, sends requests through its request export and\n"
    "calls unload at the end, as a VORDEL host does.\n"
    "\n"
    "  TEXT     send one request whose String value is TEXT; print the reply\n"
    "           (its characters are sent as Shift_JIS, code page 932)\n"
    "  --raw    send stdin as one whole request; print the reply, and its\n"
    "           status on stderr\n"
    "  --lines  send every stdin line as the String value of one request;\n"
    "           print the expanded text of each, one line per request (a\n"
    "           line break inside an expanded text is written as a space);\n"
    "           plug-ins stay loaded until the end of the input\n"
    "  --dll    the library to load\n"
    "  --version  print the program's version\n"
    "\n"
    "Exit status: 0 for 200 replies, 1 for any other reply, 2 for bad usage,\n"
    "3 when the library cannot be loaded, 4 when it lacks an export, 5 when\n"
    "it returns no reply block.\n";

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

}  // namespace

int main(int argc, char **argv) {
#ifdef _WIN32
  // Texts are bytes: no CR LF translation on either side.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::vector<std::string> args;
  std::string error;
  if (!ShiftJisArguments(argc, argv, &args, &error)) {
    std::fprintf(stderr, "tovra-host: %s\n", error.c_str());
    return kUsage;
  }
  std::string dll = HostSession::DefaultLibraryPath();
  std::string text;
  bool haveText = false, raw = false, lines = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsageText, stdout);
      return kOk;
    } else if (arg == "--version") {
      std::fputs("tovra-host " TOVRA_VERSION "\n", stdout);
      return kOk;
    } else if (arg == "--dll" && i + 1 < args.size()) {
      dll = args[++i];
    } else if (arg == "--raw") {
      raw = true;
    } else if (arg == "--lines") {
      lines = true;
    } else if (!haveText && (arg.compare(0, 2, "--") != 0 || arg == "--")) {
      if (arg == "--" && ++i >= args.size()) break;
      text = args[i];
      haveText = true;
    } else {
      std::fprintf(stderr, "tovra-host: unexpected argument %s\n\n%s", arg.c_str(), kUsageText);
      return kUsage;
    }
  }
  if (int(raw) + int(lines) + int(haveText) != 1) {
    std::fputs(kUsageText, stderr);
    return kUsage;
  }

  HostSession session;
  switch (session.Open(dll, &error)) {
    case HostSession::Status::Ok:
      break;
    case HostSession::Status::CannotLoad:
      std::fprintf(stderr, "tovra-host: %s\n", error.c_str());
      return kCannotLoad;
    case HostSession::Status::MissingExport:
      std::fprintf(stderr, "tovra-host: %s\n", error.c_str());
      return kMissingExport;
  }

  std::string reply;
  if (lines) {
    int result = kOk;
    std::string line;
    for (long lineNumber = 1; std::getline(std::cin, line); ++lineNumber) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!session.Request(HostSession::MakeRequest(line), &reply)) {
        std::fprintf(stderr, "tovra-host: the library returned no reply block\n");
        return kNoReply;
      }
      if (HostSession::ReplyStatus(reply) != "200") result = kNotOk;
      WriteBytes(OneLine(HostSession::ReplyString(reply), lineNumber) + "\n");
      std::fflush(stdout);
    }
    return result;
  }

  std::string requestText =
      raw ? std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>())
          : HostSession::MakeRequest(text);
  if (!session.Request(requestText, &reply)) {
    std::fprintf(stderr, "tovra-host: the library returned no reply block\n");
    return kNoReply;
  }
  WriteBytes(reply);
  std::string status = HostSession::ReplyStatus(reply);
  if (raw) std::fprintf(stderr, "status %s\n", status.empty() ? "unknown" : status.c_str());
  return status == "200" ? kOk : kNotOk;
}
