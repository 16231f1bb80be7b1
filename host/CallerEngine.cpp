#include "host/CallerEngine.h"

#include "framework/Application.h"
#include "host/Envelope.h"
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

// Appends the result of one call (the text between "$tovra[" and "]") to
// `output`; a call that fails in any way leaves nothing.
static void CarryOutCall(const CText &callText, CText *output) {
  CTextArray fields;
  callText.Split(",", &fields, 1);
  if (fields.IsEmpty()) return;  // no name: nothing to call
  CText name = fields.GetAt(0);
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

  CTextArray replyLines;
  CText result;
  if (module.Exchange(BuildExecuteRequest(fields).c_str(), &replyLines) &&
      FindHeader(&replyLines, "Result", &result))
    output->Append(result);
}

CText CallerEngine::ExpandCalls(const CText &value) {
  CText output;
  output.Reserve(value.Length());
  const char *rest = value.c_str();
  size_t restLength = value.Length();
  for (;;) {
    const char *call = FindTextN(rest, restLength, kCallMarker, kCallMarkerLength);
    if (!call) {
      output.Append(rest, restLength);
      break;
    }
    output.Append(rest, static_cast<size_t>(call - rest));
    const char *callText = call + kCallMarkerLength;
    const size_t available = restLength - static_cast<size_t>(callText - rest);
    const char *close = FindCharN(callText, available, ']');
    if (!close) break;  // an unterminated call and all after it are dropped
    CarryOutCall(CText(callText, static_cast<size_t>(close - callText)), &output);
    restLength -= static_cast<size_t>(close + 1 - rest);
    rest = close + 1;
  }
  return output;
}

int CallerEngine::HandleLoad(const char *) {
  return 1;
}

CText CallerEngine::AnswerRequest(const CText &requestText) {
  CTextArray lines;
  requestText.Split("\r\n", &lines, 1);
  // A text without any line has no request line to accept.
  if (lines.IsEmpty() || CompareNoCaseN(lines.GetAt(0).c_str(), "EXECUTE", 7) != 0) return CText(kBadRequestReply);
  return HandleRequest(&lines);
}

CText CallerEngine::HandleRequest(const CTextArray *lines) {
  CText value;
  if (!FindHeader(lines, "String", &value)) return CText(kBadRequestReply);
  return FormatOkReply(ExpandCalls(value));
}

int CallerEngine::HandleUnload() {
  return GetModuleRegistry().UnloadAll();
}
