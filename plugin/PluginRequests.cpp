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
  static_assert(sizeof kExecuteHead - 1 <= sizeof buffer, "the header block fits the buffer");
  std::memcpy(buffer, kExecuteHead, sizeof kExecuteHead - 1);
  used = sizeof kExecuteHead - 1;
}

// Writes "Argument%d: " for `number` without a formatter and returns its
// length, at most kLongestArgumentPrefix bytes.
static const size_t kLongestArgumentPrefix = sizeof kArgumentName - 1 + 10 + 2;
static size_t WriteArgumentPrefix(char *out, unsigned number) {
  std::memcpy(out, kArgumentName, sizeof kArgumentName - 1);
  char digits[10];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  size_t at = sizeof kArgumentName - 1;
  while (count > 0) out[at++] = digits[--count];
  out[at++] = ':';
  out[at++] = ' ';
  return at;
}

void ExecuteRequest::AddArgument(const char *value, size_t length) {
  const unsigned number = arguments++;
  const char *zero = cut == static_cast<size_t>(-1) ? FindByte(value, length, 0) : nullptr;
  const size_t zeroOffset = zero ? static_cast<size_t>(zero - value) : 0;
  if (!spilled && length <= sizeof buffer && used + kLongestArgumentPrefix + length + 2 <= sizeof buffer) {
    // The usual short argument: the whole line is written into the buffer.
    char *out = buffer + used;
    const size_t at = WriteArgumentPrefix(out, number);
    if (zero) cut = used + at + zeroOffset;
    std::memcpy(out + at, value, length);
    out[at + length] = '\r';
    out[at + length + 1] = '\n';
    used += at + length + 2;
    return;
  }
  char line[kLongestArgumentPrefix];
  const size_t at = WriteArgumentPrefix(line, number);
  if (zero) cut = Whole() + at + zeroOffset;
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
