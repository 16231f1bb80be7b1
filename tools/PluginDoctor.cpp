#include "tools/PluginDoctor.h"

#include <cstring>

#include "host/Envelope.h"
#include "host/GlobalText.h"
#include "plugin/PluginPaths.h"
#include "plugin/PluginRequests.h"
#include "text/DoubleByte.h"
#include "text/TextSearch.h"
#include "tools/LoaderFacts.h"
#include "tools/PeImage.h"

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

static std::string Shown(const CText &text) {
  return PluginDoctor::Visible(text.c_str(), text.Length());
}

void PluginDoctor::Say(const std::string &line) {
  std::fwrite(line.data(), 1, line.size(), out);
  std::fputc('\n', out);
  // Written at once: a plug-in that crashes the doctor leaves every step
  // before it on the screen.
  std::fflush(out);
}

// The text under a heading, one protocol line (up to its LF) per line.
void PluginDoctor::SayText(const char *label, const CText &text) {
  Say(std::string(label) + " (" + std::to_string(text.Length()) + " bytes):");
  const char *start = text.c_str();
  const char *end = start + text.Length();
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
    Say("  there is no file " + LoaderFileFor(library) +
        "; plug-ins are looked for beside the library, so give its path with --dll");
    return Finish(kNoLibrary);
  }
  ReadLibraryMachine(LoaderFileFor(library));

  CTextArray fields;
  if (!CallFields(plugin, arguments, &fields)) return Finish(kNameRefused);
  CText name = fields.GetAt(0);
  name.ToUpper();
  Say("plug-in name:  " + Shown(name) + " (names are looked for in capital letters)");
  if (!IsNameInsideDirectory(name)) {
    const bool absolute = name[0] == '\\' || name[0] == '/' || (name[0] != 0 && name[1] == ':');
    Say(std::string("  refused: the library loads plug-ins only from its own directory, and this name ") +
        (absolute ? "is an absolute path" : "climbs out of it with \"..\""));
    return Finish(kNameRefused);
  }

  CText path = GetDirectoryPart(CText(library.c_str()));
  path.Append(name);
  Verdict verdict = LoadPlugin(path);
  if (verdict != kWorks) return Finish(verdict);
  if (!BindEntries()) return Finish(kNoRequestEntry);
  CallLoad();
  verdict = CheckVersion();
  if (verdict != kWorks) return Finish(verdict);
  return Finish(Execute(fields));
}

// The call as the library sees it: the name and the arguments joined into
// one call text, cut at its first "]" and split at "," without empty fields.
bool PluginDoctor::CallFields(const std::string &plugin, const std::vector<std::string> &arguments,
                              CTextArray *fields) {
  CText callText(plugin.c_str());
  for (const std::string &argument : arguments) callText.Append(",", 1).Append(argument.c_str());
  Say("call:          $tovra[" + std::string(callText.c_str()) + "]");
  if (const char *close = FindCharN(callText.c_str(), callText.Length(), ']')) {
    callText = CText(callText.c_str(), static_cast<size_t>(close - callText.c_str()));
    Say("  a \"]\" ends a call: the library sees only $tovra[" + std::string(callText.c_str()) + "]");
  }
  callText.Split(",", fields, 1);
  if (fields->IsEmpty()) {
    Say("  the call names no plug-in: the library calls nothing for it");
    return false;
  }
  bool asGiven = fields->GetCount() == arguments.size() + 1 && fields->GetAt(0) == plugin.c_str();
  for (size_t i = 1; asGiven && i < fields->GetCount(); ++i) asGiven = fields->GetAt(i) == arguments[i - 1].c_str();
  if (!asGiven) {
    std::string list;
    for (size_t i = 1; i < fields->GetCount(); ++i) list += (i > 1 ? ", " : "") + Shown(fields->GetAt(i));
    Say("  commas separate a call's fields and empty ones are dropped, so the name is " +
        Shown(fields->GetAt(0)) + " and the arguments are: " + (list.empty() ? "none" : list));
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
  Say("  a " + PeImage::Bitness(library.machine) + " DLL: it loads only " + PeImage::Bitness(library.machine) +
      " plug-ins");
}

PluginDoctor::Verdict PluginDoctor::LoadPlugin(const CText &path) {
  const std::string loaderPath = path.c_str();
  const std::string file = LoaderFileFor(loaderPath);
  Say("looked for:    " + DisplayPath(loaderPath));
  if (LoaderAddsExtension(loaderPath))
    Say(std::string("  the loader adds \"") + DefaultLibraryExtension() +
        "\" to a file name without an extension: " + file);
  else if (file != DisplayPath(loaderPath))
    Say("  the loader opens " + file);
  // The library's machine decides, not the doctor's: a plug-in the library
  // cannot load is refused from its header, whatever this program could do.
  PeImage image;
  if (image.Read(file) && image.Machine() != library.machine) {
    Say("loading:       refused");
    Say("  " + MachineMismatch(file, image.Machine(), library));
    return kLoaderRefused;
  }
  if (library.machine != PeImage::kOwnMachine) {
    Say("loading:       not tried: this tovra-doctor is a " + PeImage::Bitness(PeImage::kOwnMachine) +
        " program and cannot load the plug-ins of a " + PeImage::Bitness(library.machine) +
        " library; run the tovra-doctor built beside that library");
    return kUsage;
  }
  module = platform::LoadDynamicLibrary(path.c_str(), 0);
  if (!module) {
    const LoaderError error = LastLoaderError();
    Say("loading:       failed");
    for (const std::string &line : ExplainLoadFailure(loaderPath, error, library)) Say("  " + line);
    return IsExistingFile(file) ? kLoaderRefused : kNoPluginFile;
  }
  Say("loading:       loaded " + DisplayPath(platform::GetModuleFilePath(module)));
  return kWorks;
}

void *PluginDoctor::Bind(const char *label, const char *name, const char *underscoreName) {
  void *plain = platform::GetLibraryProcAddress(module, name);
  void *underscore = platform::GetLibraryProcAddress(module, underscoreName);
  std::string found;
  if (plain && underscore)
    found = std::string("\"") + name + "\" (its \"" + underscoreName + "\" is not used)";
  else if (plain)
    found = std::string("\"") + name + "\"";
  else if (underscore)
    found = std::string("\"") + underscoreName + "\" (there is no \"" + name + "\")";
  Say(std::string(label) + (found.empty() ? "not exported" : "found as " + found));
  return plain ? plain : underscore;
}

// Binds the three entry points under the names the library uses; false,
// with none kept, when there is no request entry.
bool PluginDoctor::BindEntries() {
  loadEntry = reinterpret_cast<LoadFunction>(Bind("load entry:    ", "load", "_load"));
  unloadEntry = reinterpret_cast<UnloadFunction>(Bind("unload entry:  ", "unload", "_unload"));
  requestEntry = reinterpret_cast<RequestFunction>(Bind("request entry: ", "request", "_request"));
  if (requestEntry) return true;
  Say("  the library needs \"request\" or \"_request\": it frees the plug-in again without calling anything");
  loadEntry = nullptr;
  unloadEntry = nullptr;
  return false;
}

void PluginDoctor::CallLoad() {
  if (!loadEntry) {
    Say("load call:     none, the plug-in has no load entry");
    return;
  }
  CText directory = GetDirectoryPart(CText(platform::GetModuleFilePath(module).c_str()));
  BlockLength length = 0;
  HGLOBAL block = CopyTextToGlobal(directory, &length);
  if (!block) {
    Say("load call:     skipped, no block could be had for the directory; the library goes on without it");
    return;
  }
  Say("load call:     load(" + Shown(directory) + ", " + std::to_string(length) + ")");
  const BOOL result = loadEntry(block, length);
  Say("  returned " + std::to_string(result) + (result ? "" : "; the library ignores a failure here and goes on"));
}

PluginDoctor::Reply PluginDoctor::Send(const char *label, const CText &request) {
  SayText(label, request);
  Reply reply;
  BlockLength length = 0;
  HGLOBAL block = CopyTextToGlobal(request, &length);
  if (!block) {
    Say("  no block could be had for the request; nothing was sent");
    return reply;
  }
  HGLOBAL answer = requestEntry(block, &length);
  if (!answer) {
    Say("reply:         none (the request entry returned no block)");
    return reply;
  }
  reply.received = true;
  reply.stated = length;
  reply.blockSize = platform::GlobalBlockSize(answer);
  reply.text = ReadGlobalText(answer, length);
  platform::FreeGlobalBlock(answer);
  ShowReply(reply);
  return reply;
}

// The reply as the library reads it, with what bounded its reading.
void PluginDoctor::ShowReply(const Reply &reply) {
  SayText("reply", reply.text);
  const std::string stated = "the stated length " + std::to_string(reply.stated);
  if (reply.stated < 0)
    Say("  " + stated + " is negative: the library reads nothing of the block");
  else if (static_cast<size_t>(reply.stated) > reply.blockSize)
    Say("  " + stated + " is larger than the block (" + std::to_string(reply.blockSize) +
        " bytes): the library reads no further than the block");
  else if (reply.text.Length() < static_cast<size_t>(reply.stated))
    Say("  " + stated + " runs past a zero byte, which ends the text");
}

PluginDoctor::Verdict PluginDoctor::CheckVersion() {
  const Reply reply = Send("version request", CText(kVersionRequest));
  if (!reply.received) {
    Say("  refused: without a reply the library frees the plug-in again");
    return kVersionRefused;
  }
  if (CompareNoCaseN(reply.text.c_str(), kProtocolToken, std::strlen(kProtocolToken)) != 0) {
    Say(std::string("  refused: the reply does not begin with \"") + kProtocolToken +
        "\" (letter case aside); the library frees the plug-in again");
    return kVersionRefused;
  }
  Say(std::string("  accepted: the reply begins with \"") + kProtocolToken + "\"");
  return kWorks;
}

PluginDoctor::Verdict PluginDoctor::Execute(const CTextArray &fields) {
  const Reply reply = Send("EXECUTE request", BuildExecuteRequest(fields));
  if (!reply.received) {
    Say("  refused: without a reply the call is replaced by nothing");
    return kExecuteRefused;
  }
  const CText statusLine(kAcceptedStatusLine);
  if (CompareNoCaseN(reply.text.c_str(), kAcceptedStatusLine, statusLine.Length()) != 0) {
    Say("  refused: the reply does not begin with the status line " + Shown(statusLine) +
        " (letter case aside); the call is replaced by nothing");
    return kExecuteRefused;
  }
  CTextArray lines;
  reply.text.Split("\r\n", &lines, 1);
  CText result;
  if (!FindHeader(&lines, "Result", &result)) {
    Say("  accepted, but the reply has no Result header; the call is replaced by nothing");
    return kNoResult;
  }
  Say("  accepted");
  Say("Result:        " + Shown(result) + " is what the library puts in the call's place");
  return kWorks;
}

// Unloads the plug-in as the library does (its unload entry only once its
// load call was reached), frees it and gives the verdict.
PluginDoctor::Verdict PluginDoctor::Finish(Verdict verdict) {
  if (module) {
    if (unloadEntry) {
      Say("unload call:   unload()");
      Say("  returned " + std::to_string(unloadEntry()));
    }
    platform::FreeDynamicLibrary(module);
    module = nullptr;
    Say("freed:         the plug-in library");
  }
  Say("verdict:       " + std::string(Summary(verdict)) +
      (verdict == kWorks ? "" : "; the call is replaced by nothing") + " (exit " + std::to_string(verdict) + ")");
  return verdict;
}
