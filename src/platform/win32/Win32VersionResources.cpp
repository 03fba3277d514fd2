#include "platform/win32/Win32VersionResources.h"

#include <windows.h>

namespace platform::win32 {
namespace {

// The UTF-16 form of a UTF-8 path; nullopt when the text is not valid UTF-8.
std::optional<std::wstring> WidePath(const std::string& path) {
  if (path.empty()) return std::wstring();
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                        static_cast<int>(path.size()), nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(units), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                          static_cast<int>(path.size()), wide.data(), units) != units) {
    return std::nullopt;
  }
  return wide;
}

// Whether `path` names the running program's own file.
bool IsOwnFile(const std::wstring& path) {
  std::wstring own(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
    if (length == 0) return false;
    if (length < own.size()) {
      own.resize(length);
      break;
    }
    own.resize(own.size() * 2);
  }
  return CompareStringOrdinal(own.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The running program's own version block, as its image holds it; nullopt when it has
// none. The caption shows the version while the window is made, and asking the version
// library for it would load that library at start-up.
std::optional<std::vector<uint8_t>> OwnBlock() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(nullptr, found);
  if (!data || size == 0) return std::nullopt;
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace

std::optional<std::vector<uint8_t>> Win32VersionResources::Load(const std::string& file) {
  const std::optional<std::wstring> path = WidePath(file);
  if (!path || path->empty()) return std::nullopt;
  if (IsOwnFile(*path)) {
    if (auto block = OwnBlock()) return block;
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path->c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<uint8_t> block(size, 0);
  if (!GetFileVersionInfoW(path->c_str(), 0, size, block.data())) return std::nullopt;
  return block;
}

}  // namespace platform::win32
