// PluginDoctor: brings one plug-in up the way the tovracaller library does,
// one step at a time, and says in words what happens at each step: where
// the file is looked for, what the loader says, which entry points are
// bound, what the load entry returns, the exact version and EXECUTE
// exchanges, and what the library would put in the call's place.
//
// It uses the library's own rules and texts (the plug-in name's upper case,
// the directory check, the requests, the accepted replies, the bounded
// reading of reply blocks) but none of its state: the library itself stays
// silent and is never loaded.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "text/Text.h"
#include "tools/LoaderFacts.h"

class PluginDoctor {
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
  // One text exchanged with the plug-in's request entry.
  struct Reply {
    bool received = false;   // the entry returned a block
    BlockLength stated = 0;  // the length it stated
    size_t blockSize = 0;    // the block's real size
    CText text;              // what the library reads of it
  };
  typedef BOOL(TOVRA_CDECL *LoadFunction)(HGLOBAL, BlockLength);
  typedef BOOL(TOVRA_CDECL *UnloadFunction)();
  typedef HGLOBAL(TOVRA_CDECL *RequestFunction)(HGLOBAL, BlockLength *);

  void ReadLibraryMachine(const std::string &libraryFile);
  bool CallFields(const std::string &plugin, const std::vector<std::string> &arguments, CTextArray *fields);
  Verdict LoadPlugin(const CText &path);
  bool BindEntries();
  void CallLoad();
  Verdict CheckVersion();
  Verdict Execute(const CTextArray &fields);
  Verdict Finish(Verdict verdict);

  Reply Send(const char *label, const CText &request);
  void ShowReply(const Reply &reply);
  void *Bind(const char *label, const char *name, const char *underscoreName);
  void Say(const std::string &line);
  void SayText(const char *label, const CText &text);

  std::FILE *out;
  // The library the doctor stands for: it loads plug-ins of its own machine
  // only. Natively, where the library is no PE file, the doctor's machine.
  LoadingSide library{"the library", "DLL", 0};
  HMODULE module = nullptr;
  LoadFunction loadEntry = nullptr;
  UnloadFunction unloadEntry = nullptr;
  RequestFunction requestEntry = nullptr;
};
