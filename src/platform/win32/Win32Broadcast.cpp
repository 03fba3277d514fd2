// The settings-change notice to every top-level window.
#include <windows.h>

#include <set>
#include <vector>

#include "platform/win32/Win32System.h"

namespace platform::win32 {

namespace {

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
  return TRUE;
}

}  // namespace

bool Win32System::BroadcastSettingChange(uint32_t per_window_timeout_ms) {
  // Sent window by window rather than to HWND_BROADCAST: once one window of a thread
  // has not answered within the bound, the thread's other windows (every GUI thread
  // has a few, such as its input-method window) are skipped instead of each costing
  // the bound again.
  std::vector<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  std::set<DWORD> not_answering;
  for (HWND hwnd : windows) {
    DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    if (!thread || not_answering.count(thread)) continue;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, per_window_timeout_ms,
                             &result) &&
        IsWindow(hwnd))
      not_answering.insert(thread);
  }
  return not_answering.empty();
}

}  // namespace platform::win32
