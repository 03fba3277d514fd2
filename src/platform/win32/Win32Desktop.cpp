#include "platform/win32/Win32Desktop.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/Wide.h"

namespace platform::win32 {

std::string Win32Desktop::TempDirectory() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(static_cast<DWORD>(std::size(path)), path);
  if (length == 0 || length > MAX_PATH) return {};
  return Narrow(std::wstring(path, length));
}

bool Win32Desktop::ShellOpen(const std::string& file, const std::string& parameters, bool hidden) {
  std::wstring wide_file = Widen(file), wide_parameters = Widen(parameters);
  HINSTANCE result = ShellExecuteW(nullptr, L"open", wide_file.c_str(),
                                   wide_parameters.empty() ? nullptr : wide_parameters.c_str(), nullptr,
                                   hidden ? SW_HIDE : SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void Win32Desktop::ExitProcessNow() { ExitProcess(0); }

}  // namespace platform::win32
