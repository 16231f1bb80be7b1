#include "plugin/PluginRequests.h"

#include <cstring>

#include "text/HeaderLines.h"

const char kVersionRequest[] = "GET Version TOVRA/1.0\r\n\r\n";
const char kProtocolToken[] = "TOVRA/1.0";

static const char kExecuteHead[] =
    "EXECUTE TOVRA/1.0\r\n"
    "SecurityLevel: Local\r\n"
    "Charset: Shift_JIS\r\n"
    "Sender: Tovra Caller Vordel\r\n";
static const char kArgumentName[] = "Argument";

ExecuteRequest::ExecuteRequest() {
  Append(kExecuteHead, sizeof kExecuteHead - 1);
}

void ExecuteRequest::AddArgument(const char *value, size_t length) {
  // "Argument%d: " without a formatter: the decimal digits of the number.
  char line[sizeof kArgumentName + 16];
  std::memcpy(line, kArgumentName, sizeof kArgumentName - 1);
  char digits[12];
  size_t count = 0;
  unsigned number = arguments++;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  size_t at = sizeof kArgumentName - 1;
  while (count > 0) line[at++] = digits[--count];
  line[at++] = ':';
  line[at++] = ' ';
  if (!spilled && used + at + length + 2 <= sizeof buffer) {
    // The usual short argument: the whole line goes into the buffer at once.
    char *out = buffer + used;
    std::memcpy(out, line, at);
    std::memcpy(out + at, value, length);
    out[at + length] = '\r';
    out[at + length + 1] = '\n';
    used += at + length + 2;
    return;
  }
  Append(line, at);
  Append(value, length);
  Append("\r\n", 2);
}

void ExecuteRequest::Finish() {
  Append("\r\n", 2);
}

void ExecuteRequest::Append(const char *bytes, size_t length) {
  if (!spilled && used + length <= sizeof buffer) {
    std::memcpy(buffer + used, bytes, length);
    used += length;
    return;
  }
  if (!spilled) {
    spilled = true;
    overflow.Reserve(used + length + 64);
    overflow.Append(buffer, used);
  }
  overflow.Append(bytes, length);
}

bool FindResult(const char *reply, size_t length, const char **value, size_t *valueLength) {
  // The status line is whole and ASCII, so it is the first line and no
  // Result line: the search starts after it.
  if (length < kAcceptedStatusLength) return false;
  return FindHeader(reply + kAcceptedStatusLength, length - kAcceptedStatusLength, "Result", value, valueLength);
}
