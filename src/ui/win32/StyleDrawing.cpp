#include "ui/win32/StyleDrawing.h"

#include <windows.h>
#include <commctrl.h>
#include <dwmapi.h>
#include <uxtheme.h>

#include <map>
#include <string>
#include <unordered_map>

#include "ui/Controls.h"
#include "ui/Form.h"
#include "ui/win32/Palette.h"
#include "ui/win32/StyleMenus.h"
#include "ui/win32/StyleShapes.h"

namespace ui::win32 {

namespace {

const StylePalette* g_active = nullptr;

}  // namespace

const StylePalette* palette::Active() { return g_active; }

HBRUSH palette::Brush(COLORREF colour) {
  static std::map<COLORREF, HBRUSH> brushes;
  auto it = brushes.find(colour);
  if (it != brushes.end()) return it->second;
  HBRUSH brush = CreateSolidBrush(colour);
  brushes[colour] = brush;
  return brush;
}

namespace styling {

namespace {

using palette::Brush;
using palette::Rgb;

constexpr UINT_PTR kSubclassId = 0x5354;  // one subclass per window
// Window attributes of the desktop window manager, by number: older headers lack them.
constexpr DWORD kImmersiveDarkMode = 20;
constexpr DWORD kImmersiveDarkModeBefore20H1 = 19;
constexpr DWORD kWindowCornerPreference = 33;

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

// Every attached window, removed when it is destroyed.
std::unordered_map<HWND, Entry>& Windows() {
  static std::unordered_map<HWND, Entry> windows;
  return windows;
}

Entry* Find(HWND hwnd) {
  auto it = Windows().find(hwnd);
  return it == Windows().end() ? nullptr : &it->second;
}

Role RoleOf(const Component& c) {
  switch (c.GetKind()) {
    case Kind::Form: return Role::Form;
    case Kind::Panel:
    case Kind::PageControl:
    case Kind::TabSheet: return Role::Container;
    case Kind::GroupBox: return Role::GroupBox;
    case Kind::Button: return Role::Button;
    case Kind::SpeedButton: return Role::SpeedButton;
    case Kind::CheckBox: return Role::CheckBox;
    case Kind::Label: return Role::Label;
    case Kind::Image: return Role::Image;
    case Kind::Edit: return Role::Edit;
    case Kind::Memo: return Role::Memo;
    case Kind::ComboBox: return Role::ComboBox;
    case Kind::ListView: return Role::ListView;
    case Kind::StatusBar: return Role::StatusBar;
    case Kind::ProgressBar:
    case Kind::ActivityIndicator: return Role::Progress;
    default: return Role::Other;
  }
}

bool IsLink(const Entry* entry) {
  return entry && entry->role == Role::Label && entry->component && entry->component->GetFont().underline;
}

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

// ---- Controls painted by the program -------------------------------------------

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
  SetTextColor(dc, Rgb(enabled ? P().text : P().disabled_text));
  std::wstring text = WindowText(hwnd);
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
      DrawTextW(dc, text.c_str(), -1, &text_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
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
    DrawTextW(dc, text.c_str(), -1, &text_rect, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  } else {
    InflateRect(&text_rect, -Scaled(hwnd, 4), -Scaled(hwnd, 2));
    RECT measure = text_rect;
    DrawTextW(dc, text.c_str(), -1, &measure, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
    int height = measure.bottom - measure.top;
    text_rect.top += (text_rect.bottom - text_rect.top - height) / 2;
    DrawTextW(dc, text.c_str(), -1, &text_rect, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
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
  DrawTextW(dc, text.c_str(), -1, &measure, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  int height = measure.bottom - measure.top;
  text_rect.top += (r.bottom - r.top - height) / 2;
  text_rect.bottom = text_rect.top + height;
  DrawTextW(dc, text.c_str(), -1, &text_rect, DT_WORDBREAK | DT_NOPREFIX);
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

// The 2-pixel sunken edge of edits, memos and lists becomes a flat frame.
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

// ---- Colours the controls keep themselves ---------------------------------------

void ColourTooltip(HWND tooltip) {
  if (!g_active) return;
  SetWindowTheme(tooltip, L"", L"");
  SendMessageW(tooltip, TTM_SETTIPBKCOLOR, Rgb(P().panel), 0);
  SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR, Rgb(P().text), 0);
}

BOOL CALLBACK ColourTooltipProc(HWND hwnd, LPARAM) {
  if (ClassIs(hwnd, TOOLTIPS_CLASSW)) ColourTooltip(hwnd);
  return TRUE;
}

HIMAGELIST CheckImages(int size) {
  // The list view's check boxes: unchecked and checked, in the style's colours.
  static std::map<std::pair<const StylePalette*, int>, HIMAGELIST> lists;
  auto key = std::make_pair(g_active, size);
  if (auto it = lists.find(key); it != lists.end()) return it->second;
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, 2, 0);
  HDC screen = GetDC(nullptr);
  for (bool checked : {false, true}) {
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, size, size};
    FillRect(dc, &all, Brush(Rgb(P().edit)));
    int box_size = size * 13 / 16;
    RECT box{(size - box_size) / 2, (size - box_size) / 2, (size - box_size) / 2 + box_size,
             (size - box_size) / 2 + box_size};
    RoundBox(dc, box, Rgb(checked ? P().accent : P().edit), Rgb(checked ? P().accent : P().border), size / 5);
    if (checked) CheckMark(dc, box, Rgb(P().dark ? P().window : P().edit), std::max(2, size / 8));
    SelectObject(dc, old);
    DeleteDC(dc);
    ImageList_Add(list, bitmap, nullptr);
    DeleteObject(bitmap);
  }
  ReleaseDC(nullptr, screen);
  lists[key] = list;
  return list;
}

// Gives a control the system's dark or light theme class (seen on Windows 10 and 11).
void SetSystemTheme(HWND hwnd, Entry& entry) {
  if (entry.themed == static_cast<int>(P().dark)) return;
  entry.themed = P().dark;
  SetWindowTheme(hwnd, P().dark ? L"DarkMode_Explorer" : L"Explorer", nullptr);
}

// Puts the style's colours onto a window that keeps colours of its own.
void ApplyColours(HWND hwnd, Entry& entry) {
  if (!g_active) return;
  switch (entry.role) {
    case Role::Form: {
      BOOL dark = P().dark;
      if (FAILED(DwmSetWindowAttribute(hwnd, kImmersiveDarkMode, &dark, sizeof(dark))))
        DwmSetWindowAttribute(hwnd, kImmersiveDarkModeBefore20H1, &dark, sizeof(dark));
      break;
    }
    case Role::ListView: {
      SetSystemTheme(hwnd, entry);
      SendMessageW(hwnd, LVM_SETBKCOLOR, 0, Rgb(P().edit));
      SendMessageW(hwnd, LVM_SETTEXTBKCOLOR, 0, Rgb(P().edit));
      SendMessageW(hwnd, LVM_SETTEXTCOLOR, 0, Rgb(P().edit_text));
      if (SendMessageW(hwnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) {
        // The list keeps our check images without owning them.
        SetWindowLongW(hwnd, GWL_STYLE, GetWindowLongW(hwnd, GWL_STYLE) | LVS_SHAREIMAGELISTS);
        SendMessageW(hwnd, LVM_SETIMAGELIST, LVSIL_STATE,
                     reinterpret_cast<LPARAM>(CheckImages(GetSystemMetrics(SM_CXSMICON))));
      }
      break;
    }
    case Role::Memo:
    case Role::Edit:
    case Role::ComboBox:
      SetSystemTheme(hwnd, entry);
      break;
    case Role::Progress:
      if (entry.themed < 0) SetWindowTheme(hwnd, L"", L"");  // the bar's own colours count only without visual styles
      entry.themed = 0;
      SendMessageW(hwnd, PBM_SETBKCOLOR, 0, Rgb(P().edit));
      SendMessageW(hwnd, PBM_SETBARCOLOR, 0, Rgb(P().accent));
      break;
    default:
      break;
  }
}

LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR);

// Whether the window paints or answers something itself while a style is chosen.
// Labels, pictures and progress bars are coloured by their parent or by messages.
bool PaintsWithStyle(Role role) {
  return role != Role::Label && role != Role::Image && role != Role::Progress && role != Role::Other;
}

// Subclassing costs every message of the window a look-up of its subclass list (a
// server round trip under Wine), so windows get it only once they need it: when a
// style is chosen, or as the parent of a link label.
void Hook(HWND hwnd, Entry& entry) {
  if (entry.subclassed) return;
  entry.subclassed = SetWindowSubclass(hwnd, Subclass, kSubclassId, 0);
}

// A further window inside a control (a list view's header).
void AttachHelper(HWND hwnd, Role role) {
  if (!hwnd) return;
  Entry& entry = Windows()[hwnd];
  entry = Entry{};
  entry.role = role;
  if (g_active) Hook(hwnd, entry);
}

// The colours of a child's text and background, asked of its parent.
LRESULT ControlColour(UINT msg, HDC dc, HWND child) {
  Entry* entry = Find(child);
  const bool enabled = IsWindowEnabled(child);
  COLORREF back = Rgb(P().window);
  COLORREF text = Rgb(enabled ? P().text : P().disabled_text);
  if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) {
    back = Rgb(P().edit);
    text = Rgb(P().edit_text);
  } else if (entry && entry->role == Role::Memo && enabled) {
    back = Rgb(P().edit);  // a read-only log reads like any other text box
    text = Rgb(P().edit_text);
  } else if (entry && (entry->role == Role::Edit || entry->role == Role::Memo)) {
    back = Rgb(P().panel);  // read-only or disabled boxes
  } else if (IsLink(entry)) {
    text = Rgb(P().link);
  }
  SetTextColor(dc, text);
  SetBkColor(dc, back);
  return reinterpret_cast<LRESULT>(Brush(back));
}

bool RepaintsOn(UINT msg) {
  switch (msg) {
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case CB_SETCURSEL:
    case WM_KEYDOWN:
    case WM_KEYUP:
      return true;
    default:
      return false;
  }
}

LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  if (msg == WM_NCDESTROY) {
    Windows().erase(hwnd);
    RemoveWindowSubclass(hwnd, Subclass, kSubclassId);
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }
  Entry* entry = Find(hwnd);
  if (!entry) return DefSubclassProc(hwnd, msg, wparam, lparam);

  if (!g_active) {
    // The system's look, with link labels in the system's link colour.
    if (msg == WM_CTLCOLORSTATIC && IsLink(Find(reinterpret_cast<HWND>(lparam)))) {
      LRESULT brush = DefSubclassProc(hwnd, msg, wparam, lparam);
      SetTextColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_HOTLIGHT));
      return brush;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }

  // What a parent answers for its children.
  switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
      return ControlColour(msg, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (measure->CtlType == ODT_MENU && measure->itemData) {
        MeasureMenuItem(hwnd, *measure);
        return TRUE;
      }
      break;
    }
    case WM_DRAWITEM: {
      auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
      if (draw->CtlType == ODT_MENU && draw->itemData) {
        DrawMenuItem(hwnd, *draw);
        return TRUE;
      }
      break;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->code == TTN_SHOW) ColourTooltip(header->hwndFrom);
      break;
    }
    default:
      break;
  }

  // What the window paints itself.
  switch (entry->role) {
    case Role::Form:
    case Role::Container:
      if (msg == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wparam), &r, Brush(Rgb(P().window)));
        return TRUE;
      }
      break;
    case Role::GroupBox:
      if (msg == WM_ERASEBKGND) return TRUE;
      if (msg == WM_PAINT) {
        PaintGroupBox(hwnd);
        return 0;
      }
      if (msg == WM_SETTEXT || msg == WM_ENABLE) {
        LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return result;
      }
      break;
    case Role::Button:
    case Role::SpeedButton:
    case Role::CheckBox:
    case Role::ComboBox: {
      if (msg == WM_ERASEBKGND) return TRUE;
      if (msg == WM_PAINT) {
        if (entry->role == Role::CheckBox)
          PaintCheckBox(hwnd, *entry);
        else if (entry->role == Role::ComboBox)
          PaintComboBox(hwnd);
        else
          PaintButton(hwnd, *entry);
        return 0;
      }
      if (msg == WM_MOUSEMOVE && !entry->tracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
        entry->tracking = TrackMouseEvent(&track);
        entry->hot = true;
        InvalidateRect(hwnd, nullptr, FALSE);
      } else if (msg == WM_MOUSELEAVE) {
        entry->tracking = false;
        entry->hot = false;
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      if (RepaintsOn(msg) || (entry->role == Role::ComboBox && msg == WM_COMMAND)) {
        LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        if (IsWindow(hwnd)) InvalidateRect(hwnd, nullptr, FALSE);
        return result;
      }
      break;
    }
    case Role::Edit:
    case Role::Memo:
    case Role::ListView:
      if (msg == WM_NCPAINT) {
        LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        PaintClientEdge(hwnd, entry->role != Role::ListView && GetFocus() == hwnd);
        return result;
      }
      if (entry->role == Role::ListView && msg == WM_ERASEBKGND) {
        // The list's empty area in the style's colour on every repaint: a list that was
        // disabled and enabled again (a DNS test run) erased it in the system's colour.
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wparam), &r, Brush(Rgb(P().edit)));
        return TRUE;
      }
      if (msg == WM_SETFOCUS || msg == WM_KILLFOCUS || msg == WM_ENABLE) {
        LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        if (entry->role == Role::ListView && msg == WM_ENABLE) ApplyColours(hwnd, *entry);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | (msg == WM_ENABLE ? RDW_ERASE : 0));
        return result;
      }
      break;
    case Role::Header:
      if (msg == WM_ERASEBKGND) return TRUE;
      if (msg == WM_PAINT) {
        PaintHeader(hwnd);
        return 0;
      }
      if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP || msg == WM_MOUSEMOVE) {
        LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return result;
      }
      break;
    case Role::StatusBar:
      if (msg == WM_ERASEBKGND) return TRUE;
      if (msg == WM_PAINT) {
        PaintStatusBar(hwnd);
        return 0;
      }
      if (msg == SB_SETTEXTW) {
        LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return result;
      }
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

}  // namespace

void Attach(HWND hwnd, const Component& component) {
  if (!hwnd) return;
  // A window handle of a window gone before may come back for a new window.
  Entry& entry = Windows()[hwnd];
  if (entry.subclassed) RemoveWindowSubclass(hwnd, Subclass, kSubclassId);
  entry = Entry{};
  entry.role = RoleOf(component);
  entry.component = &component;
  if (g_active && PaintsWithStyle(entry.role)) Hook(hwnd, entry);
  if (IsLink(&entry))
    if (Entry* parent = Find(GetParent(hwnd))) Hook(GetParent(hwnd), *parent);
  if (entry.role == Role::ListView)
    AttachHelper(reinterpret_cast<HWND>(SendMessageW(hwnd, LVM_GETHEADER, 0, 0)), Role::Header);
  if (entry.role == Role::Form) {
    // Windows 11 rounds the corners of windows that ask for it.
    if (static_cast<const Form&>(component).RoundedCorners()) {
      DWORD round = 2;
      DwmSetWindowAttribute(hwnd, kWindowCornerPreference, &round, sizeof(round));
    }
  }
  ApplyColours(hwnd, entry);
}

void SetActive(const StylePalette* style) {
  if (style == g_active) return;
  g_active = style;
  std::vector<HWND> forms;
  for (auto it = Windows().begin(); it != Windows().end();) {
    if (!IsWindow(it->first))
      it = Windows().erase(it);
    else
      ++it;
  }
  for (auto& [hwnd, entry] : Windows()) {
    if (g_active && PaintsWithStyle(entry.role)) Hook(hwnd, entry);
    ApplyColours(hwnd, entry);
    if (entry.role == Role::Form) forms.push_back(hwnd);
  }
  EnumThreadWindows(GetCurrentThreadId(), ColourTooltipProc, 0);
  // Every window repaints now, frames included, children with their parents.
  for (HWND form : forms) {
    SetWindowPos(form, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}

void PrepareMenu(HMENU menu) {
  ForgetMenus();
  if (!g_active || !menu) return;
  ConvertMenu(menu);
}

}  // namespace styling
}  // namespace ui::win32
