// The updater's desktop services: the temporary folder, the shell's "open" verb and
// ending the process.
#pragma once

#include "platform/Desktop.h"

namespace platform::win32 {

class Win32Desktop : public platform::Desktop {
 public:
  std::string TempDirectory() override;
  bool ShellOpen(const std::string& file, const std::string& parameters, bool hidden) override;
  void ExitProcessNow() override;
};

}  // namespace platform::win32
