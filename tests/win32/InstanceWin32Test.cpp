// Velmora.exe started as real processes: the single-instance lock.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win32/Win32TestSupport.h"

namespace {

struct Process {
  PROCESS_INFORMATION info{};
  bool started = false;
  explicit Process(const std::wstring& exe) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    std::wstring command = L"\"" + exe + L"\"";
    started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &info);
  }
  ~Process() {
    if (!started) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  DWORD Wait(DWORD ms) { return WaitForSingleObject(info.hProcess, ms); }
  DWORD ExitCode() {
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
  }
};

struct Found {
  DWORD pid;
  HWND hwnd;
};

HWND WindowOfProcess(DWORD pid) {
  Found found{pid, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lparam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t cls[64];
        GetClassNameW(hwnd, cls, 64);
        if (owner == f->pid && std::wstring(cls) == L"VelmoraForm" && IsWindowVisible(hwnd)) {
          f->hwnd = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

TEST(SingleInstance, SecondCopyExitsAtOnceAndTheFirstRunsOn) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  std::wstring exe = win32_test::ExeFolder() + L"Velmora.exe";
  Process first(exe);
  ASSERT_TRUE(first.started);
  HWND first_window = nullptr;
  for (int i = 0; i < 200 && !first_window; ++i) {
    ASSERT_EQ(first.Wait(50), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first copy must keep running";
    first_window = WindowOfProcess(first.info.dwProcessId);
  }
  ASSERT_NE(first_window, nullptr) << "the first copy shows its main window";

  Process second(exe);
  ASSERT_TRUE(second.started);
  ASSERT_EQ(second.Wait(10000), static_cast<DWORD>(WAIT_OBJECT_0)) << "the second copy ends by itself";
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_EQ(first.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the first copy is left alone";

  // Closing the main window ends the first copy normally.
  PostMessageW(first_window, WM_CLOSE, 0, 0);
  ASSERT_EQ(first.Wait(10000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(first.ExitCode(), 0u);
}

TEST(SingleInstance, HeldLockStopsTheProgramBeforeAnyWindow) {
  HANDLE lock = CreateMutexW(nullptr, FALSE, L"Velmora");
  ASSERT_NE(lock, nullptr);
  Process copy(win32_test::ExeFolder() + L"Velmora.exe");
  ASSERT_TRUE(copy.started);
  ASSERT_EQ(copy.Wait(10000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(copy.ExitCode(), 0u);
  EXPECT_EQ(WindowOfProcess(copy.info.dwProcessId), nullptr);
  CloseHandle(lock);
}

}  // namespace
