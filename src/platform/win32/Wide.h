// UTF-8 <-> UTF-16 at the Win32 boundary.
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

inline std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

inline std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string narrow(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n,
                      nullptr, nullptr);
  return narrow;
}

inline std::string Narrow(const wchar_t* text) { return text ? Narrow(std::wstring(text)) : std::string(); }

}  // namespace platform::win32
