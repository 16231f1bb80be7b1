// What the guard around calls into foreign code shares between its two
// processor implementations: the frame-based one of 32-bit Windows and the
// table-based one of 64-bit Windows.
#pragma once

#include "platform/Platform.h"

namespace platform {

// Calls `call(context)` inside an exception handler that is asked only after
// every frame inside the call declined. On an exception it records it with
// RecordFault, unwinds the frames above the guard and returns false.
bool GuardedCall(void (*call)(void *context), void *context, GuardedFault *fault);

// Copies what the handler knows of an exception into `fault`. Reads nothing
// but the record and the stack between the raising frame and the stack's base.
void RecordFault(const EXCEPTION_RECORD *record, const CONTEXT *context, GuardedFault *fault);

}  // namespace platform
