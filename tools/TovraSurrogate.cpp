// tovra-surrogate32 / tovra-surrogate64: runs one plug-in for the
// tovracaller library in a process of its own, for a plug-in of the other
// bitness than the library, or one that faulted in the host's process.
//
// The library starts it, beside itself, with its channel's handles on the
// command line, and it takes nothing else: it brings the plug-in named in
// the first message up as the library does (the same PluginModule, every
// call guarded), relays each request's bytes to it and its answer's bytes
// back, and at the library's unload unloads it and ends. It ends, too, when
// the host process ends, and after a fault of the plug-in, which it reports.
// Not meant to be started by hand.
#include <windows.h>

#include <string>

#include "plugin/PluginModule.h"
#include "plugin/SurrogateMessages.h"
#include "tools/FaultReport.h"

namespace {

// What the surrogate learns of the plug-in's steps: whether its entries
// were bound, its version reply, and a fault, in words, while the plug-in is
// still loaded.
class StepWatch : public PluginObserver {
 public:
  explicit StepWatch(const PluginModule &plugin) : plugin(plugin) {}

  void EntriesBound(const PluginModule &module) override {
    bound = true;
    requestBound = module.pfnRequest != nullptr;
  }
  void Answered(bool, BlockLength, size_t, const char *text, size_t length) override { reply.assign(text, length); }
  void Faulted(PluginStep step, const platform::GuardedFault &fault) override {
    faulted = true;
    const std::string words = ExceptionWords(fault);
    const std::string place = FaultPlace(fault, plugin.hModule);
    const std::string command = SourceLineCommand(fault, plugin.hModule);
    report = PayloadWriter()
                 .U8(static_cast<unsigned>(step))
                 .U32(fault.code)
                 .Bytes(words.data(), words.size())
                 .Bytes(place.data(), place.size())
                 .Bytes(command.data(), command.size())
                 .Payload();
  }

  const PluginModule &plugin;
  bool bound = false;
  bool requestBound = false;
  bool faulted = false;
  std::string reply;   // the last reply's text
  std::string report;  // the kFaulted message's payload
};

int Serve(MessageChannel &messages) {
  PluginModule plugin;
  StepWatch watch(plugin);
  PluginModule::SetObserver(&watch);
  for (;;) {
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
        const DWORD loaderError = ::GetLastError();
        if (watch.faulted) {
          messages.Send(SurrogateMessage::kFaulted, watch.report);
          return 3;
        }
        const BringUpOutcome outcome = up                   ? BringUpOutcome::kUp
                                       : !watch.bound        ? BringUpOutcome::kNotLoaded
                                       : !watch.requestBound ? BringUpOutcome::kNoRequestEntry
                                                             : BringUpOutcome::kVersionRefused;
        const std::string version = outcome == BringUpOutcome::kVersionRefused ? watch.reply : std::string();
        PayloadWriter answer;
        answer.U8(static_cast<unsigned>(outcome))
            .U32(outcome == BringUpOutcome::kNotLoaded ? loaderError : 0)
            .Bytes(version.data(), version.size());
        if (!messages.Send(SurrogateMessage::kBroughtUp, answer.Payload()) || !up) return 0;
        break;
      }
      case SurrogateMessage::kRequest: {
        SurrogateAnswer answer;
        plugin.Relay(payload.data(), payload.size(), &answer);
        if (watch.faulted) {
          messages.Send(SurrogateMessage::kFaulted, watch.report);
          return 3;
        }
        PayloadWriter reply;
        reply.U8(answer.answered ? 1 : 0)
            .U32(static_cast<uint32_t>(answer.stated))
            .U64(answer.blockSize)
            .Bytes(answer.text.data(), answer.text.size());
        if (!messages.Send(SurrogateMessage::kAnswer, reply.Payload())) return 0;
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
  platform::Channel channel;
  if (!channel.ConnectToParent(::GetCommandLineA())) return 2;
  MessageChannel messages(channel);
  return Serve(messages);
}
