// tovra-surrogate32 / tovra-surrogate64: runs one plug-in for the
// tovracaller library in a process of its own, for a plug-in of the other
// bitness than the library, or one that faulted in the host's process.
//
// The library starts it, beside itself, with its channel's handles on the
// command line, and it takes nothing else: it brings the plug-in named in
// the first message up as the library does (the same PluginModule, every
// call guarded), relays each request's bytes to it and its answer's bytes
// back, and at the library's unload unloads it and ends. It ends at once,
// too, when the host process ends, after a fault of the plug-in, which it
// reports, and at any exception that nothing handles, on any thread.
// Not meant to be started by hand.
#include <windows.h>

#include <string>

#include "plugin/PluginModule.h"
#include "plugin/SurrogateMessages.h"
#include "tools/FaultReport.h"

namespace {

// The last word on an exception that nothing handled, on any thread (a
// plug-in's own worker too): the surrogate ends at once, with the
// exception's code. Never a debugger or an error dialog, which would wait
// for a person while the library waits for this program.
LONG WINAPI EndAtOnce(EXCEPTION_POINTERS *exception) {
  const UINT code = exception && exception->ExceptionRecord ? exception->ExceptionRecord->ExceptionCode : 3;
  ::TerminateProcess(::GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Sends the surrogate's last message, a fault of the plug-in that its guard
// contained, and ends at once: the faulted plug-in's exit code does not run.
void EndWithFault(MessageChannel &messages, const PluginModule &plugin) {
  FaultReport report;
  report.step = plugin.LastFaultStep();
  report.code = plugin.LastFault().code;
  report.exception = ExceptionWords(plugin.LastFault());
  report.place = FaultPlace(plugin.LastFault(), plugin.hModule);
  report.sourceCommand = SourceLineCommand(plugin.LastFault(), plugin.hModule);
  messages.Send(SurrogateMessage::kFaulted, FaultPayload(report));
  ::TerminateProcess(::GetCurrentProcess(), 3);
}

int Serve(MessageChannel &messages) {
  PluginModule plugin;
  for (;;) {
    // Put back after every message: a plug-in may have set a filter of its own.
    ::SetUnhandledExceptionFilter(EndAtOnce);
    SurrogateMessage kind;
    std::string payload;
    if (!messages.Receive(&kind, &payload)) return 0;  // the library has gone
    switch (kind) {
      case SurrogateMessage::kPing:
        if (!messages.Send(SurrogateMessage::kPong, "", 0)) return 0;
        break;
      case SurrogateMessage::kBringUp: {
        if (plugin.hModule) return 2;  // one plug-in, brought up once
        const BOOL up = plugin.Load(payload.c_str(), 0);
        if (plugin.HasFaulted()) EndWithFault(messages, plugin);
        if (!messages.Send(SurrogateMessage::kBroughtUp, BroughtUpPayload(plugin.LastBringUp())) || !up) return 0;
        break;
      }
      case SurrogateMessage::kRequest: {
        SurrogateAnswer answer;
        if (!plugin.Relay(payload.data(), payload.size(), &answer)) {
          if (!plugin.HasFaulted()) return 2;  // a request before any bring-up
          EndWithFault(messages, plugin);
        }
        if (!messages.Send(SurrogateMessage::kAnswer, AnswerPayload(answer))) return 0;
        break;
      }
      case SurrogateMessage::kUnload:
        plugin.Unload();
        messages.Send(SurrogateMessage::kUnloaded, "", 0);
        return 0;
      default:
        return 2;  // a message that the library never sends
    }
  }
}

}  // namespace

int main() {
  // No dialog may wait for a person here: the library waits for this
  // program's answers.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetUnhandledExceptionFilter(EndAtOnce);
  platform::Channel channel;
  if (!channel.ConnectToParent(::GetCommandLineA())) return 2;
  MessageChannel messages(channel);
  return Serve(messages);
}
