// What the updater asks of the desktop: the user's temporary folder, opening a file
// with the shell, and ending the process at once.
#pragma once

#include <string>

namespace platform {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // The user's temporary folder as the system reports it, with a trailing "\".
  virtual std::string TempDirectory() = 0;
  // Opens the file with the shell's "open" verb and the given parameters, in a normal
  // or a hidden window. False when the shell reports a failure.
  virtual bool ShellOpen(const std::string& file, const std::string& parameters, bool hidden) = 0;
  // Ends the process at once: no window is closed, no setting saved.
  virtual void ExitProcessNow() = 0;
};

}  // namespace platform
