// The updater's desktop services: update folders, held files, starting programs and
// ending the process.
#pragma once

#include "platform/Desktop.h"

namespace platform::win32 {

class Win32Desktop : public platform::Desktop {
 public:
  std::unique_ptr<platform::UpdateFolder> CreateUpdateFolder() override;
  platform::StartResult Start(const std::string& program, const std::string& parameters, bool hidden) override;
  std::string SystemFolder() override;
  unsigned OemCodePage() override;
  void ExitProcessNow() override;
};

}  // namespace platform::win32
