// The calling thread's floating-point control state: the x87 control word
// and the SSE control and status register. Code that is not ours may change
// both (runtimes of other compilers unmask exceptions when they load or run,
// and the host's own 1.0 / 0.0 would then fault), so the caller's state is
// saved before such code runs and put back once it has returned.
//
//   platform::FloatingPointState saved;   // saved here
//   ...                                   // foreign code runs
//   saved.Restore();                      // or RestoreAfterFault()
#pragma once

namespace platform {

class FloatingPointState {
 public:
#if defined(__i386__) || defined(__x86_64__)
  FloatingPointState() { __asm__ volatile("fnstcw %0\n\tstmxcsr %1" : "=m"(x87), "=m"(sse)); }
  void Restore() const { __asm__ volatile("fldcw %0\n\tldmxcsr %1" : : "m"(x87), "m"(sse)); }
  // After a fault the x87 registers may still hold the faulting code's
  // values, and an exception may be pending: the unit is reset (its stack
  // emptied, its status cleared) before the caller's control word goes back.
  void RestoreAfterFault() const {
    __asm__ volatile("fninit\n\tfldcw %0\n\tldmxcsr %1" : : "m"(x87), "m"(sse));
  }

 private:
  unsigned short x87;
  unsigned int sse;
#else
  void Restore() const {}
  void RestoreAfterFault() const {}
#endif
};

}  // namespace platform
