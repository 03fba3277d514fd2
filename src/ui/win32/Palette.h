// The colours the peers paint with themselves: window faces, the owner-drawn
// button's text and everything a container erases. While a style is chosen they are
// the style's colours (StyleDrawing.cpp), otherwise the system's.
#pragma once

#include <windows.h>

#include "ui/Style.h"

namespace ui::win32::palette {

// The chosen style; null while the windows keep the system's standard look.
const StylePalette* Active();

inline COLORREF Rgb(Colour colour) {
  return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}
// A solid brush of the colour, kept for the life of the program.
HBRUSH Brush(COLORREF colour);

inline COLORREF Face() { return Active() ? Rgb(Active()->window) : GetSysColor(COLOR_BTNFACE); }
inline HBRUSH FaceBrush() { return Active() ? Brush(Face()) : GetSysColorBrush(COLOR_BTNFACE); }
inline COLORREF Text(bool enabled) {
  if (const StylePalette* p = Active()) return Rgb(enabled ? p->text : p->disabled_text);
  return GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
}
inline HBRUSH TextBrush(bool enabled) { return Active() ? Brush(Text(enabled)) : GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT); }

}  // namespace ui::win32::palette
