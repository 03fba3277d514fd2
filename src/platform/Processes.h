// Starting the system's console tools, directly or through the shell.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// What became of a start request.
struct ProcessOutcome {
  bool started = false;
  // Why it did not start, or why a wait failed, in the system's words.
  std::string error;
  // The exit code of a process that was waited for and ended.
  std::optional<uint32_t> exit_code;
  // The wait's bound passed before the process ended; it goes on running.
  bool timed_out = false;
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Starts the command line with a hidden window in a new console; with `wait`,
  // returns when the process has ended. False when it could not be started.
  virtual bool Run(const std::string& command_line, bool wait) = 0;
  // As Run, and says what happened: why it did not start, or the exit code of a
  // process that was waited for (without a time limit).
  virtual ProcessOutcome Execute(const std::string& command_line, bool wait) = 0;
  // The shell's "open" verb on `file` with `params`, window hidden, without an owner
  // window or working directory. The shell's result code: above 32 when accepted.
  virtual int ShellOpen(const std::string& file, const std::string& params) = 0;
  // The same request, keeping the started process to wait for it up to `timeout_ms`.
  virtual ProcessOutcome ShellOpenAndWait(const std::string& file, const std::string& params,
                                          uint32_t timeout_ms) = 0;
};

}  // namespace platform
