#include "host/CallerEngine.h"

#include <cstring>
#include <string>

#include "framework/Application.h"
#include "host/Envelope.h"
#include "plugin/ModuleRegistry.h"
#include "plugin/PluginPaths.h"
#include "plugin/PluginRequests.h"
#include "text/DoubleByte.h"
#include "text/GlobalText.h"
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

// Appends text to the expansion without letting it complete a CR LF pair,
// which would end the reply's one String line early: the host's value holds
// no such pair, but a call that leaves nothing can bring a CR before it and
// an LF after it together. Such an LF becomes a space.
static void AppendText(CText *output, const char *text, size_t length) {
  if (length == 0) return;  // calls side by side leave nothing between them
  const size_t end = output->Length();
  if (text[0] == '\n' && end > 0 && (*output)[end - 1] == '\r') {
    output->Append(" ", 1);
    ++text;
    --length;
  }
  output->Append(text, length);
}

// Appends a Result value, which goes into the reply's one String line: its
// lone CR and LF bytes (never part of a double-byte character) become spaces,
// as plug-ins built on the SDK write them.
static void AppendResult(CText *output, const char *value, size_t length) {
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (value[i] != '\r' && value[i] != '\n') continue;
    output->Append(value + start, i - start).Append(" ", 1);
    start = i + 1;
  }
  output->Append(value + start, length - start);
}

// Appends the result of one call (the `length` bytes between "$tovra[" and
// "]") to `output`; a call that fails in any way leaves nothing. The fields
// are read where they lie: the arguments go straight into the plug-in
// request, and the Result straight out of the plug-in's answer block.
static void CarryOutCall(const char *callText, size_t length, CText *output) {
  const char *name;
  size_t nameLength;
  ExecuteRequest request;
  if (!ParseCall(callText, length, &name, &nameLength, &request)) return;  // no name: nothing to call
  PluginModule *module = ModuleForName(name, nameLength);
  if (!module) return;
  if (!module->IsUp()) {
    // Without its own directory the library loads nothing: a bare name would
    // be looked for along the system's search path. Surrogates, too, are
    // started only from there.
    CText path = LibraryDirectory();
    if (path.IsEmpty()) return;
    PluginModule::SetSurrogateDirectory(path.c_str());
    if (!module->Load(path.Append(CText(name, nameLength).ToUpper()).c_str(), 0)) return;
  }
  module->Exchange(request.Text(), request.Length(), [output](const char *answer, size_t answerLength) {
    const char *result;
    size_t resultLength;
    if (FindResult(answer, answerLength, &result, &resultLength)) AppendResult(output, result, resultLength);
  });
}

void CallerEngine::ExpandCalls(const char *value, size_t length, CText *output) {
  const char *rest = value;
  size_t restLength = length;
  for (;;) {
    const char *call = FindTextN(rest, restLength, kCallMarker, kCallMarkerLength);
    if (!call) {
      AppendText(output, rest, restLength);
      return;
    }
    AppendText(output, rest, static_cast<size_t>(call - rest));
    const char *callText = call + kCallMarkerLength;
    const size_t available = restLength - static_cast<size_t>(callText - rest);
    const char *close = FindChar(callText, available, ']');
    if (!close) return;  // an unterminated call and all after it are dropped
    CarryOutCall(callText, static_cast<size_t>(close - callText), output);
    restLength -= static_cast<size_t>(close + 1 - rest);
    rest = close + 1;
  }
}

int CallerEngine::HandleLoad(const char *) {
  return 1;
}

HGLOBAL CallerEngine::HandleRequest(const char *requestText, size_t length, BlockLength *replyLength,
                                    bool *leavesBlockToHost) {
  const char *value;
  size_t valueLength;
  HGLOBAL reply;
  if (!FindStringValue(requestText, length, &value, &valueLength)) {
    reply = CopyTextToGlobal(kBadRequestReply, replyLength);
  } else if (!FindTextN(value, valueLength, kCallMarker, kCallMarkerLength)) {
    reply = NewOkReplyBlock(value, valueLength, replyLength);  // nothing to expand
  } else {
    CText expanded;
    expanded.Reserve(valueLength);
    ExpandCalls(value, valueLength, &expanded);
    reply = NewOkReplyBlock(expanded.c_str(), expanded.Length(), replyLength);
  }
  if (reply) *leavesBlockToHost = ReplyLeavesBlockToHost(static_cast<const char *>(reply), *replyLength);
  return reply;
}

int CallerEngine::HandleUnload() {
  return GetModuleRegistry().UnloadAll();
}
