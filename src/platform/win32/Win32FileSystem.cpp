#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/Wide.h"

namespace platform::win32 {
namespace {

std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Widen(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool Close() {
    if (!valid()) return true;
    const BOOL ok = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE handle_;
};

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Length of the part of `path` that names a root and is never created: "C:\",
// "\\server\share\", "\\?\C:\", a leading "\".
size_t RootLength(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) {
    const size_t drive = path.find(L'\\', 4);
    return drive == std::wstring::npos ? path.size() : drive + 1;
  }
  if (path.rfind(L"\\\\", 0) == 0) {
    const size_t server_end = path.find(L'\\', 2);
    if (server_end == std::wstring::npos) return path.size();
    const size_t share_end = path.find(L'\\', server_end + 1);
    return share_end == std::wstring::npos ? path.size() : share_end + 1;
  }
  if (path.size() >= 2 && path[1] == L':') return path.size() >= 3 && path[2] == L'\\' ? 3 : 2;
  if (!path.empty() && path[0] == L'\\') return 1;
  return 0;
}

}  // namespace

std::optional<std::vector<uint8_t>> Win32FileSystem::ReadFile(const std::string& path) {
  FileHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  LARGE_INTEGER size{};
  // The program's files are small; anything past 1 GiB is not one of them.
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > (1LL << 30))
    return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD got = 0;
    if (!::ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) return std::nullopt;
    if (got == 0) break;  // the file shrank meanwhile
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

bool Win32FileSystem::WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FileHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  if (!FlushFileBuffers(file.get())) return false;
  return file.Close();
}

bool Win32FileSystem::Rename(const std::string& from, const std::string& to) {
  const std::wstring target = SystemPath(to);
  // Windows refuses to replace a read-only file; Wine replaces it. Refuse here too, so
  // a read-only file is never changed behind the user's back on either.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return MoveFileExW(SystemPath(from).c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32FileSystem::RemoveFile(const std::string& path) {
  return DeleteFileW(SystemPath(path).c_str()) != FALSE;
}

bool Win32FileSystem::FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::CreateDirectories(const std::string& path) {
  std::wstring folder = SystemPath(path);
  const size_t root = RootLength(folder);
  while (folder.size() > root && folder.back() == L'\\') folder.pop_back();
  if (folder.size() <= root) return root == 0 || IsDirectory(folder);
  if (IsDirectory(folder)) return true;
  // Each level from the root down; a level that exists already is passed over.
  for (size_t pos = root; pos <= folder.size(); ++pos) {
    if (pos < folder.size() && folder[pos] != L'\\') continue;
    if (pos == 0 || folder[pos - 1] == L'\\') continue;  // doubled separator
    const std::wstring level = folder.substr(0, pos);
    if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      if (!IsDirectory(level)) return false;
  }
  return IsDirectory(folder);
}

std::vector<std::string> Win32FileSystem::ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::wstring pattern = SystemPath(folder);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(Narrow(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

bool Win32FileSystem::CanOpenForWriting(const std::string& path) {
  FileHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid();
}

}  // namespace platform::win32
