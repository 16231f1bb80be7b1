#include "tools/PluginDoctor.h"

#include <cstring>

#include "plugin/PluginPaths.h"
#include "plugin/PluginRequests.h"
#include "text/DoubleByte.h"
#include "text/GlobalText.h"
#include "text/TextSearch.h"
#include "plugin/PeImage.h"
#include "tools/ConsoleText.h"
#include "tools/FaultReport.h"
#include "tools/ShiftJis.h"

static const char *Summary(PluginDoctor::Verdict verdict) {
  switch (verdict) {
    case PluginDoctor::kWorks: return "the plug-in works: the call is replaced by its Result";
    case PluginDoctor::kUsage: return "bad usage";
    case PluginDoctor::kNoLibrary: return "there is no tovracaller library at that path";
    case PluginDoctor::kNameRefused: return "the library would not look for this plug-in";
    case PluginDoctor::kNoPluginFile: return "there is no plug-in file where the library looks";
    case PluginDoctor::kLoaderRefused: return "the plug-in file does not load";
    case PluginDoctor::kNoRequestEntry: return "the plug-in has no request entry point";
    case PluginDoctor::kVersionRefused: return "the plug-in does not answer the version request with TOVRA/1.0";
    case PluginDoctor::kExecuteRefused: return "the plug-in does not answer the call with TOVRA/1.0 200 OK";
    case PluginDoctor::kNoResult: return "the plug-in's answer carries no Result";
    case PluginDoctor::kFaulted: return "the plug-in faulted";
    case PluginDoctor::kSurrogateFailed: return "the plug-in's surrogate could not start, or ended";
  }
  return "unknown";
}

std::string PluginDoctor::Visible(const char *bytes, size_t length) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown = "\"";
  for (size_t i = 0; i < length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    switch (byte) {
      case '\r': shown += "\\r"; break;
      case '\n': shown += "\\n"; break;
      case '\t': shown += "\\t"; break;
      case '"': shown += "\\\""; break;
      case '\\': shown += "\\\\"; break;
      default:
        if (byte >= 0x20 && byte < 0x7F) {
          shown += static_cast<char>(byte);
        } else {
          shown += "\\x";
          shown += kHex[byte >> 4];
          shown += kHex[byte & 15];
        }
    }
  }
  return shown + "\"";
}

static std::string Shown(const char *text, size_t length) {
  return PluginDoctor::Visible(text, length);
}

static std::string Shown(const CText &text) {
  return Shown(text.c_str(), text.Length());
}

void PluginDoctor::Say(const std::string &line) {
  WriteText(out, line + "\n");
  // Written at once: a plug-in that crashes the doctor leaves every step
  // before it on the screen.
  std::fflush(out);
}

// The text under a heading, one protocol line (up to its LF) per line.
void PluginDoctor::SayText(const char *label, const char *start, size_t length) {
  Say(std::string(label) + " (" + std::to_string(length) + " bytes):");
  const char *end = start + length;
  while (start < end) {
    const char *lineEnd = static_cast<const char *>(std::memchr(start, '\n', static_cast<size_t>(end - start)));
    lineEnd = lineEnd ? lineEnd + 1 : end;
    Say("    " + Visible(start, static_cast<size_t>(lineEnd - start)));
    start = lineEnd;
  }
}

PluginDoctor::Verdict PluginDoctor::Examine(const std::string &libraryPath, const std::string &plugin,
                                            const std::vector<std::string> &arguments) {
  const std::string library = AbsoluteLibraryPath(libraryPath);
  Say("library:       " + DisplayPath(library));
  if (!IsExistingFile(LoaderFileFor(library))) {
    Say("  there is no file " + DisplayPath(LoaderFileFor(library)) +
        "; plug-ins are looked for beside the library, so give its path with --dll");
    return Finish(kNoLibrary);
  }
  ReadLibraryMachine(LoaderFileFor(library));

  CText callText, name;
  if (!CallFields(plugin, arguments, &callText, &name)) return Finish(kNameRefused);
  name.ToUpper();
  Say("plug-in name:  " + Shown(name) + " (names are looked for in capital letters)");
  if (!IsNameInsideDirectory(name)) {
    const bool absolute = name[0] == '\\' || name[0] == '/' || (name[0] != 0 && name[1] == ':');
    Say(std::string("  refused: the library loads plug-ins only from its own directory, and this name ") +
        (absolute ? "is an absolute path" : "climbs out of it with \"..\""));
    return Finish(kNameRefused);
  }

  CText path = GetDirectoryPart(CText(library.c_str()));
  // Surrogates are started from the library's own directory, as the library
  // starts them.
  PluginModule::SetSurrogateDirectory(path.c_str());
  path.Append(name);
  PluginModule::SetObserver(this);
  Verdict verdict = LoadPlugin(path);
  if (verdict == kWorks) verdict = Execute(callText);
  return Finish(verdict);
}

// The call as the library sees it: the name and the arguments joined into
// one call text, cut at its first "]"; its fields are cut at "," without
// empty ones, as the library cuts them.
bool PluginDoctor::CallFields(const std::string &plugin, const std::vector<std::string> &arguments,
                              CText *callText, CText *name) {
  *callText = CText(plugin.c_str());
  for (const std::string &argument : arguments) callText->Append(",", 1).Append(argument.c_str());
  Say("call:          $tovra[" + Utf8FromShiftJis(callText->c_str()) + "]");
  if (const char *close = FindChar(callText->c_str(), callText->Length(), ']')) {
    *callText = CText(callText->c_str(), static_cast<size_t>(close - callText->c_str()));
    Say("  a \"]\" ends a call: the library sees only $tovra[" + Utf8FromShiftJis(callText->c_str()) + "]");
  }
  const char *written;
  size_t writtenLength;
  ExecuteRequest request;
  CTextArray fields;
  if (!ParseCall(callText->c_str(), callText->Length(), &written, &writtenLength, &request, &fields)) {
    Say("  the call names no plug-in: the library calls nothing for it");
    return false;
  }
  *name = CText(written, writtenLength);
  bool asGiven = fields.GetCount() == arguments.size() && *name == plugin.c_str();
  for (size_t i = 0; asGiven && i < fields.GetCount(); ++i) asGiven = fields.GetAt(i) == arguments[i].c_str();
  if (!asGiven) {
    std::string list;
    for (size_t i = 0; i < fields.GetCount(); ++i) list += (i > 0 ? ", " : "") + Shown(fields.GetAt(i));
    Say("  commas separate a call's fields and empty ones are dropped, so the name is " + Shown(*name) +
        " and the arguments are: " + (list.empty() ? "none" : list));
  }
  return true;
}

void PluginDoctor::ReadLibraryMachine(const std::string &libraryFile) {
  PeImage image;
  if (!image.Read(libraryFile)) {
    library.machine = PeImage::kOwnMachine;
    return;
  }
  library.machine = image.Machine();
  const unsigned other = library.machine == PeImage::kMachineX64 ? PeImage::kMachineX86 : PeImage::kMachineX64;
  Say("  a " + PeImage::Bitness(library.machine) + " DLL: it loads " + PeImage::Bitness(library.machine) +
      " plug-ins itself, and runs " + PeImage::Bitness(other) + " ones in a surrogate process");
}

PluginDoctor::Verdict PluginDoctor::LoadPlugin(const CText &path) {
  const std::string loaderPath = path.c_str();
  const std::string file = LoaderFileFor(loaderPath);
  Say("looked for:    " + DisplayPath(loaderPath));
  if (LoaderAddsExtension(loaderPath))
    Say(std::string("  the loader adds \"") + DefaultLibraryExtension() +
        "\" to a file name without an extension: " + DisplayPath(file));
  else if (DisplayPath(file) != DisplayPath(loaderPath))
    Say("  the loader opens " + DisplayPath(file));
  // The library's machine decides, not the doctor's: a plug-in the library
  // cannot load is refused from its header, whatever this program could do.
  PeImage image;
  const bool isPe = image.Read(file);
  // What the header says about the runtime holds whoever loads the file.
  const std::string runtime = isPe ? CompilerRuntimeAdvice(image.Imports()) : std::string();
  if (isPe && image.Machine() != library.machine) {
    if (!PluginSurrogate::Serves(image.Machine())) {
      Say("loading:       refused");
      Say("  " + MachineMismatch(file, image.Machine(), library));
      if (!runtime.empty()) Say("  " + runtime);
      return kLoaderRefused;
    }
    // A surrogate of the plug-in's bitness will load it, where this holds too.
    if (!runtime.empty()) Say("  " + runtime);
  }
  if (library.machine != PeImage::kOwnMachine) {
    Say("loading:       not tried: this tovra-doctor is a " + PeImage::Bitness(PeImage::kOwnMachine) +
        " program and cannot load the plug-ins of a " + PeImage::Bitness(library.machine) +
        " library; run the tovra-doctor built beside that library" +
        (PeImage::Is64BitMachine(library.machine) ? " (the 64-bit one, from the win64 zip)"
                                                  : " (the 32-bit one, from the win32 zip)"));
    if (!runtime.empty()) Say("  " + runtime);
    return kUsage;
  }
  step = Step::kBringUp;
  pluginPath = loaderPath;
  if (plugin.Load(path.c_str(), 0)) {
    Say(std::string("  accepted: the reply begins with \"") + kProtocolToken + "\"");
    return kWorks;
  }
  if (faulted) return kFaulted;
  if (surrogateVerdict != kWorks) return surrogateVerdict;
  if (!bound) {
    const LoaderError error = LastLoaderError();
    Say("loading:       failed");
    for (const std::string &line : ExplainLoadFailure(loaderPath, error, library)) Say("  " + line);
    return IsExistingFile(file) ? kLoaderRefused : kNoPluginFile;
  }
  if (!requestBound) return kNoRequestEntry;
  SayVersionRefused();
  return kVersionRefused;
}

// The version reply was refused; the library frees the plug-in again (after
// its unload entry, when it has one).
void PluginDoctor::SayVersionRefused() {
  if (refusalShown) return;
  refusalShown = true;
  if (!answered)
    Say("  refused: without a reply the library frees the plug-in again");
  else
    Say(std::string("  refused: the reply does not begin with \"") + kProtocolToken +
        "\" (letter case aside); the library frees the plug-in again");
}

void PluginDoctor::SayEntry(const char *label, void *entry, const char *name, const char *underscoreName) {
  const bool plain = entry && entry == plugin.GetProcAddress(name);
  std::string found;
  if (plain && plugin.GetProcAddress(underscoreName))
    found = std::string("\"") + name + "\" (its \"" + underscoreName + "\" is not used)";
  else if (plain)
    found = std::string("\"") + name + "\"";
  else if (entry)
    found = std::string("\"") + underscoreName + "\" (there is no \"" + name + "\")";
  Say(std::string(label) + (found.empty() ? "not exported" : "found as " + found));
}

void PluginDoctor::EntriesBound(const PluginModule &module) {
  bound = true;
  requestBound = module.pfnRequest != nullptr;
  Say("loading:       loaded " + DisplayPath(platform::GetModuleFilePath(module.hModule)));
  SayEntry("load entry:    ", reinterpret_cast<void *>(module.pfnLoad), "load", "_load");
  SayEntry("unload entry:  ", reinterpret_cast<void *>(module.pfnUnload), "unload", "_unload");
  SayEntry("request entry: ", reinterpret_cast<void *>(module.pfnRequest), "request", "_request");
  if (!module.pfnLoad || !module.pfnUnload || !module.pfnRequest) SayMangledEntries(module);
  if (!module.pfnRequest)
    Say("  the library needs \"request\" or \"_request\": it frees the plug-in again without calling anything");
  else if (!module.pfnLoad)
    Say("load call:     none, the plug-in has no load entry");
}

// An entry point that C++ exported under its mangled name is missing only
// for want of extern "C": say so, and list what the plug-in does export
// when its request entry is missing.
void PluginDoctor::SayMangledEntries(const PluginModule &module) {
  PeImage image;
  if (!image.Read(platform::GetModuleFilePath(module.hModule))) return;  // natively: no PE file to read
  const struct {
    const char *name;
    bool bound;
  } entries[] = {{"load", module.pfnLoad != nullptr},
                 {"unload", module.pfnUnload != nullptr},
                 {"request", module.pfnRequest != nullptr}};
  for (const auto &entry : entries) {
    if (entry.bound) continue;
    for (const std::string &exported : image.Exports()) {
      if (CppFunctionName(exported) != entry.name) continue;
      Say(std::string("  \"") + entry.name + "\" is exported under the C++ name " + Shown(exported.c_str(), exported.size()) +
          ": declare it extern \"C\" so that it is exported as \"" + entry.name + "\"");
    }
  }
  if (module.pfnRequest) return;
  std::string list;
  for (const std::string &exported : image.Exports())
    list += (list.empty() ? "" : ", ") + Shown(exported.c_str(), exported.size());
  Say("  the plug-in exports " + (list.empty() ? std::string("no names at all") : list));
}

void PluginDoctor::LoadCalled(const CText &directory, bool sent, int result) {
  if (!sent) {
    Say("load call:     skipped, no block could be had for the directory; the library goes on without it");
    return;
  }
  Say("load call:     load(" + Shown(directory) + ", " + std::to_string(directory.Length()) + ")");
  Say("  returned " + std::to_string(result) + (result ? "" : "; the library ignores a failure here and goes on"));
}

void PluginDoctor::Sending(const char *text, size_t length, bool sent) {
  answered = false;
  SayText(step == Step::kBringUp ? "version request" : "EXECUTE request", text, length);
  if (!sent) Say("  no block could be had for the request; nothing was sent");
}

// The reply as the library reads it, with what bounded its reading.
void PluginDoctor::Answered(bool replied, BlockLength stated, size_t blockSize, const char *text, size_t length) {
  if (!replied) {
    Say("reply:         none (the request entry returned no block)");
    return;
  }
  answered = true;
  const char *lineEnd = static_cast<const char *>(std::memchr(text, '\r', length));
  statusLine.assign(text, lineEnd ? static_cast<size_t>(lineEnd - text) : length);
  SayText("reply", text, length);
  const std::string statedText = "the stated length " + std::to_string(stated);
  if (stated < 0)
    Say("  " + statedText + " is negative: the library reads nothing of the block");
  else if (static_cast<size_t>(stated) > blockSize)
    Say("  " + statedText + " is larger than the block (" + std::to_string(blockSize) +
        " bytes): the library reads no further than the block");
  else if (length < static_cast<size_t>(stated))
    Say("  " + statedText + " runs past a zero byte, which ends the text");
}

void PluginDoctor::UnloadCalled(int result) {
  // During bring-up the unload entry runs only because the version reply was
  // refused: say so first.
  if (step == Step::kBringUp) SayVersionRefused();
  Say("unload call:   unload()");
  Say("  returned " + std::to_string(result));
}

static const char *StepWords(PluginStep step) {
  switch (step) {
    case PluginStep::kLibraryLoad: return "while its library was loaded";
    case PluginStep::kLoadCall: return "in its load entry";
    case PluginStep::kVersion: return "answering the version request";
    case PluginStep::kRequest: return "answering the EXECUTE request";
    case PluginStep::kUnloadCall: return "in its unload entry";
    case PluginStep::kLibraryFree: return "while its library was freed";
  }
  return "";
}

void PluginDoctor::SayFault(const std::string &exception, PluginStep faultStep, const char *where,
                            const std::string &place, const std::string &sourceCommand) {
  faulted = true;
  Say("fault:         " + exception + " " + StepWords(faultStep) + where);
  Say("  at " + place);
  if (!sourceCommand.empty()) Say("  the source line, in a plug-in built with -g: " + sourceCommand);
}

// Said while the plug-in is still loaded, so that its module can be named.
void PluginDoctor::Faulted(PluginStep faultStep, const platform::GuardedFault &fault) {
  SayFault(ExceptionWords(fault), faultStep, "", FaultPlace(fault, plugin.hModule),
           SourceLineCommand(fault, plugin.hModule));
  if (faultStep == PluginStep::kUnloadCall || faultStep == PluginStep::kLibraryFree)
    Say("  the library ends only the unload, and frees the plug-in all the same");
  else
    Say("  the library ends only this call, which is replaced by nothing");
  Say("  from its next call on, the library runs this plug-in in a surrogate process of its own");
}

void PluginDoctor::GoesToSurrogate(const std::string &program, unsigned machine, bool faultedHere) {
  surrogateMachine = machine;
  Say("where:         in a " + PeImage::Bitness(machine) + " surrogate, " + DisplayPath(program));
  Say(faultedHere ? "  the plug-in faulted in the library's process"
                  : "  the library is " + PeImage::Bitness(library.machine) + " and the plug-in " +
                        PeImage::Bitness(machine) + ": a surrogate of the plug-in's bitness runs it");
}

void PluginDoctor::BroughtUpInSurrogate(const BringUpReport &report) {
  switch (report.outcome) {
    case BringUpOutcome::kUp:
      Say("bring-up:      done in the surrogate (entries bound, load called, version reply accepted)");
      return;
    case BringUpOutcome::kNotLoaded: {
      Say("loading:       failed in the surrogate");
      LoaderError error;
      error.code = report.loaderError;
      LoadingSide surrogate{"the surrogate", "program", surrogateMachine};
      for (const std::string &line : ExplainLoadFailure(pluginPath, error, surrogate)) Say("  " + line);
      surrogateVerdict = IsExistingFile(LoaderFileFor(pluginPath)) ? kLoaderRefused : kNoPluginFile;
      return;
    }
    case BringUpOutcome::kNoRequestEntry:
      Say("loading:       the plug-in exports neither \"request\" nor \"_request\"; the surrogate frees it again");
      surrogateVerdict = kNoRequestEntry;
      return;
    case BringUpOutcome::kVersionRefused:
      SayText("version reply", report.versionReply.data(), report.versionReply.size());
      Say(std::string("  refused: the reply does not begin with \"") + kProtocolToken +
          "\" (letter case aside); the surrogate frees the plug-in again");
      surrogateVerdict = kVersionRefused;
      return;
  }
}

void PluginDoctor::SurrogateFailed(const SurrogateFailure &failure) {
  switch (failure.kind) {
    case SurrogateFailure::kNotStarted:
      Say("surrogate:     " + DisplayPath(failure.program) +
          " could not be started: it is missing, or this system cannot run its programs");
      Say("  the call is replaced by nothing, as for a plug-in that is missing");
      surrogateVerdict = kSurrogateFailed;
      return;
    case SurrogateFailure::kFaulted:
      SayFault(failure.fault.exception, failure.step, ", in the surrogate", failure.fault.place,
               failure.fault.sourceCommand);
      Say("  the surrogate ends, only this call is replaced by nothing, and the next call starts a fresh one");
      return;
    case SurrogateFailure::kBroken:
      Say("surrogate:     ended " + std::string(StepWords(failure.step)) +
          (failure.exited ? " with exit code " + std::to_string(failure.exitCode) : std::string()) +
          ": the plug-in ended its process (exit, abort, a fast fail), or the surrogate was ended from outside");
      Say("  only this call is replaced by nothing; the next call starts a fresh surrogate");
      surrogateVerdict = kSurrogateFailed;
      return;
    case SurrogateFailure::kRefused:
      return;  // said by BroughtUpInSurrogate
  }
}

PluginDoctor::Verdict PluginDoctor::Execute(const CText &callText) {
  const char *name;
  size_t nameLength;
  ExecuteRequest request;
  ParseCall(callText.c_str(), callText.Length(), &name, &nameLength, &request);
  step = Step::kExecute;
  CText result;
  bool hasResult = false;
  const BOOL accepted = plugin.Exchange(request.Text(), request.Length(), [&](const char *answer, size_t length) {
    const char *value;
    size_t valueLength;
    hasResult = FindResult(answer, length, &value, &valueLength);
    if (hasResult) result = CText(value, valueLength);
  });
  if (faulted) return kFaulted;
  if (surrogateVerdict != kWorks) return surrogateVerdict;
  if (!accepted && !answered) {
    Say("  refused: without a reply the call is replaced by nothing");
    return kExecuteRefused;
  }
  if (!accepted) {
    SayRefusedStatus();
    return kExecuteRefused;
  }
  if (!hasResult) {
    Say("  accepted, but the reply has no Result header; the call is replaced by nothing");
    return kNoResult;
  }
  Say("  accepted");
  Say("Result:        " + Shown(result) + " is what the library puts in the call's place");
  // Shift_JIS beyond ASCII, as a person reads it.
  for (size_t i = 0; i < result.Length(); ++i) {
    if (static_cast<unsigned char>(result[i]) < 0x80) continue;
    Say("  read as text: " + Utf8FromShiftJis(std::string(result.c_str(), result.Length())));
    break;
  }
  if (result.Length() == 0) Say("  an empty Result: the call is removed from the text");
  return kWorks;
}

// Why an EXECUTE reply was refused, and for the statuses a plug-in built on
// tovra_plugin.h answers, what in its code led there.
void PluginDoctor::SayRefusedStatus() {
  static const struct {
    const char *status;  // the status line's start, after "TOVRA/1.0 "
    const char *meaning;
    const char *code;
  } kKnown[] = {
      {"204", "\"no content\": it has no value for this call", "tovra_execute returned TOVRA_NO_RESULT"},
      {"400", "\"bad request\": it refused the call's arguments", "tovra_execute returned TOVRA_BAD_ARGUMENTS"},
      {"500", "that it failed",
       "tovra_execute returned TOVRA_FAILED or another status, threw (C++), or a result could not be set"},
  };
  for (const auto &known : kKnown) {
    const std::string expected = std::string(kProtocolToken) + " " + known.status;
    if (!StartsWithNoCase(statusLine.c_str(), statusLine.size(), expected.c_str(), expected.size()) ||
        (statusLine.size() > expected.size() && statusLine[expected.size()] != ' '))
      continue;
    Say(std::string("  refused: the plug-in answered ") + known.meaning + ", and the call is replaced by nothing");
    Say(std::string("  in a plug-in built on tovra_plugin.h: ") + known.code);
    return;
  }
  Say("  refused: the reply does not begin with the status line " + Shown(CText(kAcceptedStatusLine)) +
      " (letter case aside); the call is replaced by nothing");
}

// Unloads the plug-in as the library does (its unload entry only once its
// load call was reached), frees it and gives the verdict.
PluginDoctor::Verdict PluginDoctor::Finish(Verdict verdict) {
  step = Step::kFinish;
  if (plugin.hModule) plugin.Unload();
  if (bound) Say("freed:         the plug-in library");
  if (faulted) verdict = kFaulted;
  else if (surrogateVerdict != kWorks) verdict = surrogateVerdict;
  PluginModule::SetObserver(nullptr);
  Say("verdict:       " + std::string(Summary(verdict)) +
      (verdict == kWorks ? "" : "; the call is replaced by nothing") + " (exit " + std::to_string(verdict) + ")");
  return verdict;
}
