// Helpers for the tests that drive real windows under Wine.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win32_test {

// The component name a control's window carries.
std::wstring ControlName(HWND hwnd);
// The first window below `root` (or root itself) named `name`.
HWND FindControl(HWND root, const std::wstring& name);
// Folder of the running test executable, ending in "\".
std::wstring ExeFolder();
// Lets the windows of this thread handle what is waiting.
void Pump();
// Saves a picture of the window into the screenshots folder (when the test run
// names one in VELMORA_SCREENSHOTS) as NAME.bmp; returns the path or empty.
std::wstring SaveScreenshot(HWND hwnd, const std::wstring& name);
// Whether windows can be created here (a display is present).
bool HaveDisplay();

}  // namespace win32_test
