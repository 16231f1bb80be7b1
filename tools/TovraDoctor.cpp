// tovra-doctor: says step by step whether, and why not, a plug-in works
// when a call names it.
//
//   tovra-doctor [--dll PATH] [--] PLUGIN [ARG...]
//   tovra-doctor [--dll PATH] --stdin < call
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
#include "tools/PluginDoctor.h"
#include "tools/ShiftJis.h"

static const char kUsageText[] =
    "usage: tovra-doctor [--dll PATH] [--] PLUGIN [ARG...]\n"
    "       tovra-doctor [--dll PATH] --stdin < call\n"
    "\n"
    "Brings up the plug-in that the call $tovra[PLUGIN,ARG,...] names, the way\n"
    "the tovracaller library does, and says what happens at each step: where\n"
    "the file is looked for, what the loader says when it will not load it,\n"
    "which entry points are found, what the load entry returns, the version\n"
    "reply, then one EXECUTE request with the arguments, its reply and the\n"
    "Result that would replace the call. The plug-in is unloaded and freed at\n"
    "the end. The library itself is not loaded and nothing of it changes.\n"
    "\n"
    "  PLUGIN   the plug-in name as written in a call; it is looked for in\n"
    "           capital letters in the directory of the library\n"
    "  ARG      the call's arguments (PLUGIN and ARG are sent as Shift_JIS,\n"
    "           code page 932)\n"
    "  --stdin  read the call as raw bytes from stdin instead: PLUGIN,ARG,...\n"
    "           as written between \"$tovra[\" and \"]\", up to the first line\n"
    "           end, so that any call can be reproduced byte for byte\n"
    "  --dll    the tovracaller library whose directory holds the plug-ins\n"
    "           (by default the one beside this program)\n"
    "  --       ends the options: a PLUGIN that begins with \"--\" goes after it;\n"
    "           everything after PLUGIN is an ARG\n"
    "  --version  print the program's version\n"
    "\n"
    "Text: PLUGIN and ARG are sent as Shift_JIS (code page 932), the bytes\n"
    "exchanged are shown byte for byte (\\x93 for a byte beyond ASCII), and\n"
    "the call, paths, messages and a Result beyond ASCII are shown as text:\n"
    "as Unicode on a console whatever its code page, as UTF-8 in a file or\n"
    "a pipe.\n"
    "\n"
    "Exit status:\n"
    "   0  the plug-in works: its Result replaces the call\n"
    "   2  bad usage, or a library of another bitness than this program\n"
    "   3  there is no library at the --dll path\n"
    "   4  the call names no plug-in, or one outside the library's directory\n"
    "   5  there is no plug-in file where the library looks\n"
    "   6  the plug-in file does not load (other bitness, a missing DLL, not a DLL)\n"
    "   7  the plug-in exports neither \"request\" nor \"_request\"\n"
    "   8  the version reply is missing or does not begin with TOVRA/1.0\n"
    "   9  the EXECUTE reply is missing or its status is not TOVRA/1.0 200 OK\n"
    "  10  the EXECUTE reply has no Result header\n"
    "  11  the plug-in faulted (an exception left its code): the step, the\n"
    "      exception and where it happened are said\n"
    "  12  the plug-in's surrogate process could not be started, or ended\n"
    "      during a step (the plug-in called exit or abort, or failed fast)\n";

// What is wrong with the command line, a blank line and the usage.
static int BadUsage(const std::string &why) {
  WriteText(stderr, "tovra-doctor: " + why + "\n\n");
  std::fputs(kUsageText, stderr);
  return PluginDoctor::kUsage;
}

// The call read from stdin: its bytes up to the first line end, which a
// String text cannot hold.
static std::string CallFromStdin() {
  std::string call(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>{});
  return call.substr(0, call.find_first_of("\r\n"));
}

int main(int argc, char **argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  const std::vector<std::string> args = Utf8Arguments(argc, argv);
  std::string dllGiven, error;
  bool haveDll = false;
  bool fromStdin = false;
  // Options stand before PLUGIN; "--" ends them, so that a PLUGIN that
  // begins with "--" can follow it. Everything after PLUGIN is an ARG.
  size_t i = 0;
  for (; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::fputs(kUsageText, stdout);
      return PluginDoctor::kWorks;
    } else if (args[i] == "--version") {
      std::fputs("tovra-doctor " TOVRA_VERSION "\n", stdout);
      return PluginDoctor::kWorks;
    } else if (args[i] == "--dll") {
      if (i + 1 == args.size()) return BadUsage("--dll needs a PATH after it");
      dllGiven = args[++i];
      haveDll = true;
    } else if (args[i] == "--stdin") {
      fromStdin = true;
    } else if (args[i] == "--") {
      ++i;
      break;
    } else if (!args[i].compare(0, 2, "--")) {
      return BadUsage("unknown option " + args[i] + " (a PLUGIN that begins with \"--\" goes after \"--\")");
    } else {
      break;
    }
  }
  if (fromStdin && i < args.size()) return BadUsage("--stdin reads the call from stdin: give no PLUGIN with it");
  if (!fromStdin && i == args.size()) {
    std::fputs(kUsageText, stderr);
    return PluginDoctor::kUsage;
  }
  // From stdin the whole call is the plug-in field: the doctor cuts it at
  // "," and "]" as the library does. From the command line the call's
  // fields are sent as Shift_JIS.
  std::string plugin;
  std::vector<std::string> arguments;
  if (fromStdin) plugin = CallFromStdin();
  for (size_t field = i; field < args.size(); ++field) {
    std::string bytes;
    if (!ShiftJisFromUtf8(args[field], &bytes, &error)) {
      WriteText(stderr, "tovra-doctor: argument " + std::to_string(field + 1) + " " + error + "\n");
      return PluginDoctor::kUsage;
    }
    if (field == i)
      plugin = bytes;
    else
      arguments.push_back(bytes);
  }
  std::string dll;
  if (!(haveDll ? HostSession::LibraryPath(dllGiven, &dll, &error) : HostSession::DefaultLibraryPath(&dll, &error))) {
    WriteText(stderr, "tovra-doctor: " + error + "\n");
    return PluginDoctor::kNoLibrary;
  }
  PluginDoctor doctor(stdout);
  return doctor.Examine(dll, plugin, arguments);
}
