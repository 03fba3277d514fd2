// Popup menus in the chosen style: their items become owner-drawn, and the owner
// window (attached to the style module) measures and draws them here.
#pragma once

#include <windows.h>

namespace ui::win32::styling {

// Makes every item of the menu and its submenus drawn by the program.
void ConvertMenu(HMENU menu);
// The entries of the previous popup menu died with it.
void ForgetMenus();
void MeasureMenuItem(HWND owner, MEASUREITEMSTRUCT& measure);
void DrawMenuItem(HWND owner, const DRAWITEMSTRUCT& draw);

}  // namespace ui::win32::styling
