// Console tools started hidden through the real process service.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/Wide.h"
#include "platform/win32/Win32Processes.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::win32::Narrow;

TEST(ProcessesWin32, WaitsForTheToolAndReportsOneThatCannotStart) {
  platform::win32::Win32Processes processes;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::string marker = Narrow(temp) + "velmora-run-command.txt";
  DeleteFileW(platform::win32::Widen(marker).c_str());
  ASSERT_TRUE(processes.Run("cmd /c echo done> \"" + marker + "\"", true));
  EXPECT_NE(GetFileAttributesW(platform::win32::Widen(marker).c_str()), INVALID_FILE_ATTRIBUTES)
      << "the tool has finished when a waiting run returns";
  DeleteFileW(platform::win32::Widen(marker).c_str());

  EXPECT_FALSE(processes.Run("velmora-no-such-tool /x", true));
  EXPECT_FALSE(processes.Run("velmora-no-such-tool /x", false));
}

TEST(ProcessesWin32, WithoutWaitingReturnsWhileTheProgramRuns) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  platform::win32::Win32Processes processes;
  std::string exe = Narrow(win32_test::ExeFolder()) + "Velmora.exe";
  // The program runs until its window is closed; a run that waited would never return.
  ASSERT_TRUE(processes.Run("\"" + exe + "\"", false));
  HWND window = nullptr;
  for (int i = 0; i < 200 && !window; ++i) {
    Sleep(50);
    window = FindWindowW(L"VelmoraForm", nullptr);
    if (window && !IsWindowVisible(window)) window = nullptr;
  }
  ASSERT_NE(window, nullptr) << "the program started and is still running";
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (process) {
    EXPECT_EQ(WaitForSingleObject(process, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(process);
  }
}

}  // namespace
