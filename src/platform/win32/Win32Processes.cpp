#include "platform/win32/Win32Processes.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/win32/Wide.h"

namespace platform::win32 {

std::string SystemErrorText(uint32_t code) {
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "error 0x%08lX", static_cast<unsigned long>(code));
    return hex;
  }
  return Narrow(text);
}

namespace {

// Waits for a started process and fills in how it ended; closes the handle.
void WaitAndClose(HANDLE process, DWORD timeout_ms, ProcessOutcome& outcome) {
  DWORD waited = WaitForSingleObject(process, timeout_ms);
  if (waited == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code))
      outcome.exit_code = code;
    else
      outcome.error = SystemErrorText(GetLastError());
  } else if (waited == WAIT_TIMEOUT) {
    outcome.timed_out = true;
  } else {
    outcome.error = SystemErrorText(GetLastError());
  }
  CloseHandle(process);
}

// A drive path (C:\...) or a network path (\\server\share\...): the only kind of
// program path started, so that neither CreateProcessW nor the shell searches.
bool IsFullPath(const std::wstring& path) {
  if (path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
      path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
    return true;
  return path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.';
}

}  // namespace

ProcessOutcome Win32Processes::Execute(const std::string& path, const std::string& params, bool wait,
                                       uint32_t timeout_ms) {
  ProcessOutcome outcome;
  std::wstring program = Widen(path);
  if (!IsFullPath(program) || program.find(L'"') != std::wstring::npos) {
    outcome.error = "not a full program path: " + path;
    return outcome;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  // The full path, quoted, as the command line's first token: the system takes the
  // file named there and searches nothing.
  std::wstring line = L"\"" + program + L"\"";
  if (!params.empty()) line += L" " + Widen(params);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    outcome.error = SystemErrorText(GetLastError());
    return outcome;
  }
  outcome.started = true;
  CloseHandle(process.hThread);
  if (wait)
    WaitAndClose(process.hProcess, timeout_ms, outcome);
  else
    CloseHandle(process.hProcess);
  return outcome;
}

int Win32Processes::ShellOpen(const std::string& path, const std::string& params) {
  std::wstring wfile = Widen(path), wparams = Widen(params);
  if (!IsFullPath(wfile)) return ERROR_FILE_NOT_FOUND;
  HINSTANCE result = ShellExecuteW(nullptr, L"open", wfile.c_str(), wparams.c_str(), nullptr, SW_HIDE);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

ProcessOutcome Win32Processes::ShellOpenAndWait(const std::string& path, const std::string& params,
                                                uint32_t timeout_ms) {
  ProcessOutcome outcome;
  std::wstring wfile = Widen(path), wparams = Widen(params);
  if (!IsFullPath(wfile)) {
    outcome.error = "not a full program path: " + path;
    return outcome;
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = wfile.c_str();
  info.lpParameters = wparams.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info)) {
    outcome.error = SystemErrorText(GetLastError());
    return outcome;
  }
  outcome.started = true;
  if (!info.hProcess) {
    // The shell handed the request on without a process of its own to wait for.
    outcome.error = "the shell gave no process to wait for";
    return outcome;
  }
  WaitAndClose(info.hProcess, timeout_ms, outcome);
  return outcome;
}

LocalTime Win32Clock::Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wHour, t.wMinute, t.wSecond};
}

LocalDate Win32Clock::Today() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay};
}

uint32_t Win32Clock::TickCount() { return GetTickCount(); }

void Win32Clock::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint64_t Win32Clock::Microseconds() {
  LARGE_INTEGER frequency, counter;
  if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&counter) || frequency.QuadPart <= 0)
    return static_cast<uint64_t>(GetTickCount64()) * 1000u;
  // Whole seconds and the remainder apart, so the product cannot overflow.
  uint64_t f = static_cast<uint64_t>(frequency.QuadPart), c = static_cast<uint64_t>(counter.QuadPart);
  return c / f * 1000000u + c % f * 1000000u / f;
}

}  // namespace platform::win32
