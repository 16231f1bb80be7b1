// The TLS slots the library takes, given back when it is freed. A process
// has 1,088 of them. The threads runtime linked into the library takes one
// the first time it runs (on 32-bit Windows when the library's exception
// tables are registered at load, on 64-bit at its first lock) and never
// frees it: a host that loads and frees the library again and again would
// run out. The library is linked with its calls of TlsAlloc and TlsFree
// routed here (-Wl,--wrap, host/CMakeLists.txt), which keep a list of
// the slots it holds; the slots still held when the library is freed are
// freed then, after the runtime's own detach has run.
//
// Linked into the library alone: a program gives back every slot when it
// ends.
#include <windows.h>

// The names of an import table entry of the library as the linker routes
// it: the system's own (__real_), and the one its callers get (__wrap_).
#ifdef _WIN64
#define TOVRA_IMPORT_NAME(prefix, function, argumentBytes) #prefix "__imp_" #function
#else
#define TOVRA_IMPORT_NAME(prefix, function, argumentBytes) "_" #prefix "_imp__" #function "@" #argumentBytes
#endif

extern "C" {
extern DWORD(WINAPI *systemTlsAlloc)() __asm__(TOVRA_IMPORT_NAME(__real_, TlsAlloc, 0));
extern BOOL(WINAPI *systemTlsFree)(DWORD) __asm__(TOVRA_IMPORT_NAME(__real_, TlsFree, 4));
}

namespace {

// Zero until its first use, which may come before any constructor of the
// library runs; freed with the library.
class SlotsHeld {
 public:
  ~SlotsHeld() {
    for (unsigned i = 0; i < count; ++i) systemTlsFree(slots[i]);
    count = 0;
    freed = true;
  }
  DWORD Take() {
    const DWORD slot = systemTlsAlloc();
    if (slot != TLS_OUT_OF_INDEXES && count < kMost) slots[count++] = slot;
    return slot;
  }
  // Frees `slot` unless it was freed already with the library's.
  BOOL Give(DWORD slot) {
    for (unsigned i = 0; i < count; ++i) {
      if (slots[i] != slot) continue;
      slots[i] = slots[--count];
      return systemTlsFree(slot);
    }
    return freed ? TRUE : systemTlsFree(slot);
  }

 private:
  static const unsigned kMost = 16;
  DWORD slots[kMost];
  unsigned count;
  bool freed;
};

SlotsHeld held;

DWORD WINAPI TakeSlot() {
  return held.Take();
}

BOOL WINAPI GiveSlot(DWORD slot) {
  return held.Give(slot);
}

}  // namespace

extern "C" {
DWORD(WINAPI *routedTlsAlloc)() __asm__(TOVRA_IMPORT_NAME(__wrap_, TlsAlloc, 0)) = TakeSlot;
BOOL(WINAPI *routedTlsFree)(DWORD) __asm__(TOVRA_IMPORT_NAME(__wrap_, TlsFree, 4)) = GiveSlot;
}
