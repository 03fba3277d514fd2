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

}  // namespace

std::optional<std::vector<uint8_t>> Win32VersionResources::Load(const std::string& file) {
  const std::optional<std::wstring> path = WidePath(file);
  if (!path || path->empty()) return std::nullopt;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path->c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<uint8_t> block(size, 0);
  if (!GetFileVersionInfoW(path->c_str(), 0, size, block.data())) return std::nullopt;
  return block;
}

}  // namespace platform::win32
