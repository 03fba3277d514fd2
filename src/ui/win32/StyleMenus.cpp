// Popup menus drawn item by item while a style is chosen.
#include "ui/win32/StyleMenus.h"

#include <deque>
#include <string>

#include "ui/win32/Palette.h"
#include "ui/win32/StyleShapes.h"

namespace ui::win32::styling {

namespace {

using palette::Brush;
using palette::Rgb;


struct MenuEntry {
  std::wstring text;
  std::wstring shortcut;
  bool separator = false;
  bool radio = false;
  bool submenu = false;
};

std::deque<MenuEntry>& MenuEntries() {
  static std::deque<MenuEntry> entries;
  return entries;
}

HFONT MenuFont() {
  static HFONT font = [] {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    return CreateFontIndirectW(&metrics.lfMenuFont);
  }();
  return font;
}

}  // namespace

void ConvertMenu(HMENU menu) {
  MENUINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = MIM_BACKGROUND;
  info.hbrBack = Brush(Rgb(P().panel));
  SetMenuInfo(menu, &info);
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
    item.dwTypeData = text;
    item.cch = 255;
    if (!GetMenuItemInfoW(menu, i, TRUE, &item)) continue;
    MenuEntry entry;
    entry.separator = item.fType & MFT_SEPARATOR;
    entry.radio = item.fType & MFT_RADIOCHECK;
    entry.submenu = item.hSubMenu != nullptr;
    std::wstring all(text);
    if (auto tab = all.find(L'\t'); tab != std::wstring::npos) {
      entry.text = all.substr(0, tab);
      entry.shortcut = all.substr(tab + 1);
    } else {
      entry.text = all;
    }
    MenuEntries().push_back(entry);
    MENUITEMINFOW drawn{};
    drawn.cbSize = sizeof(drawn);
    drawn.fMask = MIIM_FTYPE | MIIM_DATA;
    drawn.fType = item.fType | MFT_OWNERDRAW;
    drawn.dwItemData = reinterpret_cast<ULONG_PTR>(&MenuEntries().back());
    SetMenuItemInfoW(menu, i, TRUE, &drawn);
    if (item.hSubMenu) ConvertMenu(item.hSubMenu);
  }
}

void MeasureMenuItem(HWND owner, MEASUREITEMSTRUCT& measure) {
  const auto* entry = reinterpret_cast<const MenuEntry*>(measure.itemData);
  if (!entry) return;
  if (entry->separator) {
    measure.itemWidth = Scaled(owner, 20);
    measure.itemHeight = Scaled(owner, 7);
    return;
  }
  HDC dc = GetDC(owner);
  HGDIOBJ old = SelectObject(dc, MenuFont());
  SIZE text{}, shortcut{};
  GetTextExtentPoint32W(dc, entry->text.c_str(), static_cast<int>(entry->text.size()), &text);
  if (!entry->shortcut.empty())
    GetTextExtentPoint32W(dc, entry->shortcut.c_str(), static_cast<int>(entry->shortcut.size()), &shortcut);
  SelectObject(dc, old);
  ReleaseDC(owner, dc);
  measure.itemWidth = text.cx + (shortcut.cx ? shortcut.cx + Scaled(owner, 24) : 0) + Scaled(owner, 40);
  measure.itemHeight = std::max<UINT>(text.cy + Scaled(owner, 8), Scaled(owner, 22));
}

void DrawMenuItem(HWND owner, const DRAWITEMSTRUCT& draw) {
  const auto* entry = reinterpret_cast<const MenuEntry*>(draw.itemData);
  if (!entry) return;
  HDC dc = draw.hDC;
  RECT r = draw.rcItem;
  const bool selected = draw.itemState & ODS_SELECTED;
  const bool disabled = draw.itemState & (ODS_DISABLED | ODS_GRAYED);
  COLORREF back = Rgb(selected && !disabled ? P().selection : P().panel);
  COLORREF fore = Rgb(disabled ? P().disabled_text : selected ? P().selection_text : P().text);
  FillRect(dc, &r, Brush(back));
  if (entry->separator) {
    int y = (r.top + r.bottom) / 2;
    Line(dc, r.left + Scaled(owner, 4), y, r.right - Scaled(owner, 4), y, Rgb(P().border));
  } else {
    HGDIOBJ old = SelectObject(dc, MenuFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, fore);
    const int mark = Scaled(owner, 26);
    if (draw.itemState & ODS_CHECKED) {
      int size = Scaled(owner, entry->radio ? 6 : 12);
      int cx = r.left + mark / 2, cy = (r.top + r.bottom) / 2;
      RECT box{cx - size / 2, cy - size / 2, cx - size / 2 + size, cy - size / 2 + size};
      if (entry->radio) {
        HGDIOBJ old_brush = SelectObject(dc, Brush(fore));
        HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, box.left, box.top, box.right + 1, box.bottom + 1);
        SelectObject(dc, old_pen);
        SelectObject(dc, old_brush);
      } else {
        CheckMark(dc, box, fore, Scaled(owner, 2));
      }
    }
    RECT text{r.left + mark, r.top, r.right - Scaled(owner, 14), r.bottom};
    DrawTextW(dc, entry->text.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (!entry->shortcut.empty())
      DrawTextW(dc, entry->shortcut.c_str(), -1, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
  }
  // The system draws a submenu's arrow after this, in the colours left here.
  SetTextColor(dc, fore);
  SetBkColor(dc, back);
}

void ForgetMenus() { MenuEntries().clear(); }

}  // namespace ui::win32::styling
