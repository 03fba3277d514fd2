// Reads the raw version resource of an executable file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class VersionResources {
 public:
  virtual ~VersionResources() = default;
  // The whole version resource block of the file (as the system's version-info
  // call returns it), or nullopt when the file has none or cannot be read.
  virtual std::optional<std::vector<uint8_t>> Load(const std::string& file) = 0;
};

}  // namespace platform
