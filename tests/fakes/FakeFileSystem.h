// An in-memory disk. Paths are compared as the system compares them: without regard
// to the case of A to Z, "/" taken as "\", repeated "\" as one. A file can only be
// written into a folder that exists (drive roots always do); SetFile makes the folders
// it needs. Failures can be ordered: a write that stops part-way, renames that fail,
// read-only and unreadable files, folders that cannot be created.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace fakes {

class FakeFileSystem : public platform::FileSystem {
 public:
  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool CreateDirectories(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& folder) override;
  bool CanOpenForWriting(const std::string& path) override;

  // ---- set-up ----
  // Stores the file as it is, creating its folders; keeps read-only/unreadable marks.
  void SetFile(const std::string& path, std::vector<uint8_t> bytes);
  void SetFile(const std::string& path, std::string_view bytes);
  void AddDirectory(const std::string& path);
  // Writes to it, renames onto or from it and its removal fail; the content stays.
  void SetReadOnly(const std::string& path, bool read_only = true);
  // It exists, but reading it fails.
  void SetUnreadable(const std::string& path, bool unreadable = true);
  // Another program holds it open with no sharing: it can be neither read, written,
  // replaced nor removed, and CanOpenForWriting says false.
  void SetHeldOpen(const std::string& path, bool held = true);
  // The next WriteFile stores only the first `keep_bytes` bytes, then reports failure.
  void FailNextWrite(size_t keep_bytes);
  void FailRenames(bool fail = true);
  void FailCreateDirectories(bool fail = true);

  // ---- inspection ----
  std::optional<std::vector<uint8_t>> Contents(const std::string& path) const;
  // The bytes as a string; empty when the file is missing.
  std::string Text(const std::string& path) const;
  bool HasDirectory(const std::string& path) const;
  // Paths of all files, as last written, in sorted order of their normalised form.
  std::vector<std::string> FilePaths() const;
  // One line per call that changes the disk: "write <path>", "write-failed <path>",
  // "rename <from> -> <to>", "rename-failed <from> -> <to>", "remove <path>",
  // "remove-failed <path>".
  std::vector<std::string> Log() const;
  // How many times ReadFile was asked for `path`.
  int Reads(const std::string& path) const;
  void ClearLog();

 private:
  struct File {
    std::string path;
    std::vector<uint8_t> bytes;
    bool read_only = false;
    bool unreadable = false;
    bool held_open = false;
  };

  static std::string Normalise(std::string_view path);
  static std::string Key(std::string_view path);
  static std::string ParentKey(const std::string& key);
  bool FolderExistsLocked(const std::string& key) const;
  void AddDirectoryLocked(const std::string& path);

  mutable std::mutex mutex_;
  std::map<std::string, File> files_;         // by Key()
  std::map<std::string, std::string> dirs_;   // Key() -> path
  std::optional<size_t> fail_next_write_;
  bool fail_renames_ = false;
  bool fail_create_directories_ = false;
  std::vector<std::string> log_;
  std::map<std::string, int> reads_;
};

}  // namespace fakes
