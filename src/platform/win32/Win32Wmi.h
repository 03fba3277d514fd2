// WMI through the scripting automation objects (IDispatch), as a script would use it.
// COM must be initialised on the calling thread.
#pragma once

#include "platform/Wmi.h"

namespace platform::win32 {

class Win32Wmi : public platform::Wmi {
 public:
  std::unique_ptr<platform::WmiLocator> CreateLocator() override;
};

}  // namespace platform::win32
