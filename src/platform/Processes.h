// Starting the system's console tools, directly or through the shell. Every start
// names the program file by its full path, so nothing is searched for (see
// platform/ToolPaths.h for where the tools are taken from).
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
  // A wait without a bound.
  static constexpr uint32_t kNoTimeLimit = 0xFFFFFFFFu;

  virtual ~Processes() = default;
  // Starts the program file `path` (a full path; a relative one is refused and
  // nothing starts) with the command line `"path" params`, window hidden, in a new
  // console. With `wait`, waits up to `timeout_ms` for it to end and gives its exit
  // code, or says the bound passed.
  virtual ProcessOutcome Execute(const std::string& path, const std::string& params, bool wait,
                                 uint32_t timeout_ms) = 0;
  // The shell's "open" verb on the program file `path` (a full path, as above) with
  // `params`, window hidden, without an owner window or working directory. The shell's
  // result code: above 32 when accepted.
  virtual int ShellOpen(const std::string& path, const std::string& params) = 0;
  // The same request, keeping the started process to wait for it up to `timeout_ms`.
  virtual ProcessOutcome ShellOpenAndWait(const std::string& path, const std::string& params,
                                          uint32_t timeout_ms) = 0;
};

}  // namespace platform
