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
#include "ui/win32/StylePainters.h"
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

namespace {

const StylePalette* g_chosen = nullptr;
bool g_high_contrast = false;

void Apply(const StylePalette* style) {
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

}  // namespace

namespace {
bool (*g_high_contrast_query)() = nullptr;
}  // namespace

void SetHighContrastQuery(bool (*query)()) { g_high_contrast_query = query; }

bool SystemHighContrast() {
  if (g_high_contrast_query) return g_high_contrast_query();
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

void SetActive(const StylePalette* style) {
  g_chosen = style;
  g_high_contrast = SystemHighContrast();
  Apply(g_high_contrast ? nullptr : g_chosen);
}

bool HighContrastChanged() {
  const bool on = SystemHighContrast();
  if (on == g_high_contrast) return false;
  g_high_contrast = on;
  Apply(on ? nullptr : g_chosen);
  // Every window repaints in the system's colours, the ones no style painted too.
  for (auto& [hwnd, entry] : Windows())
    if (entry.role == Role::Form) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return true;
}

void PrepareMenu(HMENU menu) {
  ForgetMenus();
  if (!g_active || !menu) return;
  ConvertMenu(menu);
}

}  // namespace styling
}  // namespace ui::win32
