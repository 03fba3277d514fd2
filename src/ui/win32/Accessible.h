// What screen readers hear of a window whose own text is not its name: an edit, a
// list or a combo box is named by the label beside it, a busy indicator says whether
// it is busy. The system's standard object for the window answers everything else.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace ui::win32::accessible {

struct Answers {
  // The window's name; empty: the system's own answer.
  std::function<std::wstring()> name;
  // The window's value (a busy indicator's state); empty: the system's own answer.
  std::function<std::wstring()> value;
  // States added to the system's (STATE_SYSTEM_BUSY while a busy indicator runs).
  std::function<long()> state;
};

// From now on the window answers screen readers' questions with `answers`.
void Answer(HWND hwnd, Answers answers);

// Tells screen readers that the window's name changed (a status line's new text is
// read out).
void NameChanged(HWND hwnd);

// A caption as a name: without its access-key "&" and a closing colon.
std::wstring NameFromCaption(const std::wstring& caption);

}  // namespace ui::win32::accessible
