#pragma once

#include "platform/Registry.h"

namespace platform::win32 {

class Win32Registry : public platform::Registry {
 public:
  std::unique_ptr<RegistryKey> Open(RegRoot root, const std::string& path, uint32_t access,
                                    bool create) override;
  KeyOpening OpenExplained(RegRoot root, const std::string& path, uint32_t access,
                           bool create) override;
  bool DeleteKey(RegRoot root, const std::string& path, uint32_t view) override;
};

}  // namespace platform::win32
