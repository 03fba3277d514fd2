// The drawing of the program's own styles. Every window the peers make is attached
// here once; while no style is chosen the windows keep the system's look (only link
// labels get their link colour). With a style chosen, this module colours and paints
// what the system would draw in its own colours: backgrounds, labels, push buttons
// with their pictures, check boxes, group boxes, edits, memos, drop-down lists, list
// views and their headers, status bars, progress bars, tooltips, popup menus and,
// where the system offers it, the title bar.
#pragma once

#include <windows.h>

#include "ui/Component.h"
#include "ui/Style.h"

namespace ui::win32::styling {

// Window property of a form's window: the DPI its contents are laid out at.
inline constexpr wchar_t kDpiProperty[] = L"VelmoraDpi";

// Switches every attached window to the style (null: the system's look) and repaints
// them all at once. While the system shows high contrast the chosen style is kept
// but not drawn: the windows show the system's colours.
void SetActive(const StylePalette* palette);

// Whether the system shows high contrast now.
bool SystemHighContrast();
// Where that is read: the system's setting (null, the default), or a stand-in for
// systems that cannot switch high contrast (Wine keeps it off).
void SetHighContrastQuery(bool (*query)());
// Looks at the system's high contrast again (a settings or theme change came): on,
// the style steps back; off, the chosen style comes back. True when it changed.
bool HighContrastChanged();

// A window of the program has been made for `component` (a form, a container or a
// control).
void Attach(HWND hwnd, const Component& component);

// A popup menu about to open: while a style is chosen its items are drawn by the
// program (through the owner window, which is attached).
void PrepareMenu(HMENU menu);

}  // namespace ui::win32::styling
