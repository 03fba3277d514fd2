// The whole program: choices made in the window survive a restart.
#include <gtest/gtest.h>
#include <windows.h>

#include "win32/Win32TestSupport.h"

namespace {

struct Running {
  PROCESS_INFORMATION info{};
  HWND window = nullptr;
  bool Start(const std::wstring& exe) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &info))
      return false;
    for (int i = 0; i < 200 && !window; ++i) {
      Sleep(50);
      HWND candidate = FindWindowW(L"VelmoraForm", nullptr);
      DWORD pid = 0;
      if (candidate) GetWindowThreadProcessId(candidate, &pid);
      if (candidate && pid == info.dwProcessId && IsWindowVisible(candidate)) window = candidate;
    }
    return window != nullptr;
  }
  bool Close() {
    PostMessageW(window, WM_CLOSE, 0, 0);
    bool ended = WaitForSingleObject(info.hProcess, 10000) == WAIT_OBJECT_0;
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return ended;
  }
};

TEST(RestartWin32, RepairChoicesAndCaptionAcrossARestart) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  const std::wstring exe = win32_test::ExeFolder() + L"Velmora.exe";
  Running first;
  ASSERT_TRUE(first.Start(exe));
  wchar_t caption[128];
  GetWindowTextW(first.window, caption, 128);
  EXPECT_EQ(std::wstring(caption), L"Velmora 4.5.26.228 (64-bit)");

  HWND page_button = win32_test::FindControl(first.window, L"ButtonUsefulCommands");
  ASSERT_NE(page_button, nullptr);
  SendMessageW(page_button, BM_CLICK, 0, 0);
  HWND flush = win32_test::FindControl(first.window, L"CheckBoxFlushDNS");
  HWND wmi = win32_test::FindControl(first.window, L"CheckBoxRebuildWMI");
  ASSERT_NE(flush, nullptr);
  ASSERT_NE(wmi, nullptr);
  // Whatever an earlier run left, flip both and expect the flipped states back.
  bool flush_before = SendMessageW(flush, BM_GETCHECK, 0, 0) == BST_CHECKED;
  bool wmi_before = SendMessageW(wmi, BM_GETCHECK, 0, 0) == BST_CHECKED;
  SendMessageW(flush, BM_CLICK, 0, 0);
  SendMessageW(wmi, BM_CLICK, 0, 0);
  HWND mac = win32_test::FindControl(first.window, L"ButtonMACAddress");
  ASSERT_NE(mac, nullptr);
  SendMessageW(mac, BM_CLICK, 0, 0);
  Sleep(300);
  win32_test::SaveScreenshot(first.window, L"useful-commands-page");
  ASSERT_TRUE(first.Close());

  Running second;
  ASSERT_TRUE(second.Start(exe));
  flush = win32_test::FindControl(second.window, L"CheckBoxFlushDNS");
  wmi = win32_test::FindControl(second.window, L"CheckBoxRebuildWMI");
  EXPECT_EQ(SendMessageW(flush, BM_GETCHECK, 0, 0) == BST_CHECKED, !flush_before);
  EXPECT_EQ(SendMessageW(wmi, BM_GETCHECK, 0, 0) == BST_CHECKED, !wmi_before);
  ASSERT_TRUE(second.Close());
}

}  // namespace
