// PluginSurrogate: the library's side of one surrogate, a program of its own
// (tovra-surrogate32.exe or tovra-surrogate64.exe, beside the library) that
// brings one plug-in up exactly as the library does and answers its
// requests. Texts are copied across: the request's bytes go over, the
// answer's bytes come back unchanged.
//
//   PluginSurrogate surrogate;
//   if (surrogate.Start(program) && surrogate.BringUp(path, &report))
//     surrogate.Ask(text, length, &answer);   // as often as needed
//   surrogate.Unload();                         // the plug-in's unload, then its end
//
// A surrogate that dies, breaks the channel or sends anything malformed
// fails the call it was asked; it is then ended, and the failure described.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"
#include "plugin/SurrogateMessages.h"

// Why a surrogate gave no answer.
struct SurrogateFailure {
  enum Kind {
    kNotStarted,  // its program is missing or cannot run here
    kBroken,      // it ended, broke the channel or failed the exchange, during the step
    kFaulted,     // its guard contained a fault of the plug-in, and it ended
    kRefused,     // it could not bring the plug-in up (see the report), and ended
  };
  Kind kind = kBroken;
  PluginStep step = PluginStep::kRequest;
  std::string program;        // the surrogate program's path
  bool exited = false;        // kBroken: it had ended, with exitCode
  unsigned long exitCode = 0;
  FaultReport fault;          // kFaulted: what the surrogate reported
};

class PluginSurrogate {
 public:
  // Whether a surrogate runs plug-ins of `machine` (a PE machine): 32- and
  // 64-bit x86 on Windows; natively none, where every plug-in is of the
  // library's own kind.
  static bool Serves(unsigned machine);
  // The surrogate program for plug-ins of `machine` in `directory`; empty
  // for a machine no surrogate serves.
  static std::string ProgramFor(const std::string &directory, unsigned machine);

  PluginSurrogate() : messages(channel) {}
  PluginSurrogate(const PluginSurrogate &) = delete;
  PluginSurrogate &operator=(const PluginSurrogate &) = delete;
  // A surrogate still running is ended at once: the library is going away.
  ~PluginSurrogate() = default;

  bool Start(const std::string &program);
  // Brings the plug-in at `path` up in the surrogate. On false the failure
  // says why; for a plug-in that the surrogate refused (kRefused), `report`
  // says why, with the loader's error or the version reply.
  bool BringUp(const char *path, BringUpReport *report);
  // One request; false when the surrogate failed (see Failure).
  bool Ask(const char *text, size_t length, SurrogateAnswer *answer);
  // One round trip of the bare channel.
  bool Ping();
  // The plug-in's unload entry and the freeing of its library, in the
  // surrogate, which then ends: it is given a few seconds, then ended.
  void Unload();
  // Whether the surrogate has ended since it last answered (killed, or
  // ended by a thread of its plug-in while it waited).
  bool HasEnded() const;

  const SurrogateFailure &Failure() const { return failure; }

 private:
  // Runs one step of the protocol. Any failure inside it (the channel, a
  // message the step does not take, an exception such as running out of
  // memory) ends the surrogate, so no later step can read this one's
  // answer for its own.
  template <typename Step>
  bool Within(PluginStep step, Step &&body);
  // Sends one message and takes the answer of the expected kind (or a
  // kFaulted); on anything else the surrogate is ended and false returned.
  bool Exchange(PluginStep step, SurrogateMessage kind, const char *bytes, size_t length, SurrogateMessage expected,
                std::string *payload);
  // Ends the surrogate for `kind` at `step`; always false.
  bool Fail(PluginStep step, SurrogateFailure::Kind kind, bool channelBroke);

  platform::Channel channel;
  MessageChannel messages;
  std::string program;
  SurrogateFailure failure;
};
