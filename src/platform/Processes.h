// Starting the system's console tools.
#pragma once

#include <string>

namespace platform {

class Processes {
 public:
  virtual ~Processes() = default;
  // Starts the command line with a hidden window in a new console; with `wait`,
  // returns when the process has ended. False when it could not be started.
  virtual bool Run(const std::string& command_line, bool wait) = 0;
};

}  // namespace platform
