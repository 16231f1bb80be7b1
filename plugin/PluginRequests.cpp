#include "plugin/PluginRequests.h"

const char kVersionRequest[] = "GET Version TOVRA/1.0\r\n\r\n";
const char kProtocolToken[] = "TOVRA/1.0";
const char kAcceptedStatusLine[] = "TOVRA/1.0 200 OK\r\n";

static const char kExecuteHead[] =
    "EXECUTE TOVRA/1.0\r\n"
    "SecurityLevel: Local\r\n"
    "Charset: Shift_JIS\r\n"
    "Sender: Tovra Caller Vordel\r\n";

CText BuildExecuteRequest(const CTextArray &fields) {
  CText request(kExecuteHead);
  CText line;
  for (size_t i = 1; i < fields.GetCount(); ++i) {
    // Only the number is formatted; the argument travels whole.
    Format(line, "Argument%d: ", static_cast<int>(i - 1));
    request.Append(line).Append(fields.GetAt(i)).Append("\r\n", 2);
  }
  request.Append("\r\n", 2);
  return request;
}
