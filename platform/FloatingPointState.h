// The calling thread's floating-point control state: the x87 environment
// (control word, status word, an empty register stack) and the SSE control
// and status register. Code that is not ours may change
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
  // The x87 environment is saved whole: its control word, and its status
  // word with the caller's own exception flags. Saving it masks every x87
  // exception, so the control word is put back at once.
  FloatingPointState() { __asm__ volatile("fnstenv %0\n\tfldcw %0\n\tstmxcsr %1" : "=m"(x87), "=m"(sse)); }
  // An exception the foreign code left pending (one it unmasked while its
  // flag was set) is cleared first, without waiting for it: it would fault
  // at the next x87 instruction that waits, the loading of the environment
  // or the caller's own.
  void Restore() const { __asm__ volatile("fnclex\n\tfldenv %0\n\tldmxcsr %1" : : "m"(x87), "m"(sse)); }
  // After a fault the x87 registers may still hold the faulting code's
  // values: the unit is reset (its stack emptied) before the caller's
  // environment goes back.
  void RestoreAfterFault() const { __asm__ volatile("fninit\n\tfldenv %0\n\tldmxcsr %1" : : "m"(x87), "m"(sse)); }

 private:
  unsigned char x87[28];  // the environment's 32-bit layout, in 32- and 64-bit code alike
  unsigned int sse;
#else
  void Restore() const {}
  void RestoreAfterFault() const {}
#endif
};

}  // namespace platform
