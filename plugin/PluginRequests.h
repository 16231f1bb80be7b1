// The two TOVRA/1.0 requests the library sends a plug-in, and the status
// line it accepts from an EXECUTE reply.
#pragma once

#include "text/Text.h"

extern const char kVersionRequest[];      // "GET Version TOVRA/1.0\r\n\r\n"
extern const char kProtocolToken[];       // "TOVRA/1.0"
extern const char kAcceptedStatusLine[];  // "TOVRA/1.0 200 OK\r\n"

// The EXECUTE request for a call's fields (field 0 is the plug-in name): the
// fixed header block, "ArgumentN: value\r\n" for each later field numbered
// from 0, each argument whole however long, and the closing blank line.
CText BuildExecuteRequest(const CTextArray &fields);

// The same request built one argument at a time: Start empties `request`,
// writes the header block and makes room for about `argumentBytes` of
// argument lines; Add appends "ArgumentN: value\r\n" with N = `index`;
// Finish appends the closing blank line.
void StartExecuteRequest(CText *request, size_t argumentBytes);
void AddExecuteArgument(CText *request, int index, const char *value, size_t length);
void FinishExecuteRequest(CText *request);
