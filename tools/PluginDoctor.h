// PluginDoctor: brings one plug-in up the way the tovracaller library does,
// one step at a time, and says in words what happens at each step: where
// the file is looked for, what the loader says, which entry points are
// bound, what the load entry returns, the exact version and EXECUTE
// exchanges, and what the library would put in the call's place.
//
// It drives the library's own PluginModule and watches each of its steps,
// so it cannot disagree with what the library does; the library itself
// stays silent and is never loaded.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "plugin/PluginModule.h"
#include "text/Text.h"
#include "tools/LoaderFacts.h"

class PluginDoctor : private PluginObserver {
 public:
  // The outcome of an examination, by the step that failed; also the
  // doctor's exit status.
  enum Verdict {
    kWorks = 0,           // a Result would be spliced
    kUsage = 2,
    kNoLibrary = 3,       // no tovracaller library at the given path
    kNameRefused = 4,     // the call names no plug-in, or one outside the directory
    kNoPluginFile = 5,    // no file where the library looks
    kLoaderRefused = 6,   // the file exists but does not load
    kNoRequestEntry = 7,  // neither "request" nor "_request" is exported
    kVersionRefused = 8,  // no version reply, or one not beginning "TOVRA/1.0"
    kExecuteRefused = 9,  // no EXECUTE reply, or its status is not 200 OK
    kNoResult = 10,       // an accepted reply without a Result header
    kFaulted = 11,        // an exception left the plug-in's code unhandled
    kSurrogateFailed = 12,  // its surrogate could not be started, or ended during a step
  };

  explicit PluginDoctor(std::FILE *output) : out(output) {}

  // Examines the call of `plugin` (as written in a call) with `arguments`,
  // for the library at `libraryPath`.
  Verdict Examine(const std::string &libraryPath, const std::string &plugin,
                  const std::vector<std::string> &arguments);

  // The bytes in double quotes, with CR, LF, tab, '"', '\' and every byte
  // outside printable ASCII escaped, so that nothing is hidden.
  static std::string Visible(const char *bytes, size_t length);

 private:
  // Each step of the module, said as it happens.
  void EntriesBound(const PluginModule &module) override;
  void LoadCalled(const CText &directory, bool sent, int result) override;
  void Sending(const char *text, size_t length, bool sent) override;
  void Answered(bool replied, BlockLength stated, size_t blockSize, const char *text, size_t length) override;
  void UnloadCalled(int result) override;
  void Faulted(PluginStep step, const platform::GuardedFault &fault) override;
  void GoesToSurrogate(const std::string &program, unsigned machine, bool faultedHere) override;
  void BroughtUpInSurrogate(const BringUpReport &report) override;
  void SurrogateFailed(const SurrogateFailure &failure) override;

  // Where the examination is: what a request sent now is.
  enum class Step { kBringUp, kExecute, kFinish };

  void ReadLibraryMachine(const std::string &libraryFile);
  bool CallFields(const std::string &plugin, const std::vector<std::string> &arguments, CText *callText,
                  CText *name);
  Verdict LoadPlugin(const CText &path);
  void SayEntry(const char *label, void *entry, const char *name, const char *underscoreName);
  void SayVersionRefused();
  void SayMangledEntries(const PluginModule &module);
  void SayRefusedStatus();
  // A fault's lines: the exception at its step (and `where`, after the
  // step), the place it happened, and the command that finds its source line.
  void SayFault(const std::string &exception, PluginStep step, const char *where, const std::string &place,
                const std::string &sourceCommand);
  Verdict Execute(const CText &callText);
  Verdict Finish(Verdict verdict);

  void Say(const std::string &line);
  void SayText(const char *label, const char *text, size_t length);

  std::FILE *out;
  // The library the doctor stands for: it loads plug-ins of its own machine
  // only. Natively, where the library is no PE file, the doctor's machine.
  LoadingSide library{"the library", "DLL", 0};
  PluginModule plugin;
  Step step = Step::kBringUp;
  bool bound = false;            // the library was loaded and its entries bound
  bool requestBound = false;     // a request entry was among them
  bool answered = false;         // the last request got a reply block
  bool refusalShown = false;     // the version refusal has been said
  bool faulted = false;          // the guard contained a fault of the plug-in
  Verdict surrogateVerdict = kWorks;  // what the surrogate's steps came to
  unsigned surrogateMachine = 0;      // the machine of the plug-in's surrogate
  std::string pluginPath;             // the plug-in's path, as the library loads it
  std::string statusLine;        // the first line of the last reply
};
