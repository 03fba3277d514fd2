// Console tools started hidden through the real process service: by their full path
// only, waited for within a bound, with their exit codes.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "platform/win32/Wide.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32System.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

std::string Temp(const char* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return Narrow(temp) + name;
}

TEST(ProcessesWin32, WaitsForTheToolByItsFullPathAndRefusesAnythingThatWouldBeSearchedFor) {
  platform::win32::Win32Processes processes;
  platform::win32::Win32System system;
  std::string cmd = system.SystemFolder() + "\\cmd.exe";
  std::string marker = Temp("velmora-run-command.txt");
  DeleteFileW(Widen(marker).c_str());
  platform::ProcessOutcome done = processes.Execute(cmd, "/c echo done> \"" + marker + "\"", true, 30000);
  ASSERT_TRUE(done.started) << done.error;
  EXPECT_EQ(done.exit_code, 0u);
  EXPECT_NE(GetFileAttributesW(Widen(marker).c_str()), INVALID_FILE_ATTRIBUTES)
      << "the tool has finished when a waiting run returns";
  DeleteFileW(Widen(marker).c_str());

  // A bare name or a relative path would be searched for: nothing starts, also when
  // the system would find the file.
  for (const char* path : {"cmd", "cmd.exe", ".\\cmd.exe", "system32\\cmd.exe", "\\\\?\\C:\\windows\\system32\\cmd.exe"}) {
    SCOPED_TRACE(path);
    platform::ProcessOutcome refused = processes.Execute(path, "/c exit 0", true, 30000);
    EXPECT_FALSE(refused.started);
    EXPECT_FALSE(refused.error.empty());
    EXPECT_LE(processes.ShellOpen(path, "/c exit 0"), 32);
  }
  // A full path to nothing: the system's reason.
  platform::ProcessOutcome missing =
      processes.Execute(system.SystemFolder() + "\\velmora-no-such-tool.exe", "/x", false, 0);
  EXPECT_FALSE(missing.started);
  EXPECT_FALSE(missing.error.empty());
}

TEST(ProcessesWin32, AWaitEndsAtItsBoundAndAnExitCodeComesBack) {
  platform::win32::Win32Processes processes;
  std::string standin = Narrow(win32_test::ExeFolder()) + "velmora_standin.exe";
  std::string rules = Temp("velmora-processes-rules.txt");
  std::ofstream(rules, std::ios::binary) << "7 0 exit-seven\n0 5000 linger\n";
  SetEnvironmentVariableW(L"VELMORA_STANDIN_RULES", Widen(rules).c_str());

  platform::ProcessOutcome seven = processes.Execute(standin, "exit-seven", true, 30000);
  EXPECT_TRUE(seven.started);
  EXPECT_EQ(seven.exit_code, 7u);
  EXPECT_FALSE(seven.timed_out);

  DWORD start = GetTickCount();
  platform::ProcessOutcome lingering = processes.Execute(standin, "linger", true, 300);
  DWORD waited = GetTickCount() - start;
  EXPECT_TRUE(lingering.started);
  EXPECT_TRUE(lingering.timed_out);
  EXPECT_FALSE(lingering.exit_code);
  EXPECT_LT(waited, 10000u) << "the bound, not the tool, ended the wait";

  SetEnvironmentVariableW(L"VELMORA_STANDIN_RULES", nullptr);
  DeleteFileW(Widen(rules).c_str());
}

TEST(ProcessesWin32, WithoutWaitingReturnsWhileTheProgramRuns) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  platform::win32::Win32Processes processes;
  std::string exe = Narrow(win32_test::ExeFolder()) + "Velmora.exe";
  // The program runs until its window is closed; a run that waited would never return.
  ASSERT_TRUE(processes.Execute(exe, "", false, 0).started);
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
