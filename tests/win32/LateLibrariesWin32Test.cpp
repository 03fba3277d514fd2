// The program loads the system libraries of its network work (HTTP, echo requests,
// the adapters list) when it first needs them instead of while it starts: the real
// program still reaches them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "win32/Win32TestSupport.h"

namespace {

using win32_test::ProgramProcess;

// Waits up to ten seconds for the window's text to satisfy `ok`.
template <class Ok>
bool WaitForText(HWND hwnd, Ok ok) {
  DWORD start = GetTickCount();
  while (!ok(win32_test::ControlText(hwnd))) {
    if (GetTickCount() - start > 10000) return false;
    Sleep(20);
  }
  return true;
}

TEST(LateLibrariesWin32, TheProgramReachesItsNetworkLibrariesWhenFirstNeeded) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  ProgramProcess program(win32_test::ExeFolder() + L"Velmora.exe");
  HWND window = program.WaitForMainWindow();
  ASSERT_NE(window, nullptr);

  // The adapters' hardware addresses come from the IP helper library.
  HWND commands = win32_test::FindControl(window, L"ButtonUsefulCommands");
  ASSERT_NE(commands, nullptr);
  SendMessageW(commands, BM_CLICK, 0, 0);
  HWND mac = win32_test::FindControl(window, L"ButtonMACAddress");
  HWND log = win32_test::FindControl(window, L"MemoLogCom");
  ASSERT_NE(mac, nullptr);
  ASSERT_NE(log, nullptr);
  SendMessageW(mac, BM_CLICK, 0, 0);
  const std::wregex hardware_address(L"([0-9A-F]{2}-){5}[0-9A-F]{2}");
  EXPECT_TRUE(WaitForText(log, [&](const std::wstring& text) { return std::regex_search(text, hardware_address); }))
      << "the report lists no adapter: " << win32_test::ControlText(log).size() << " characters";

  // The public address comes over HTTPS from the loopback echo server.
  if (std::getenv("VELMORA_LOOPBACK_SERVERS")) {
    HWND proxy_page = win32_test::FindControl(window, L"ButtonProxy");
    SendMessageW(proxy_page, BM_CLICK, 0, 0);
    HWND label = win32_test::FindControl(window, L"LabelGetIP");
    HWND box = win32_test::FindControl(window, L"EditNetIP");
    ASSERT_NE(label, nullptr);
    ASSERT_NE(box, nullptr);
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(WaitForText(box, [](const std::wstring& text) { return text == L"203.0.113.9"; })) << win32_test::ControlText(box).size();
  }

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.Wait(10000), static_cast<DWORD>(WAIT_OBJECT_0));
}

}  // namespace
