// The two TOVRA/1.0 requests the library sends a plug-in, and the status
// line it accepts from an EXECUTE reply.
#pragma once

#include "text/Text.h"

extern const char kVersionRequest[];      // "GET Version TOVRA/1.0\r\n\r\n"
extern const char kProtocolToken[];       // "TOVRA/1.0"
inline constexpr char kAcceptedStatusLine[] = "TOVRA/1.0 200 OK\r\n";
inline constexpr size_t kAcceptedStatusLength = sizeof kAcceptedStatusLine - 1;

// The EXECUTE request for a call: the fixed header block, one
// "ArgumentN: value\r\n" line per argument numbered from 0, each argument
// whole however long, and the closing blank line. It is built one argument
// at a time, in a buffer of its own while it is short and in a CText beyond:
//
//   ExecuteRequest request;               // the header block
//   request.AddArgument(bytes, length);   // "Argument0: ...\r\n", then 1, ...
//   request.Finish();                     // the closing blank line
class ExecuteRequest {
 public:
  ExecuteRequest();
  ExecuteRequest(const ExecuteRequest &) = delete;
  ExecuteRequest &operator=(const ExecuteRequest &) = delete;

  void AddArgument(const char *value, size_t length);
  void Finish();
  // The text as it is sent: up to its first zero byte, where a text in a
  // block ends (only an argument can bring one), so that it can be copied
  // into the block without another search.
  const char *Text() const { return spilled ? overflow.c_str() : buffer; }
  size_t Length() const { return cut < Whole() ? cut : Whole(); }

 private:
  size_t Whole() const { return spilled ? overflow.Length() : used; }
  void Append(const char *bytes, size_t length);

  char buffer[384];
  size_t used = 0;
  bool spilled = false;
  CText overflow;
  unsigned arguments = 0;
  size_t cut = static_cast<size_t>(-1);  // where the first zero byte lies
};

// Cuts a call text (the bytes between "$tovra[" and its "]") at every ","
// with empty fields dropped: the first field is the plug-in name, pointed to
// where it lies; the others go into `request` as its arguments, numbered
// from 0, and are also added to `arguments` when it is not null. The request
// is finished. False, with nothing added, when the call names no plug-in.
// Inline: it runs once for every call in a text.
inline bool ParseCall(const char *callText, size_t length, const char **name, size_t *nameLength,
                      ExecuteRequest *request, CTextArray *arguments = nullptr) {
  // The name is kept in locals while the fields are visited: written through
  // the out-parameters, it would be stored and reloaded around every field.
  const char *first = nullptr;
  size_t firstLength = 0;
  ForEachField(callText, length, ",", 1, 1, [&](const char *field, size_t fieldLength) {
    if (!first) {
      first = field;
      firstLength = fieldLength;
    } else {
      request->AddArgument(field, fieldLength);
      if (arguments) arguments->Add(CText(field, fieldLength));
    }
    return true;
  });
  if (!first) return false;
  *name = first;
  *nameLength = firstLength;
  request->Finish();
  return true;
}

// The Result value of a reply that Exchange accepted (it begins with the
// status line), pointed to where it lies; false when there is none.
bool FindResult(const char *reply, size_t length, const char **value, size_t *valueLength);
