// Time: the local clock, the tick counter and pauses, so tests need not wait.
#pragma once

#include <cstdint>

namespace platform {

struct LocalTime {
  int hour = 0, minute = 0, second = 0;
};

struct LocalDate {
  int year = 0, month = 0, day = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // Today's local date; a clock that does not know it says 0000-00-00.
  virtual LocalDate Today() { return {}; }
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  // The high-resolution counter in microseconds, from an arbitrary start.
  virtual uint64_t Microseconds() { return static_cast<uint64_t>(TickCount()) * 1000u; }
};

}  // namespace platform
