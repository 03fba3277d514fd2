// The whole program: choices made in the window survive a restart.
#include <gtest/gtest.h>
#include <windows.h>

#include "win32/Win32TestSupport.h"

namespace {

using win32_test::ProgramProcess;

// Closes the program's main window and waits for the process to end.
bool CloseProgram(ProgramProcess& program, HWND window) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  return program.Wait(10000) == WAIT_OBJECT_0;
}

TEST(RestartWin32, RepairChoicesAndCaptionAcrossARestart) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  const std::wstring exe = win32_test::ExeFolder() + L"Velmora.exe";
  ProgramProcess first(exe);
  HWND window = first.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  wchar_t caption[128];
  GetWindowTextW(window, caption, 128);
  EXPECT_EQ(std::wstring(caption), L"Velmora 4.5.26.228 (64-bit)");

  HWND page_button = win32_test::FindControl(window, L"ButtonUsefulCommands");
  ASSERT_NE(page_button, nullptr);
  SendMessageW(page_button, BM_CLICK, 0, 0);
  HWND flush = win32_test::FindControl(window, L"CheckBoxFlushDNS");
  HWND wmi = win32_test::FindControl(window, L"CheckBoxRebuildWMI");
  ASSERT_NE(flush, nullptr);
  ASSERT_NE(wmi, nullptr);
  // Whatever an earlier run left, flip both and expect the flipped states back.
  bool flush_before = SendMessageW(flush, BM_GETCHECK, 0, 0) == BST_CHECKED;
  bool wmi_before = SendMessageW(wmi, BM_GETCHECK, 0, 0) == BST_CHECKED;
  SendMessageW(flush, BM_CLICK, 0, 0);
  SendMessageW(wmi, BM_CLICK, 0, 0);
  HWND mac = win32_test::FindControl(window, L"ButtonMACAddress");
  ASSERT_NE(mac, nullptr);
  SendMessageW(mac, BM_CLICK, 0, 0);
  ASSERT_TRUE(CloseProgram(first, window));

  ProgramProcess second(exe);
  window = second.WaitForMainWindow();
  ASSERT_NE(window, nullptr);
  page_button = win32_test::FindControl(window, L"ButtonUsefulCommands");
  ASSERT_NE(page_button, nullptr);
  SendMessageW(page_button, BM_CLICK, 0, 0);  // the page's controls are made when it is first shown
  flush = win32_test::FindControl(window, L"CheckBoxFlushDNS");
  wmi = win32_test::FindControl(window, L"CheckBoxRebuildWMI");
  EXPECT_EQ(SendMessageW(flush, BM_GETCHECK, 0, 0) == BST_CHECKED, !flush_before);
  EXPECT_EQ(SendMessageW(wmi, BM_GETCHECK, 0, 0) == BST_CHECKED, !wmi_before);
  ASSERT_TRUE(CloseProgram(second, window));
}

}  // namespace
