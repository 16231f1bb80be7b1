// The guard on 64-bit Windows, its C++ side: the language handler of
// tovra_guarded_call (FaultGuardX64.S).
#include "platform/win32/FaultGuard.h"

extern "C" int tovra_guarded_call(void (*call)(void *), void *context, platform::GuardedFault *fault);
extern "C" char tovra_fault_guard_resume[];

namespace {

// Where tovra_guarded_call keeps the fault pointer, from its frame's base.
const size_t kFaultSlot = 32;

// A C++ exception thrown by GCC-built code: its runtime raises it with the
// exception object as its one parameter, and after each cleanup on the way
// out (a destructor) goes on from where the object says the unwind ends.
const DWORD kGccThrow = 0x20474343;

// Tells a GCC exception object that the unwind ends here, as GCC's own
// handler does for the frame that catches, so that its cleanups resume
// towards the guard. Only a writable object is touched.
void EndGccUnwindHere(EXCEPTION_RECORD *record, void *frame) {
  if (record->ExceptionCode != kGccThrow || record->NumberParameters != 1) return;
  ULONG_PTR *object = reinterpret_cast<ULONG_PTR *>(record->ExceptionInformation[0]);
  MEMORY_BASIC_INFORMATION memory;
  // exception_class, exception_cleanup, then private_[0..5]: [1..3] are the
  // target frame, address and RDX of the unwind.
  const size_t objectSize = 8 * sizeof(ULONG_PTR);
  if (!object || !::VirtualQuery(object, &memory, sizeof memory) || memory.State != MEM_COMMIT ||
      !(memory.Protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE)) ||
      reinterpret_cast<char *>(object) + objectSize >
          static_cast<char *>(memory.BaseAddress) + memory.RegionSize)
    return;
  object[3] = reinterpret_cast<ULONG_PTR>(frame);
  object[4] = reinterpret_cast<ULONG_PTR>(tovra_fault_guard_resume);
  object[5] = 0;
  record->NumberParameters = 4;
  record->ExceptionInformation[1] = object[3];
  record->ExceptionInformation[2] = object[4];
  record->ExceptionInformation[3] = 0;
}

}  // namespace

extern "C" EXCEPTION_DISPOSITION tovra_fault_guard_handler(EXCEPTION_RECORD *record, void *frame, CONTEXT *context,
                                                           DISPATCHER_CONTEXT *dispatch) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  platform::GuardedFault *fault = *reinterpret_cast<platform::GuardedFault **>(static_cast<char *>(frame) + kFaultSlot);
  platform::RecordFault(record, context, fault);
  EndGccUnwindHere(record, frame);
  // Unwinds the frames of the call (their cleanups run) and resumes at
  // tovra_fault_guard_resume in the guard's frame.
  ::RtlUnwindEx(frame, tovra_fault_guard_resume, record, nullptr, context, dispatch->HistoryTable);
  return ExceptionContinueSearch;  // not reached
}

namespace platform {

bool GuardedCall(void (*call)(void *context), void *context, GuardedFault *fault) {
  return tovra_guarded_call(call, context, fault) != 0;
}

}  // namespace platform
