#include "plugin/PluginSurrogate.h"

#include "plugin/PeImage.h"

// How long a surrogate whose channel broke is given to end by itself, so
// that its own exit code can be told, before it is ended from here.
static const unsigned long kEndingPatience = 2000;

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

void PluginSurrogate::Fail(PluginStep step, SurrogateFailure::Kind kind, bool channelBroke) {
  failure.kind = kind;
  failure.step = step;
  // A surrogate that broke the channel is ending: its own exit code tells
  // why. One that sent something malformed is ended at once.
  if (channelBroke) channel.WaitForChild(kEndingPatience);
  channel.Close(false);
  failure.exited = channel.ChildExitCode(&failure.exitCode);
}

bool PluginSurrogate::Exchange(PluginStep step, SurrogateMessage kind, const char *bytes, size_t length,
                               SurrogateMessage expected, std::string *payload) {
  SurrogateMessage answer;
  if (!messages.Send(kind, bytes, length) || !messages.Receive(&answer, payload)) {
    Fail(step, SurrogateFailure::kBroken, !messages.Malformed());
    return false;
  }
  if (answer == expected) return true;
  if (answer == SurrogateMessage::kFaulted) {
    PayloadReader reader(*payload);
    unsigned faultStep = 0;
    if (reader.U8(&faultStep) && reader.U32(&failure.code) && reader.Bytes(&failure.exception) &&
        reader.Bytes(&failure.place) && reader.Bytes(&failure.sourceCommand) && reader.Whole() &&
        faultStep <= static_cast<unsigned>(PluginStep::kLibraryFree)) {
      Fail(static_cast<PluginStep>(faultStep), SurrogateFailure::kFaulted, true);
      return false;
    }
  }
  Fail(step, SurrogateFailure::kBroken, false);  // an answer the request does not take
  return false;
}

bool PluginSurrogate::BringUp(const char *path, BringUpOutcome *outcome, uint32_t *loaderError,
                              std::string *versionReply) {
  std::string payload;
  if (!Exchange(PluginStep::kLibraryLoad, SurrogateMessage::kBringUp, path, std::char_traits<char>::length(path),
                SurrogateMessage::kBroughtUp, &payload))
    return false;
  PayloadReader reader(payload);
  unsigned value = 0;
  if (!reader.U8(&value) || !reader.U32(loaderError) || !reader.Bytes(versionReply) || !reader.Whole() ||
      value > static_cast<unsigned>(BringUpOutcome::kVersionRefused)) {
    Fail(PluginStep::kLibraryLoad, SurrogateFailure::kBroken, false);
    return false;
  }
  *outcome = static_cast<BringUpOutcome>(value);
  if (*outcome == BringUpOutcome::kUp) return true;
  // Refused: the surrogate ends by itself, as a library that is freed again.
  channel.Close(true);
  failure.kind = SurrogateFailure::kRefused;
  failure.step = PluginStep::kLibraryLoad;
  return false;
}

bool PluginSurrogate::Ask(const char *text, size_t length, SurrogateAnswer *answer) {
  std::string payload;
  if (!Exchange(PluginStep::kRequest, SurrogateMessage::kRequest, text, length, SurrogateMessage::kAnswer, &payload))
    return false;
  PayloadReader reader(payload);
  unsigned answered = 0;
  uint32_t stated = 0;
  if (!reader.U8(&answered) || !reader.U32(&stated) || !reader.U64(&answer->blockSize) ||
      !reader.Bytes(&answer->text) || !reader.Whole() || answered > 1 ||
      answer->text.size() > answer->blockSize) {
    Fail(PluginStep::kRequest, SurrogateFailure::kBroken, false);
    return false;
  }
  answer->answered = answered == 1;
  answer->stated = static_cast<int32_t>(stated);
  return true;
}

bool PluginSurrogate::Ping() {
  std::string payload;
  return Exchange(PluginStep::kRequest, SurrogateMessage::kPing, "", 0, SurrogateMessage::kPong, &payload);
}

void PluginSurrogate::Unload() {
  std::string payload;
  // A surrogate that fails here has ended all the same.
  if (Exchange(PluginStep::kUnloadCall, SurrogateMessage::kUnload, "", 0, SurrogateMessage::kUnloaded, &payload))
    channel.Close(true);
}
