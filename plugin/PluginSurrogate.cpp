#include "plugin/PluginSurrogate.h"

#include "plugin/PeImage.h"

// How long a surrogate that has nothing more to do (it answered the unload,
// refused a bring-up, or broke the channel) is given to end by itself, its
// own exit code then telling why, before it is ended from here: by then
// nothing of it is lost.
static const unsigned long kEndingPatience = 3000;

bool PluginSurrogate::Serves(unsigned machine) {
#ifdef _WIN32
  return machine == PeImage::kMachineX86 || machine == PeImage::kMachineX64;
#else
  return false;
#endif
}

std::string PluginSurrogate::ProgramFor(const std::string &directory, unsigned machine) {
  if (!Serves(machine)) return std::string();
  return directory + (machine == PeImage::kMachineX86 ? "tovra-surrogate32.exe" : "tovra-surrogate64.exe");
}

bool PluginSurrogate::Start(const std::string &surrogateProgram) {
  program = surrogateProgram;
  failure = SurrogateFailure();
  failure.program = program;
  if (!program.empty() && channel.StartChild(program.c_str())) return true;
  failure.kind = SurrogateFailure::kNotStarted;
  failure.step = PluginStep::kLibraryLoad;
  return false;
}

bool PluginSurrogate::Fail(PluginStep step, SurrogateFailure::Kind kind, bool channelBroke) {
  failure.kind = kind;
  failure.step = step;
  // A surrogate that broke the channel is ending: its own exit code tells
  // why. One that sent something malformed is ended at once.
  channel.Close(channelBroke ? kEndingPatience : 0);
  failure.exited = channel.ChildExitCode(&failure.exitCode);
  return false;
}

template <typename Step>
bool PluginSurrogate::Within(PluginStep step, Step &&body) {
  try {
    return body();
  } catch (...) {
    return Fail(step, SurrogateFailure::kBroken, false);
  }
}

bool PluginSurrogate::Exchange(PluginStep step, SurrogateMessage kind, const char *bytes, size_t length,
                               SurrogateMessage expected, std::string *payload) {
  // The plug-in may open a window for the host: it may come to the front,
  // as the host's own would.
  platform::AllowForeground(channel.ChildId());
  SurrogateMessage answer;
  if (!messages.Send(kind, bytes, length) || !messages.Receive(&answer, payload))
    return Fail(step, SurrogateFailure::kBroken, !messages.Malformed());
  if (answer == expected) return true;
  if (answer == SurrogateMessage::kFaulted && ReadFault(*payload, &failure.fault))
    return Fail(failure.fault.step, SurrogateFailure::kFaulted, true);
  return Fail(step, SurrogateFailure::kBroken, false);  // an answer the request does not take
}

bool PluginSurrogate::BringUp(const char *path, BringUpReport *report) {
  return Within(PluginStep::kLibraryLoad, [&] {
    std::string payload;
    if (!Exchange(PluginStep::kLibraryLoad, SurrogateMessage::kBringUp, path, std::char_traits<char>::length(path),
                  SurrogateMessage::kBroughtUp, &payload))
      return false;
    if (!ReadBroughtUp(payload, report)) return Fail(PluginStep::kLibraryLoad, SurrogateFailure::kBroken, false);
    if (report->outcome == BringUpOutcome::kUp) return true;
    // Refused: the surrogate ends by itself, as a library that is freed again.
    channel.Close(kEndingPatience);
    failure.kind = SurrogateFailure::kRefused;
    failure.step = PluginStep::kLibraryLoad;
    return false;
  });
}

bool PluginSurrogate::Ask(const char *text, size_t length, SurrogateAnswer *answer) {
  return Within(PluginStep::kRequest, [&] {
    std::string payload;
    return Exchange(PluginStep::kRequest, SurrogateMessage::kRequest, text, length, SurrogateMessage::kAnswer,
                    &payload) &&
           (ReadAnswer(&payload, answer) || Fail(PluginStep::kRequest, SurrogateFailure::kBroken, false));
  });
}

bool PluginSurrogate::Ping() {
  return Within(PluginStep::kRequest, [&] {
    std::string payload;
    return Exchange(PluginStep::kRequest, SurrogateMessage::kPing, "", 0, SurrogateMessage::kPong, &payload);
  });
}

void PluginSurrogate::Unload() {
  // A surrogate that fails here has ended all the same.
  if (Within(PluginStep::kUnloadCall, [&] {
        std::string payload;
        return Exchange(PluginStep::kUnloadCall, SurrogateMessage::kUnload, "", 0, SurrogateMessage::kUnloaded,
                        &payload);
      }))
    channel.Close(kEndingPatience);
}

bool PluginSurrogate::HasEnded() const {
  unsigned long code;
  return channel.ChildExitCode(&code);
}
