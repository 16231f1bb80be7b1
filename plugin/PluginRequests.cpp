#include "plugin/PluginRequests.h"

#include <cstring>

const char kVersionRequest[] = "GET Version TOVRA/1.0\r\n\r\n";
const char kProtocolToken[] = "TOVRA/1.0";
const char kAcceptedStatusLine[] = "TOVRA/1.0 200 OK\r\n";

static const char kExecuteHead[] =
    "EXECUTE TOVRA/1.0\r\n"
    "SecurityLevel: Local\r\n"
    "Charset: Shift_JIS\r\n"
    "Sender: Tovra Caller Vordel\r\n";
static const char kArgumentName[] = "Argument";

void StartExecuteRequest(CText *request, size_t argumentBytes) {
  request->Empty();
  // Each argument line adds its name, a number, ": " and "\r\n".
  request->Reserve(sizeof kExecuteHead + argumentBytes + 32);
  request->Append(kExecuteHead, sizeof kExecuteHead - 1);
}

void AddExecuteArgument(CText *request, int index, const char *value, size_t length) {
  // "Argument%d: " without a formatter: the decimal digits of the index.
  char line[sizeof kArgumentName + 16];
  std::memcpy(line, kArgumentName, sizeof kArgumentName - 1);
  char digits[12];
  size_t count = 0;
  unsigned long number = index < 0 ? 0ul - static_cast<unsigned long>(index) : static_cast<unsigned long>(index);
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  size_t at = sizeof kArgumentName - 1;
  if (index < 0) line[at++] = '-';
  while (count > 0) line[at++] = digits[--count];
  line[at++] = ':';
  line[at++] = ' ';
  request->Append(line, at).Append(value, length).Append("\r\n", 2);
}

void FinishExecuteRequest(CText *request) {
  request->Append("\r\n", 2);
}

CText BuildExecuteRequest(const CTextArray &fields) {
  size_t argumentBytes = 0;
  for (size_t i = 1; i < fields.GetCount(); ++i) argumentBytes += fields.GetAt(i).Length() + 16;
  CText request;
  StartExecuteRequest(&request, argumentBytes);
  for (size_t i = 1; i < fields.GetCount(); ++i) {
    // Only the number is formatted; the argument travels whole.
    const CText &field = fields.GetAt(i);
    AddExecuteArgument(&request, static_cast<int>(i - 1), field.c_str(), field.Length());
  }
  FinishExecuteRequest(&request);
  return request;
}
