// The calling thread's floating-point control state: the x87 control word
// and status word (its own exception flags), and the SSE control and status
// register. Code that is not ours may change
// both (runtimes of other compilers unmask exceptions when they load or run,
// and the host's own 1.0 / 0.0 would then fault), so the caller's state is
// saved before such code runs and put back once it has returned.
//
//   platform::FloatingPointState saved;   // saved here
//   ...                                   // foreign code runs
//   saved.Restore();                      // or RestoreAfterFault()
#pragma once

#include <cstring>

namespace platform {

class FloatingPointState {
 public:
#if defined(__i386__) || defined(__x86_64__)
  FloatingPointState() { Read(&control, &status, &sse); }
  // Puts back whatever the foreign code changed. The usual case, nothing
  // changed, costs three reads; the x87 unit's state is loaded whole only
  // when its control word or status changed.
  void Restore() const {
    unsigned short nowControl, nowStatus;
    unsigned int nowSse;
    Read(&nowControl, &nowStatus, &nowSse);
    if (nowControl != control || ((nowStatus ^ status) & kKeptStatus)) Reload(false);
    if (nowSse != sse) __asm__ volatile("ldmxcsr %0" : : "m"(sse));
  }
  // After a fault the x87 registers may still hold the faulting code's
  // values: the unit is reset (its stack emptied) before the caller's state
  // goes back.
  void RestoreAfterFault() const {
    Reload(true);
    __asm__ volatile("ldmxcsr %0" : : "m"(sse));
  }

 private:
  // Of the x87 status word: the exception flags, the stack fault and error
  // summary bits, and the stack's top.
  static const unsigned short kKeptStatus = 0x38FF;

  static void Read(unsigned short *x87Control, unsigned short *x87Status, unsigned int *mxcsr) {
    __asm__ volatile("fnstcw %0\n\tfnstsw %1\n\tstmxcsr %2" : "=m"(*x87Control), "=m"(*x87Status), "=m"(*mxcsr));
  }
  // Loads the caller's control word and status word back, its register
  // stack empty, as the calling convention has it at a call. Storing the
  // environment first masks every exception without waiting: one that the
  // foreign code left pending (unmasked while its flag was set) would
  // otherwise fault at the next x87 instruction that waits, the loading
  // itself or the caller's own.
  __attribute__((noinline, cold)) void Reload(bool reset) const {
    unsigned char environment[28];  // the 32-bit layout, in 32- and 64-bit code alike
    if (reset) __asm__ volatile("fninit");
    __asm__ volatile("fnstenv %0" : "=m"(environment));
    const unsigned short empty = 0xFFFF;
    std::memcpy(environment, &control, 2);
    std::memcpy(environment + 4, &status, 2);
    std::memcpy(environment + 8, &empty, 2);
    __asm__ volatile("fldenv %0" : : "m"(environment));
  }

  unsigned short control, status;
  unsigned int sse;
#else
  void Restore() const {}
  void RestoreAfterFault() const {}
#endif
};

}  // namespace platform
