// The painters of the controls that the program draws itself while a style is chosen,
// one per control kind, and what they know of a window.
#pragma once

#include <windows.h>

#include "ui/Component.h"

namespace ui::win32::styling {

// What a window is, as far as drawing goes.
enum class Role { Form, Container, GroupBox, Button, SpeedButton, CheckBox, Label, Image, Edit, Memo, ComboBox,
                  ListView, Header, StatusBar, Progress, Other };

struct Entry {
  Role role = Role::Other;
  const Component* component = nullptr;
  bool hot = false;
  bool tracking = false;
  // The system theme class last given to the window (-1: none yet, 0 light, 1 dark):
  // setting it again would only make the control recompute itself.
  int themed = -1;
  bool subclassed = false;
};

void PaintButton(HWND hwnd, const Entry& entry);
void PaintCheckBox(HWND hwnd, const Entry& entry);
void PaintGroupBox(HWND hwnd);
void PaintComboBox(HWND hwnd);
void PaintStatusBar(HWND hwnd);
void PaintHeader(HWND hwnd);
// The 2-pixel sunken edge of edits, memos and lists becomes a flat frame.
void PaintClientEdge(HWND hwnd, bool focused);

}  // namespace ui::win32::styling
