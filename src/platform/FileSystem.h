// Whole-file access to the disk. Paths are UTF-8 with "\" separators, as the program
// builds them; an implementation maps them to its own form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The whole content; nullopt when the file is missing or cannot be read.
  virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) = 0;
  // Creates or truncates the file and writes `bytes`. False on any failure, in which
  // case the file may hold part of the bytes.
  virtual bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) = 0;
  // Moves `from` onto `to`, replacing `to` when it exists, in one step: afterwards `to`
  // holds either its old content or all of `from`'s. (Not called ReplaceFile: that
  // name is a macro of the Win32 headers.)
  virtual bool Rename(const std::string& from, const std::string& to) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // True for an existing file, false for a folder or nothing.
  virtual bool FileExists(const std::string& path) = 0;
  // Creates the folder and every missing parent; true when the folder exists afterwards.
  virtual bool CreateDirectories(const std::string& path) = 0;
  // Names (not paths) of the files directly inside `folder`, in the order the system
  // lists them; empty when the folder is missing.
  virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
  // Whether the existing file could be opened for writing right now with no sharing:
  // false for a missing, read-only or protected file and for one another program holds.
  virtual bool CanOpenForWriting(const std::string& path) = 0;
};

}  // namespace platform
