#pragma once

#include "platform/Clock.h"
#include "platform/Processes.h"

namespace platform::win32 {

class Win32Processes : public platform::Processes {
 public:
  bool Run(const std::string& command_line, bool wait) override;
};

class Win32Clock : public platform::Clock {
 public:
  LocalTime Now() override;
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
};

}  // namespace platform::win32
