// A surface drawn by the program: an owner-drawn static window whose drawing is handed
// to the component's OnPaint through a GDI canvas, painted off screen first so it
// never flickers.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/win32/ControlPeer.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

COLORREF Gdi(Colour c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

class GdiCanvas : public Canvas {
 public:
  explicit GdiCanvas(HDC dc) : dc_(dc) { SetBkMode(dc_, TRANSPARENT); }

  void FillRect(const Rect& r, Colour colour) override {
    RECT rc{r.left, r.top, r.Right(), r.Bottom()};
    HBRUSH brush = CreateSolidBrush(Gdi(colour));
    ::FillRect(dc_, &rc, brush);
    DeleteObject(brush);
  }
  void Line(Point from, Point to, Colour colour) override {
    HPEN pen = CreatePen(PS_SOLID, 1, Gdi(colour));
    HGDIOBJ old = SelectObject(dc_, pen);
    MoveToEx(dc_, from.x, from.y, nullptr);
    LineTo(dc_, to.x, to.y);
    SelectObject(dc_, old);
    DeleteObject(pen);
  }
  void Dot(Point c, int radius, Colour colour) override {
    HBRUSH brush = CreateSolidBrush(Gdi(colour));
    HPEN pen = CreatePen(PS_SOLID, 1, Gdi(colour));
    HGDIOBJ old_brush = SelectObject(dc_, brush);
    HGDIOBJ old_pen = SelectObject(dc_, pen);
    Ellipse(dc_, c.x - radius, c.y - radius, c.x + radius + 1, c.y + radius + 1);
    SelectObject(dc_, old_pen);
    SelectObject(dc_, old_brush);
    DeleteObject(pen);
    DeleteObject(brush);
  }
  void Text(Point at, const std::string& text, Colour colour) override {
    std::wstring w = Widen(text);
    SetTextColor(dc_, Gdi(colour));
    TextOutW(dc_, at.x, at.y, w.c_str(), static_cast<int>(w.size()));
  }
  Point TextSize(const std::string& text) override {
    std::wstring w = Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
    return {size.cx, size.cy};
  }

 private:
  HDC dc_;
};

class PaintBoxPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

  void Sync(Change change) override {
    if (change == Change::Items) {
      InvalidateRect(hwnd_, nullptr, FALSE);
      return;
    }
    ControlPeer::Sync(change);
  }

  void OnDrawItem(const DRAWITEMSTRUCT& item) override {
    auto& box = static_cast<PaintBox&>(component_);
    const int width = item.rcItem.right - item.rcItem.left;
    const int height = item.rcItem.bottom - item.rcItem.top;
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(item.hDC);
    HBITMAP bitmap = CreateCompatibleBitmap(item.hDC, width, height);
    HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = SelectObject(memory, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    GdiCanvas canvas(memory);
    canvas.FillRect({0, 0, width, height}, 0xFFFFFF);
    if (box.OnPaint) Guard([&] { box.OnPaint(canvas, {width, height}); });
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old_font);
    SelectObject(memory, old_bitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_STATICW;
    params.style |= SS_OWNERDRAW;
  }
};

}  // namespace

std::unique_ptr<ControlPeer> MakePaintBoxPeer(FormPeer& form, Component& component) {
  return std::make_unique<PaintBoxPeer>(form, component);
}

}  // namespace ui::win32
