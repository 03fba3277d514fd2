#pragma once

#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/Processes.h"

namespace platform::win32 {

// The system's text for an error code, without the trailing line break; the code in
// hex when the system has none.
std::string SystemErrorText(uint32_t code);

class Win32Processes : public platform::Processes {
 public:
  ProcessOutcome Execute(const std::string& path, const std::string& params, bool wait,
                         uint32_t timeout_ms) override;
  int ShellOpen(const std::string& path, const std::string& params) override;
  ProcessOutcome ShellOpenAndWait(const std::string& path, const std::string& params,
                                  uint32_t timeout_ms) override;
};

class Win32Clock : public platform::Clock {
 public:
  LocalTime Now() override;
  LocalDate Today() override;
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
  uint64_t Microseconds() override;
};

}  // namespace platform::win32
