// The settings-change notice to every top-level window.
#include <windows.h>

#include "platform/win32/Win32System.h"

namespace platform::win32 {

bool Win32System::BroadcastSettingChange(uint32_t per_window_timeout_ms) {
  // With HWND_BROADCAST the time-out applies to each window on its own; a window
  // whose thread is hung is skipped at once, one that is merely slow after the bound.
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                             per_window_timeout_ms, &result) != 0;
}

}  // namespace platform::win32
