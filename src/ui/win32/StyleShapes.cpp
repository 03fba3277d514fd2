#include "ui/win32/StyleShapes.h"

#include "ui/win32/Palette.h"
#include "ui/win32/StyleDrawing.h"

namespace ui::win32::styling {

using palette::Brush;

const StylePalette& P() { return *palette::Active(); }

int Dpi(HWND hwnd) {
  if (HWND root = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr)
    if (auto kept = static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(root, kDpiProperty))); kept > 0) return kept;
  static const int dpi = [] {
    HDC dc = GetDC(nullptr);
    int value = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return value > 0 ? value : 96;
  }();
  return dpi;
}

int Scaled(HWND hwnd, int value) { return MulDiv(value, Dpi(hwnd), 96); }

bool ClassIs(HWND hwnd, const wchar_t* name) {
  wchar_t cls[32] = {};
  GetClassNameW(hwnd, cls, 32);
  return lstrcmpiW(cls, name) == 0;
}

std::wstring WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(length + 1, L'\0');
  GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(length);
  return text;
}

// Fills a rounded rectangle with a frame.
void RoundBox(HDC dc, const RECT& r, COLORREF fill, COLORREF frame, int radius) {
  HPEN pen = CreatePen(PS_SOLID, 1, frame);
  HGDIOBJ old_pen = SelectObject(dc, pen);
  HGDIOBJ old_brush = SelectObject(dc, Brush(fill));
  RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);
  DeleteObject(pen);
}

void Frame(HDC dc, const RECT& r, COLORREF colour) { FrameRect(dc, &r, Brush(colour)); }

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int width) {
  HPEN pen = CreatePen(PS_SOLID, width, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

// A tick inside `box`.
void CheckMark(HDC dc, const RECT& box, COLORREF colour, int width) {
  const int w = box.right - box.left, h = box.bottom - box.top;
  POINT points[] = {{box.left + w * 2 / 9, box.top + h / 2},
                    {box.left + w * 4 / 10, box.top + h * 7 / 10},
                    {box.left + w * 7 / 9, box.top + h * 3 / 10}};
  HPEN pen = CreatePen(PS_SOLID, width, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, points, 3);
  SelectObject(dc, old);
  DeleteObject(pen);
}

// A downward chevron centred in `r`.
void Chevron(HDC dc, const RECT& r, COLORREF colour, int size) {
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  POINT points[] = {{cx - size, cy - size / 2}, {cx, cy + size / 2}, {cx + size + 1, cy - size / 2 - 1}};
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, points, 3);
  SelectObject(dc, old);
  DeleteObject(pen);
}

}  // namespace ui::win32::styling
