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
// A control's text, also of a control in another process (where GetWindowText reads
// only captions).
std::wstring ControlText(HWND hwnd);
// The tooltip text of a control of `window`, as the window's tooltip shows it on hover.
std::wstring TooltipText(HWND window, HWND control);
// The text of one cell of a report list view (column 0 is the row's caption).
std::wstring ListCellText(HWND list, int row, int column);
// Ticks or unticks a row of a list view with check boxes as the user does: a click
// on the row's check box. False when the row has no check box on screen.
bool ClickListCheckBox(HWND list, int row);
// Whether windows can be created here (a display is present).
bool HaveDisplay();

// Velmora.exe (or another program) started as a separate process.
class ProgramProcess {
 public:
  explicit ProgramProcess(const std::wstring& exe);
  ~ProgramProcess();  // ends the process if it still runs
  bool Started() const { return started_; }
  DWORD Id() const { return info_.dwProcessId; }
  DWORD Wait(DWORD ms);
  DWORD ExitCode();
  // The process's visible main window; waits up to ~10 s, or until it ends.
  HWND WaitForMainWindow();
  // Its visible main window now, if any.
  HWND MainWindow() const;

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

}  // namespace win32_test
