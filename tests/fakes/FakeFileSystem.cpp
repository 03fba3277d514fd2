#include "fakes/FakeFileSystem.h"

#include <algorithm>

namespace fakes {

std::string FakeFileSystem::Normalise(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i] == '/' ? '\\' : path[i];
    // Repeated separators count as one, except the two that open a network path.
    if (c == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1) continue;
    out += c;
  }
  while (out.size() > 1 && out.back() == '\\' && out != "\\\\") out.pop_back();
  return out;
}

std::string FakeFileSystem::Key(std::string_view path) {
  std::string key = Normalise(path);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return key;
}

std::string FakeFileSystem::ParentKey(const std::string& key) {
  const size_t slash = key.rfind('\\');
  if (slash == std::string::npos || slash == 0) return "";
  return key.substr(0, slash);
}

bool FakeFileSystem::FolderExistsLocked(const std::string& key) const {
  if (key.empty()) return true;                         // relative to the current folder
  if (key.size() == 2 && key[1] == ':') return true;    // drive root
  if (key.rfind("\\\\", 0) == 0 && std::count(key.begin() + 2, key.end(), '\\') <= 1)
    return true;                                        // \\server\share
  return dirs_.count(key) != 0;
}

void FakeFileSystem::AddDirectoryLocked(const std::string& path) {
  const std::string norm = Normalise(path);
  for (size_t pos = 0; pos <= norm.size(); ++pos) {
    if (pos < norm.size() && norm[pos] != '\\') continue;
    const std::string prefix = norm.substr(0, pos);
    const std::string key = Key(prefix);
    if (!FolderExistsLocked(key)) dirs_.emplace(key, prefix);
  }
}

int FakeFileSystem::Reads(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = reads_.find(Key(path));
  return it == reads_.end() ? 0 : it->second;
}

std::optional<std::vector<uint8_t>> FakeFileSystem::ReadFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  ++reads_[Key(path)];
  const auto it = files_.find(Key(path));
  if (it == files_.end() || it->second.unreadable || it->second.held_open) return std::nullopt;
  return it->second.bytes;
}

bool FakeFileSystem::WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  const std::string key = Key(path);
  const auto existing = files_.find(key);
  if (!FolderExistsLocked(ParentKey(key)) || dirs_.count(key) ||
      (existing != files_.end() && (existing->second.read_only || existing->second.held_open))) {
    log_.push_back("write-failed " + path);
    return false;
  }
  File& file = files_[key];
  file.path = path;
  if (fail_next_write_) {
    const size_t keep = std::min(*fail_next_write_, bytes.size());
    fail_next_write_.reset();
    file.bytes.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
    log_.push_back("write-failed " + path);
    return false;
  }
  file.bytes = bytes;
  log_.push_back("write " + path);
  return true;
}

bool FakeFileSystem::Rename(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  const std::string from_key = Key(from);
  const std::string to_key = Key(to);
  const auto source = files_.find(from_key);
  const auto target = files_.find(to_key);
  const bool ok = !fail_renames_ && source != files_.end() && !source->second.read_only &&
                  FolderExistsLocked(ParentKey(to_key)) && !dirs_.count(to_key) &&
                  !source->second.held_open &&
                  (target == files_.end() || (!target->second.read_only && !target->second.held_open));
  if (!ok) {
    log_.push_back("rename-failed " + from + " -> " + to);
    return false;
  }
  if (from_key != to_key) {
    File moved = std::move(source->second);
    moved.path = to;
    files_.erase(source);
    files_[to_key] = std::move(moved);
  }
  log_.push_back("rename " + from + " -> " + to);
  return true;
}

bool FakeFileSystem::RemoveFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(Key(path));
  if (it == files_.end() || it->second.read_only || it->second.held_open) {
    log_.push_back("remove-failed " + path);
    return false;
  }
  files_.erase(it);
  log_.push_back("remove " + path);
  return true;
}

bool FakeFileSystem::FileExists(const std::string& path) {
  std::lock_guard lock(mutex_);
  return files_.count(Key(path)) != 0;
}

std::vector<std::string> FakeFileSystem::ListFiles(const std::string& folder) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  const std::string folder_key = Key(folder);
  for (const auto& [key, file] : files_) {
    if (ParentKey(key) != folder_key) continue;
    const std::string path = Normalise(file.path);
    names.push_back(path.substr(path.rfind('\\') + 1));
  }
  return names;
}

bool FakeFileSystem::CanOpenForWriting(const std::string& path) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(Key(path));
  return it != files_.end() && !it->second.read_only && !it->second.held_open;
}

bool FakeFileSystem::CreateDirectories(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (fail_create_directories_) return false;
  // A file in the way stops the creation.
  for (std::string key = Key(path); !key.empty(); key = ParentKey(key))
    if (files_.count(key)) return false;
  AddDirectoryLocked(path);
  return true;
}

void FakeFileSystem::SetFile(const std::string& path, std::vector<uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  const std::string norm = Normalise(path);
  const size_t slash = norm.rfind('\\');
  if (slash != std::string::npos && slash > 0) AddDirectoryLocked(norm.substr(0, slash));
  File& file = files_[Key(path)];
  file.path = path;
  file.bytes = std::move(bytes);
}

void FakeFileSystem::SetFile(const std::string& path, std::string_view bytes) {
  SetFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void FakeFileSystem::AddDirectory(const std::string& path) {
  std::lock_guard lock(mutex_);
  AddDirectoryLocked(path);
}

void FakeFileSystem::SetReadOnly(const std::string& path, bool read_only) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(Key(path));
  if (it != files_.end()) it->second.read_only = read_only;
}

void FakeFileSystem::SetHeldOpen(const std::string& path, bool held) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(Key(path));
  if (it != files_.end()) it->second.held_open = held;
}

void FakeFileSystem::SetUnreadable(const std::string& path, bool unreadable) {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(Key(path));
  if (it != files_.end()) it->second.unreadable = unreadable;
}

void FakeFileSystem::FailNextWrite(size_t keep_bytes) {
  std::lock_guard lock(mutex_);
  fail_next_write_ = keep_bytes;
}

void FakeFileSystem::FailRenames(bool fail) {
  std::lock_guard lock(mutex_);
  fail_renames_ = fail;
}

void FakeFileSystem::FailCreateDirectories(bool fail) {
  std::lock_guard lock(mutex_);
  fail_create_directories_ = fail;
}

std::optional<std::vector<uint8_t>> FakeFileSystem::Contents(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto it = files_.find(Key(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.bytes;
}

std::string FakeFileSystem::Text(const std::string& path) const {
  const auto bytes = Contents(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

bool FakeFileSystem::HasDirectory(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return FolderExistsLocked(Key(path));
}

std::vector<std::string> FakeFileSystem::FilePaths() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> paths;
  for (const auto& [key, file] : files_) paths.push_back(file.path);
  return paths;
}

std::vector<std::string> FakeFileSystem::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void FakeFileSystem::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
  log_.shrink_to_fit();
}

}  // namespace fakes
