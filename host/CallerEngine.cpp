#include "host/CallerEngine.h"

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

// Appends the result of one call (the `length` bytes between "$tovra[" and
// "]") to `output`; a call that fails in any way leaves nothing. The fields
// are read where they lie: the name is copied, the arguments go straight
// into the plug-in request.
static void CarryOutCall(const char *callText, size_t length, CText *output) {
  CText name;
  ExecuteRequest request;
  bool haveName = false;
  ForEachField(callText, length, ",", 1, 1, [&](const char *field, size_t fieldLength) {
    if (!haveName) {
      name = CText(field, fieldLength);
      haveName = true;
    } else {
      request.AddArgument(field, fieldLength);
    }
    return true;
  });
  if (!haveName) return;  // no name: nothing to call
  request.Finish();
  name.ToUpper();
  if (!IsNameInsideDirectory(name)) return;

  PluginModule &module = GetModuleRegistry().Lookup(name);
  if (!module.hModule) {
    // Without its own directory the library loads nothing: a bare name would
    // be looked for along the system's search path.
    CText directory = LibraryDirectory();
    if (directory.IsEmpty()) return;
    module.Load(directory.Append(name).c_str(), 0);
    if (!module.hModule) return;
  }

  // The Result value is copied straight out of the plug-in's answer block.
  module.ExchangeInPlace(request.Text(), request.Length(), [output](const char *answer, size_t length) {
    const char *result;
    size_t resultLength;
    if (FindHeaderInText(answer, length, "Result", &result, &resultLength)) output->Append(result, resultLength);
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
CText CallerEngine::AnswerRequest(const CText &requestText) {
  return AnswerRequest(requestText.c_str(), requestText.Length());
}

CText CallerEngine::AnswerRequest(const char *requestText, size_t length) {
  const char *value;
  size_t valueLength;
  if (!FindStringValue(requestText, length, &value, &valueLength)) return CText(kBadRequestReply);
  return OkReplyFor(value, valueLength);
}

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
