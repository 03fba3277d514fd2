#include "ui/win32/StylePainters.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/win32/Wide.h"
#include "ui/Controls.h"
#include "ui/win32/Palette.h"
#include "ui/win32/StyleShapes.h"

namespace ui::win32::styling {

namespace {

using palette::Brush;
using palette::Rgb;

// Paints into a memory bitmap, then copies it in one go, so nothing flickers.
class BufferedPaint {
 public:
  explicit BufferedPaint(HWND hwnd) : hwnd_(hwnd) {
    target_ = BeginPaint(hwnd, &ps_);
    GetClientRect(hwnd, &client_);
    dc_ = CreateCompatibleDC(target_);
    bitmap_ = CreateCompatibleBitmap(target_, client_.right > 0 ? client_.right : 1,
                                     client_.bottom > 0 ? client_.bottom : 1);
    old_bitmap_ = SelectObject(dc_, bitmap_);
    font_ = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    old_font_ = font_ ? SelectObject(dc_, font_) : nullptr;
    SetBkMode(dc_, TRANSPARENT);
  }
  ~BufferedPaint() {
    BitBlt(target_, 0, 0, client_.right, client_.bottom, dc_, 0, 0, SRCCOPY);
    if (old_font_) SelectObject(dc_, old_font_);
    SelectObject(dc_, old_bitmap_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
    EndPaint(hwnd_, &ps_);
  }
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;
  HDC Dc() const { return dc_; }
  const RECT& Client() const { return client_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC target_ = nullptr;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ old_font_ = nullptr;
  RECT client_{};
};

// How DrawText treats a caption's "&": the access key underlined, or hidden while
// the window hides keyboard cues.
UINT AccessKeyFlag(HWND hwnd) {
  return (SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) ? DT_HIDEPREFIX : 0;
}

}  // namespace

void PaintButton(HWND hwnd, const Entry& entry) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  RECT r = paint.Client();
  const LRESULT state = SendMessageW(hwnd, BM_GETSTATE, 0, 0);
  const bool pressed = state & BST_PUSHED;
  const bool enabled = IsWindowEnabled(hwnd);
  const bool focused = GetFocus() == hwnd;
  FillRect(dc, &r, Brush(Rgb(P().window)));
  const bool flat = entry.role == Role::SpeedButton;
  COLORREF face = Rgb(pressed ? P().button_pressed : entry.hot && enabled ? P().button_hot : P().button);
  if (flat) {
    if (pressed || entry.hot) RoundBox(dc, r, face, face, Scaled(hwnd, 4));
  } else {
    RECT box = r;
    InflateRect(&box, -1, -1);
    RoundBox(dc, box, face, Rgb(focused ? P().accent : P().border), Scaled(hwnd, 6));
  }
  const bool show_focus = focused && !(SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
  if (show_focus) {
    // A ring inside the frame, in the accent colour: the focus shows in either style.
    RECT ring = r;
    InflateRect(&ring, -Scaled(hwnd, 2), -Scaled(hwnd, 2));
    Frame(dc, ring, Rgb(P().accent));
    InflateRect(&ring, -1, -1);
    Frame(dc, ring, Rgb(P().accent));
  }
  SetTextColor(dc, Rgb(enabled ? P().text : P().disabled_text));
  // A speed button's window text is its name for screen readers; it shows its caption.
  std::wstring text = flat && entry.component ? platform::win32::Widen(entry.component->Caption()) : WindowText(hwnd);
  const UINT prefix = AccessKeyFlag(hwnd);
  RECT text_rect = r;
  if (pressed) OffsetRect(&text_rect, 1, 1);

  if (flat) {
    WORD glyph = 0;
    bool has_glyph = text.size() == 1 &&
                     GetGlyphIndicesW(dc, text.c_str(), 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 && glyph != 0xFFFF;
    if (text == L"\u2261" && !has_glyph) {
      int width = (r.right - r.left) / 2, left = text_rect.left + (r.right - r.left - width) / 2;
      int middle = (text_rect.top + text_rect.bottom) / 2, gap = Scaled(hwnd, 5);
      for (int offset : {-gap, 0, gap}) {
        RECT bar{left, middle + offset - 1, left + width, middle + offset + 1};
        FillRect(dc, &bar, Brush(Rgb(enabled ? P().text : P().disabled_text)));
      }
    } else {
      DrawTextW(dc, text.c_str(), -1, &text_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | prefix);
    }
    return;
  }

  BUTTON_IMAGELIST images{};
  SendMessageW(hwnd, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
  if (images.himl) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images.himl, &cx, &cy);
    int x = text_rect.left + (r.right - r.left - cx) / 2;
    int y = text_rect.top + images.margin.top;
    ImageList_DrawEx(images.himl, 0, dc, x, y, cx, cy, CLR_NONE, CLR_NONE,
                     enabled ? ILD_TRANSPARENT : ILD_TRANSPARENT | ILD_BLEND50);
    text_rect.top = y + cy + Scaled(hwnd, 2);
    // Clear of the frame: a caption too wide for the button wraps instead.
    InflateRect(&text_rect, -Scaled(hwnd, 5), 0);
    DrawTextW(dc, text.c_str(), -1, &text_rect, DT_CENTER | DT_WORDBREAK | prefix);
  } else {
    InflateRect(&text_rect, -Scaled(hwnd, 4), -Scaled(hwnd, 2));
    RECT measure = text_rect;
    DrawTextW(dc, text.c_str(), -1, &measure, DT_CENTER | DT_WORDBREAK | prefix | DT_CALCRECT);
    int height = measure.bottom - measure.top;
    text_rect.top += (text_rect.bottom - text_rect.top - height) / 2;
    DrawTextW(dc, text.c_str(), -1, &text_rect, DT_CENTER | DT_WORDBREAK | prefix);
  }
}

void PaintCheckBox(HWND hwnd, const Entry& entry) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  RECT r = paint.Client();
  const bool enabled = IsWindowEnabled(hwnd);
  const bool checked = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const bool pressed = SendMessageW(hwnd, BM_GETSTATE, 0, 0) & BST_PUSHED;
  FillRect(dc, &r, Brush(Rgb(P().window)));
  const int size = Scaled(hwnd, 13);
  RECT box{r.left, (r.top + r.bottom - size) / 2, r.left + size, (r.top + r.bottom - size) / 2 + size};
  COLORREF fill = Rgb(checked && enabled ? P().accent : pressed ? P().button_pressed : P().edit);
  COLORREF frame = Rgb(checked && enabled ? P().accent : entry.hot ? P().text : P().border);
  RoundBox(dc, box, fill, frame, Scaled(hwnd, 3));
  if (checked) CheckMark(dc, box, Rgb(enabled ? (P().dark ? P().window : P().edit) : P().disabled_text), Scaled(hwnd, 2));
  SetTextColor(dc, Rgb(enabled ? P().text : P().disabled_text));
  std::wstring text = WindowText(hwnd);
  RECT text_rect{box.right + Scaled(hwnd, 5), r.top, r.right, r.bottom};
  RECT measure = text_rect;
  const UINT prefix = AccessKeyFlag(hwnd);
  DrawTextW(dc, text.c_str(), -1, &measure, DT_WORDBREAK | prefix | DT_CALCRECT);
  int height = measure.bottom - measure.top;
  text_rect.top += (r.bottom - r.top - height) / 2;
  text_rect.bottom = text_rect.top + height;
  DrawTextW(dc, text.c_str(), -1, &text_rect, DT_WORDBREAK | prefix);
  if (GetFocus() == hwnd && !(SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
    RECT focus{text_rect.left - 1, text_rect.top, text_rect.left + (measure.right - measure.left) + 1, text_rect.bottom};
    Frame(dc, focus, Rgb(P().accent));
  }
}

void PaintGroupBox(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT r;
  GetClientRect(hwnd, &r);
  auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
  std::wstring text = WindowText(hwnd);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.empty() ? L"M" : text.c_str(), text.empty() ? 1 : static_cast<int>(text.size()),
                        &extent);
  FillRect(dc, &r, Brush(Rgb(P().window)));
  RECT frame{r.left, r.top + extent.cy / 2, r.right, r.bottom};
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  HPEN pen = CreatePen(PS_SOLID, 1, Rgb(P().group_frame));
  HGDIOBJ old_pen = SelectObject(dc, pen);
  int radius = Scaled(hwnd, 6);
  RoundRect(dc, frame.left, frame.top, frame.right, frame.bottom, radius, radius);
  SelectObject(dc, old_pen);
  DeleteObject(pen);
  SelectObject(dc, old_brush);
  if (!text.empty()) {
    int indent = Scaled(hwnd, 8);
    RECT caption{r.left + indent - 2, r.top, r.left + indent + extent.cx + 2, r.top + extent.cy};
    if (caption.right > r.right - indent) caption.right = r.right - indent;
    FillRect(dc, &caption, Brush(Rgb(P().window)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Rgb(IsWindowEnabled(hwnd) ? P().group_caption : P().disabled_text));
    InflateRect(&caption, -2, 0);
    DrawTextW(dc, text.c_str(), -1, &caption, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  if (old_font) SelectObject(dc, old_font);
  EndPaint(hwnd, &ps);
}

void PaintComboBox(HWND hwnd) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  RECT r = paint.Client();
  const bool enabled = IsWindowEnabled(hwnd);
  const bool focused = GetFocus() == hwnd;
  const bool dropped = SendMessageW(hwnd, CB_GETDROPPEDSTATE, 0, 0) != 0;
  FillRect(dc, &r, Brush(Rgb(P().window)));
  RECT box = r;
  RoundBox(dc, box, Rgb(enabled ? P().edit : P().panel), Rgb(focused || dropped ? P().accent : P().border),
           Scaled(hwnd, 4));
  const int arrow = Scaled(hwnd, 18);
  RECT text_rect{r.left + Scaled(hwnd, 4), r.top + 2, r.right - arrow, r.bottom - 2};
  int index = static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
  if (index >= 0) {
    int length = static_cast<int>(SendMessageW(hwnd, CB_GETLBTEXTLEN, index, 0));
    if (length > 0) {
      std::wstring text(length + 1, L'\0');
      SendMessageW(hwnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
      text.resize(length);
      if (focused && !dropped) {
        RECT selected{text_rect.left - 2, text_rect.top + 1, text_rect.right, text_rect.bottom - 1};
        FillRect(dc, &selected, Brush(Rgb(P().selection)));
      }
      SetTextColor(dc, Rgb(!enabled ? P().disabled_text : focused && !dropped ? P().selection_text : P().edit_text));
      DrawTextW(dc, text.c_str(), -1, &text_rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
  }
  RECT arrow_rect{r.right - arrow, r.top, r.right, r.bottom};
  Chevron(dc, arrow_rect, Rgb(enabled ? P().text : P().disabled_text), Scaled(hwnd, 4));
}

void PaintStatusBar(HWND hwnd) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  RECT r = paint.Client();
  FillRect(dc, &r, Brush(Rgb(P().panel)));
  Line(dc, r.left, r.top, r.right, r.top, Rgb(P().border));
  // The bar's text as the bar holds it. Read back, the simple text is part 0: asked
  // for SB_SIMPLEID (which sets it), the bar answers with nothing.
  int length = LOWORD(SendMessageW(hwnd, SB_GETTEXTLENGTHW, 0, 0));
  std::wstring text(length + 1, L'\0');
  SendMessageW(hwnd, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  RECT text_rect{r.left + Scaled(hwnd, 4), r.top + 1, r.right - Scaled(hwnd, 4), r.bottom};
  SetTextColor(dc, Rgb(P().text));
  DrawTextW(dc, text.c_str(), -1, &text_rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PaintHeader(HWND hwnd) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  RECT r = paint.Client();
  FillRect(dc, &r, Brush(Rgb(P().panel)));
  SetTextColor(dc, Rgb(P().text));
  int count = static_cast<int>(SendMessageW(hwnd, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    RECT item{};
    SendMessageW(hwnd, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
    wchar_t text[256] = {};
    HDITEMW info{};
    info.mask = HDI_TEXT | HDI_FORMAT;
    info.pszText = text;
    info.cchTextMax = 255;
    SendMessageW(hwnd, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&info));
    UINT align = (info.fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? DT_CENTER
                 : (info.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT ? DT_RIGHT
                                                              : DT_LEFT;
    RECT text_rect = item;
    InflateRect(&text_rect, -Scaled(hwnd, 6), 0);
    DrawTextW(dc, text, -1, &text_rect, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    Line(dc, item.right - 1, item.top + 3, item.right - 1, item.bottom - 3, Rgb(P().border));
  }
  Line(dc, r.left, r.bottom - 1, r.right, r.bottom - 1, Rgb(P().border));
}

void PaintClientEdge(HWND hwnd, bool focused) {
  if (!(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) return;
  HDC dc = GetWindowDC(hwnd);
  RECT r;
  GetWindowRect(hwnd, &r);
  OffsetRect(&r, -r.left, -r.top);
  Frame(dc, r, Rgb(focused ? P().accent : P().border));
  InflateRect(&r, -1, -1);
  Frame(dc, r, Rgb(IsWindowEnabled(hwnd) ? P().edit : P().panel));
  ReleaseDC(hwnd, dc);
}

}  // namespace ui::win32::styling
