// The version resource of a file, read with the system's version-info calls; the
// running program's own comes from its loaded image.
#pragma once

#include "platform/VersionResources.h"

namespace platform::win32 {

class Win32VersionResources : public platform::VersionResources {
 public:
  // `file` is a UTF-8 path.
  std::optional<std::vector<uint8_t>> Load(const std::string& file) override;
};

}  // namespace platform::win32
