#pragma once

#include "platform/FileSystem.h"

namespace platform::win32 {

// Files on the real disk; paths in UTF-8 become UTF-16 ("/" is taken as "\").
class Win32FileSystem : public platform::FileSystem {
 public:
  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool CreateDirectories(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& folder) override;
  bool CanOpenForWriting(const std::string& path) override;
};

}  // namespace platform::win32
