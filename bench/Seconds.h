// The platform's own clock, in seconds: QueryPerformanceCounter on Windows
// (under Wine on this machine), steady_clock natively.
#pragma once

#include <chrono>

#ifdef _WIN32
#include <windows.h>
#endif

namespace bench {

inline double Seconds() {
#ifdef _WIN32
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER value;
    ::QueryPerformanceFrequency(&value);
    return value;
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
#else
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
#endif
}

}  // namespace bench
