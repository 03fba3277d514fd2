// Small drawing pieces the style painters share: the chosen palette, scaling to the
// screen, window facts and the shapes (rounded boxes, lines, ticks, chevrons).
#pragma once

#include <windows.h>

#include <string>

#include "ui/Style.h"

namespace ui::win32::styling {

// The chosen style; only called while one is chosen.
const StylePalette& P();

// The screen's dots per inch, as the peers scale with them (read once).
// The DPI of the window's top-level window (the property its form peer keeps), or
// the screen's.
int Dpi(HWND hwnd);
int Scaled(HWND hwnd, int value);
bool ClassIs(HWND hwnd, const wchar_t* name);
std::wstring WindowText(HWND hwnd);

// Fills a rounded rectangle with a frame.
void RoundBox(HDC dc, const RECT& r, COLORREF fill, COLORREF frame, int radius);
void Frame(HDC dc, const RECT& r, COLORREF colour);
void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int width = 1);
// A tick inside `box`.
void CheckMark(HDC dc, const RECT& box, COLORREF colour, int width);
// A downward chevron centred in `r`.
void Chevron(HDC dc, const RECT& r, COLORREF colour, int size);

}  // namespace ui::win32::styling
