#include "platform/win32/Win32Processes.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace platform::win32 {

bool Win32Processes::Run(const std::string& command_line, bool wait) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::wstring line = Widen(command_line);  // CreateProcessW may write into it
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process))
    return false;
  if (wait) WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}

LocalTime Win32Clock::Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wHour, t.wMinute, t.wSecond};
}

uint32_t Win32Clock::TickCount() { return GetTickCount(); }

void Win32Clock::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform::win32
