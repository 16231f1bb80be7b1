// The guard around calls into foreign code, common to both processors: what
// is recorded of a fault, and the thread stack's guard page, given back after
// a stack overflow once the frames that overflowed are gone.
#include "platform/win32/FaultGuard.h"

#include "platform/FloatingPointState.h"

namespace platform {

void RecordFault(const EXCEPTION_RECORD *record, const CONTEXT *context, GuardedFault *fault) {
  fault->code = record->ExceptionCode;
  fault->address = record->ExceptionAddress;
  fault->parameterCount = record->NumberParameters < 2 ? record->NumberParameters : 2;
  for (unsigned i = 0; i < fault->parameterCount; ++i) fault->parameters[i] = record->ExceptionInformation[i];
#ifdef _WIN64
  const uintptr_t top = context->Rsp;
#else
  const uintptr_t top = context->Esp;
#endif
  // The committed stack runs from the raising frame up to the stack's base.
  MEMORY_BASIC_INFORMATION stack;
  if (!top || !::VirtualQuery(reinterpret_cast<void *>(top), &stack, sizeof stack) || stack.State != MEM_COMMIT) return;
  const uintptr_t end = reinterpret_cast<uintptr_t>(stack.BaseAddress) + stack.RegionSize;
#ifdef _WIN64
  // The frames, unwound by their tables on a copy of the context; a frame
  // without a table is a leaf, its return address on top of the stack. The
  // walk stays on the stack and stops where it would not go up it.
  CONTEXT frame = *context;
  while (fault->stackCount < 8 && frame.Rip && frame.Rsp >= top && frame.Rsp + 8 <= end) {
    fault->stack[fault->stackCount++] = frame.Rip;
    const DWORD64 previous = frame.Rsp;
    DWORD64 imageBase = 0;
    if (PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(frame.Rip, &imageBase, nullptr)) {
      void *handlerData;
      DWORD64 establisher;
      ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, frame.Rip, function, &frame, &handlerData, &establisher,
                         nullptr);
    } else {
      frame.Rip = *reinterpret_cast<const DWORD64 *>(frame.Rsp);
      frame.Rsp += 8;
    }
    if (frame.Rsp <= previous) break;
  }
#else
  // The return address of the raising frame's caller, where the frame keeps
  // one (its saved EBP, then the address), then the words on the stack.
  const uintptr_t frame = context->Ebp;
  if (frame >= top && frame + 2 * sizeof(uintptr_t) <= end)
    fault->stack[fault->stackCount++] = reinterpret_cast<const uintptr_t *>(frame)[1];
  const uintptr_t *word = reinterpret_cast<const uintptr_t *>(top);
  while (fault->stackCount < GuardedFault::kStackWords && reinterpret_cast<uintptr_t>(word + 1) <= end)
    fault->stack[fault->stackCount++] = *word++;
#endif
}

// SetThreadStackGuarantee, looked up at run time: 32-bit Windows XP has none.
typedef BOOL(WINAPI *StackGuaranteeFunction)(PULONG);
static StackGuaranteeFunction SetStackGuarantee() {
  static const StackGuaranteeFunction function = reinterpret_cast<StackGuaranteeFunction>(reinterpret_cast<void *>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetThreadStackGuarantee")));
  return function;
}

// Puts two guard pages where the stack keeps the thread's guarantee below
// them, so that a stack overflow is reported with that much stack left to
// report it in. Wine commits a thread's stack whole, with its guard at the
// very end, which leaves the report too little; and after an overflow the
// thread has no guard left, so that a second overflow would end the process
// at once. Low in the stack, the guard is touched only by a stack about to
// overflow: calls that grow the stack never fault on it (a guard just below
// the frame would make every page the stack grows into a fault). Where the
// stack is not committed that far down (Windows grows it behind its own
// guard, which keeps the guarantee), there is nothing to do.
static void PlaceStackGuard() {
  volatile char here = 0;
  MEMORY_BASIC_INFORMATION stack;
  if (!::VirtualQuery(const_cast<char *>(&here), &stack, sizeof stack)) return;
  SYSTEM_INFO system;
  ::GetSystemInfo(&system);
  const uintptr_t page = system.dwPageSize;
  StackGuaranteeFunction setGuarantee = SetStackGuarantee();
  ULONG guarantee = 0;  // 0 asks for the current guarantee
  if (!setGuarantee || !setGuarantee(&guarantee)) guarantee = 0;
  // Above the stack's end: its no-access page and the system's own guard.
  const uintptr_t guard =
      reinterpret_cast<uintptr_t>(stack.AllocationBase) + 3 * page + ((guarantee + page - 1) & ~(page - 1));
  const uintptr_t region = 2 * page;
  if (guard + region + page > (reinterpret_cast<uintptr_t>(&here) & ~(page - 1))) return;  // no room below this frame
  MEMORY_BASIC_INFORMATION place;
  if (!::VirtualQuery(reinterpret_cast<void *>(guard), &place, sizeof place) || place.State != MEM_COMMIT ||
      place.RegionSize < region)
    return;
  DWORD previous;
  ::VirtualProtect(reinterpret_cast<void *>(guard), region, PAGE_READWRITE | PAGE_GUARD, &previous);
}

// The stack kept back for the system to report a stack overflow in: it runs
// every vectored handler of the process and the guard's handler, and unwinds,
// all below the frame that overflowed. The system's default (a page or two)
// is too little for that, and a thread that overflows inside it ends at once.
static const ULONG kOverflowReserve = 32 * 1024;

// Which threads have their overflow reserve: a flag in a TLS slot of this
// module's own, given back when the module is freed. A host that loads and
// frees the library again and again would otherwise run out of slots.
class ThreadFlag {
 public:
  ThreadFlag() : slot(::TlsAlloc()) {}
  ThreadFlag(const ThreadFlag &) = delete;
  ThreadFlag &operator=(const ThreadFlag &) = delete;
  ~ThreadFlag() {
    if (slot != TLS_OUT_OF_INDEXES) ::TlsFree(slot);
  }
  // Sets the calling thread's flag; false when it was set already (or no
  // slot could be had).
  bool Set() {
    if (slot == TLS_OUT_OF_INDEXES || ::TlsGetValue(slot)) return false;
    ::TlsSetValue(slot, reinterpret_cast<void *>(1));
    return true;
  }

 private:
  DWORD slot;
};

static ThreadFlag reserved;

// Once per thread: raises its stack guarantee to kOverflowReserve (a
// guarantee is never lowered) and places a guard that keeps it, even on a
// stack that was committed whole with one guard page at its very end
// (Wine's).
static void ReserveStackForOverflow() {
  if (!reserved.Set()) return;
  StackGuaranteeFunction setGuarantee = SetStackGuarantee();
  ULONG guarantee = kOverflowReserve;
  if (setGuarantee && setGuarantee(&guarantee)) PlaceStackGuard();
}

bool CallGuarded(void (*call)(void *context), void *context, GuardedFault *fault) {
  ReserveStackForOverflow();
  const FloatingPointState saved;
  if (GuardedCall(call, context, fault)) {
    saved.Restore();
    return true;
  }
  saved.RestoreAfterFault();
  if (fault->code == STATUS_STACK_OVERFLOW) PlaceStackGuard();
  return false;
}

}  // namespace platform
