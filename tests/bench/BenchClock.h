// The benchmarks' clock: milliseconds from the high-resolution counter.
#pragma once

#include <windows.h>

namespace bench {

inline double NowMs() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace bench
