// The colours the peers paint with themselves: window faces, the owner-drawn
// button's text and everything a container erases. Light only for now; a dark style
// changes these and nothing else.
#pragma once

#include <windows.h>

namespace ui::win32::palette {

inline COLORREF Face() { return GetSysColor(COLOR_BTNFACE); }
inline HBRUSH FaceBrush() { return GetSysColorBrush(COLOR_BTNFACE); }
inline COLORREF Text(bool enabled) { return GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT); }
inline HBRUSH TextBrush(bool enabled) { return GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT); }

}  // namespace ui::win32::palette
