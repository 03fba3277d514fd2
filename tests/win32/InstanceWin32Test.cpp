// Velmora.exe started as real processes: the single-instance lock.
#include <gtest/gtest.h>
#include <windows.h>

#include "win32/Win32TestSupport.h"

namespace {

using win32_test::ProgramProcess;

TEST(SingleInstance, SecondCopyExitsAtOnceAndTheFirstRunsOn) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  std::wstring exe = win32_test::ExeFolder() + L"Velmora.exe";
  ProgramProcess first(exe);
  ASSERT_TRUE(first.Started());
  HWND first_window = first.WaitForMainWindow();
  ASSERT_NE(first_window, nullptr) << "the first copy shows its main window";

  ProgramProcess second(exe);
  ASSERT_TRUE(second.Started());
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
  ProgramProcess copy(win32_test::ExeFolder() + L"Velmora.exe");
  ASSERT_TRUE(copy.Started());
  ASSERT_EQ(copy.Wait(10000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(copy.ExitCode(), 0u);
  EXPECT_EQ(copy.MainWindow(), nullptr);
  CloseHandle(lock);
}

}  // namespace
