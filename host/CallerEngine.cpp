#include "host/CallerEngine.h"

#include <cstring>
#include <string>

#include "framework/Application.h"
#include "host/Envelope.h"
#include "host/GlobalText.h"
#include "plugin/ModuleRegistry.h"
#include "plugin/PluginRequests.h"
#include "plugin/PluginPaths.h"
#include "text/DoubleByte.h"
#include "text/TextSearch.h"

static const char kCallMarker[] = "$tovra[";
static const size_t kCallMarkerLength = sizeof kCallMarker - 1;

// The directory of this library's own file, ending in '\'; empty when the
// library cannot tell its own path.
static CText LibraryDirectory() {
  CApplication *application = GetApplication();
  return application ? GetDirectoryPart(application->GetModuleFileName()) : CText();
}

// The registry entry that the last call's name reached, kept by the name as
// the call wrote it: calls of one plug-in tend to come in runs, and entries
// are never removed, so the entry stays valid. Names that were refused are
// not kept.
struct LastCallName {
  std::string written;
  PluginModule *module = nullptr;
};

static LastCallName &LastCall() {
  static LastCallName last;
  return last;
}

// The registry entry for a name as written in a call: upper-cased, refused
// (null) when it would leave the library's directory.
static PluginModule *ModuleForName(const char *written, size_t length) {
  LastCallName &last = LastCall();
  if (last.module && last.written.size() == length && std::memcmp(last.written.data(), written, length) == 0)
    return last.module;
  CText name(written, length);
  name.ToUpper();
  if (!IsNameInsideDirectory(name)) return nullptr;
  PluginModule *module = &GetModuleRegistry().Lookup(name);
  last.written.assign(written, length);
  last.module = module;
  return module;
}

// Appends the result of one call (the `length` bytes between "$tovra[" and
// "]") to `output`; a call that fails in any way leaves nothing. The fields
// are read where they lie: the arguments go straight into the plug-in
// request.
static void CarryOutCall(const char *callText, size_t length, CText *output) {
  const char *name = nullptr;
  size_t nameLength = 0;
  ExecuteRequest request;
  ForEachField(callText, length, ",", 1, 1, [&](const char *field, size_t fieldLength) {
    if (!name) {
      name = field;
      nameLength = fieldLength;
    } else {
      request.AddArgument(field, fieldLength);
    }
    return true;
  });
  if (!name) return;  // no name: nothing to call
  request.Finish();
  PluginModule *module = ModuleForName(name, nameLength);
  if (!module) return;
  if (!module->hModule) {
    // Without its own directory the library loads nothing: a bare name would
    // be looked for along the system's search path.
    CText path = LibraryDirectory();
    if (path.IsEmpty()) return;
    module->Load(path.Append(CText(name, nameLength).ToUpper()).c_str(), 0);
    if (!module->hModule) return;
  }

  // The Result value is copied straight out of the plug-in's answer block.
  // An accepted answer begins with the status line, whole and in ASCII, so
  // its first line is that line and no Result line: the search starts after.
  static const size_t statusLength = std::strlen(kAcceptedStatusLine);
  module->ExchangeInPlace(request.Text(), request.Length(), [output](const char *answer, size_t length) {
    const char *result;
    size_t resultLength;
    if (FindHeaderInText(answer + statusLength, length - statusLength, "Result", &result, &resultLength))
      output->Append(result, resultLength);
  });
}

void CallerEngine::ExpandCallsInto(const char *value, size_t length, CText *output) {
  const char *rest = value;
  size_t restLength = length;
  for (;;) {
    const char *call = FindTextN(rest, restLength, kCallMarker, kCallMarkerLength);
    if (!call) {
      output->Append(rest, restLength);
      return;
    }
    output->Append(rest, static_cast<size_t>(call - rest));
    const char *callText = call + kCallMarkerLength;
    const size_t available = restLength - static_cast<size_t>(callText - rest);
    const char *close = FindCharN(callText, available, ']');
    if (!close) return;  // an unterminated call and all after it are dropped
    CarryOutCall(callText, static_cast<size_t>(close - callText), output);
    restLength -= static_cast<size_t>(close + 1 - rest);
    rest = close + 1;
  }
}

CText CallerEngine::ExpandCalls(const CText &value) {
  CText output;
  output.Reserve(value.Length());
  ExpandCallsInto(value.c_str(), value.Length(), &output);
  return output;
}

int CallerEngine::HandleLoad(const char *) {
  return 1;
}

// The same steps as Split, HandleRequest and FormatOkReply, with the lines
// read where they lie in the request text and the expansion written straight
// into the reply: the String value is copied once, into the reply.
HGLOBAL CallerEngine::AnswerRequestInBlock(const char *requestText, size_t length, BlockLength *replyLength,
                                           bool *leavesBlockToHost) {
  const char *value;
  size_t valueLength;
  CText reply;
  if (FindStringValue(requestText, length, &value, &valueLength)) {
    if (!FindTextN(value, valueLength, kCallMarker, kCallMarkerLength)) {
      // Nothing to expand: the 200 reply goes straight into its block.
      *leavesBlockToHost = false;
      return NewOkReplyBlock(value, valueLength, replyLength);
    }
    reply = OkReplyFor(value, valueLength);
  } else {
    reply = kBadRequestReply;
  }
  *leavesBlockToHost = ReplyLeavesBlockToHost(reply);
  return CopyTextToGlobal(reply, replyLength);
}

bool CallerEngine::FindStringValue(const char *requestText, size_t length, const char **value,
                                   size_t *valueLength) {
  bool sawRequestLine = false, accepted = false, found = false;
  ForEachField(requestText, length, "\r\n", 2, 1, [&](const char *line, size_t lineLength) {
    if (!sawRequestLine) {
      sawRequestLine = true;
      accepted = StartsWithNoCase(line, lineLength, "EXECUTE", 7);
      if (!accepted) return false;
    }
    found = HeaderValueOf(line, lineLength, "String", 6, value, valueLength);
    return !found;
  });
  // A text without any line has no request line to accept.
  return accepted && found;
}

CText CallerEngine::HandleRequest(const CTextArray *lines) {
  CText value;
  if (!FindHeader(lines, "String", &value)) return CText(kBadRequestReply);
  return OkReplyFor(value.c_str(), value.Length());
}

CText CallerEngine::OkReplyFor(const char *value, size_t length) {
  CText reply;
  StartOkReply(&reply, length);
  ExpandCallsInto(value, length, &reply);
  FinishOkReply(&reply);
  return reply;
}

int CallerEngine::HandleUnload() {
  return GetModuleRegistry().UnloadAll();
}
