// Report list views: columns within their width limits, rows with optional check
// boxes, one selected row, and the list's popup menu (opened by a right click or the
// menu key; its items' shortcut keys work while the list has the focus).
//
// The control is a virtual list: the component holds the rows, their check marks and
// the selected (focused) row; the control is told only how many rows there are and
// asks for the cells it paints. So a list of any length costs only the rows on screen.
// Rows appended in a series reach the control's count when the series pauses (or the
// moment anything asks the control about its rows), with redrawing off meanwhile; the
// list is painted once when pending messages next run.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/Wide.h"
#include "ui/win32/ControlPeer.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

// The shortcut text of a key with the modifiers held now ("Ctrl+F5", "Delete"), as
// menu items spell their shortcuts; empty for keys without a name here.
std::string ShortCutText(WORD key) {
  std::string name;
  if (key >= 'A' && key <= 'Z') name = std::string(1, static_cast<char>(key));
  else if (key >= '0' && key <= '9') name = std::string(1, static_cast<char>(key));
  else if (key >= VK_F1 && key <= VK_F12) name.append("F").append(std::to_string(key - VK_F1 + 1));
  else if (key == VK_DELETE) name = "Delete";
  else if (key == VK_INSERT) name = "Insert";
  else return {};
  std::string prefix;
  if (GetKeyState(VK_SHIFT) < 0) prefix += "Shift+";
  if (GetKeyState(VK_CONTROL) < 0) prefix += "Ctrl+";
  if (GetKeyState(VK_MENU) < 0) prefix += "Alt+";
  return prefix + name;
}

class ListViewPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

  void Sync(Change change) override {
    switch (change) {
      case Change::Items:
        if (List().LastEdit() == ListView::Edit::Reset && shown_count_ == 0)
          SyncColumns();  // columns may have changed too
        else
          SyncRows();
        break;
      case Change::Checked:
        SyncChecks();
        break;
      case Change::Selection:
        SyncSelection();
        break;
      case Change::Text:
        SyncColumnCaptions();
        break;
      case Change::Scroll:
        FlushCount();
        if (List().VisibleRequest() >= 0 && List().VisibleRequest() < shown_count_)
          SendMessageW(hwnd_, LVM_ENSUREVISIBLE, List().VisibleRequest(), TRUE);
        break;
      default:
        ControlPeer::Sync(change);
        break;
    }
  }

  LRESULT OnNotify(NMHDR& header) override {
    if (header.code == LVN_GETDISPINFOW) {
      Answer(reinterpret_cast<NMLVDISPINFOW&>(header).item);
      return 0;
    }
    if (header.code == LVN_ODFINDITEMW) return -1;
    if (header.code == LVN_COLUMNCLICK && List().OnColumnClick) {
      int column = reinterpret_cast<NMLISTVIEW&>(header).iSubItem;
      Guard([this, column] { List().OnColumnClick(column); });
      return 0;
    }
    if (header.code == LVN_KEYDOWN && List().GetPopupMenu()) {
      // The list's popup menu items answer their shortcuts while the list has the focus.
      std::string shortcut = ShortCutText(reinterpret_cast<NMLVKEYDOWN&>(header).wVKey);
      if (shortcut.empty()) return 0;
      for (MenuItem* item : List().GetPopupMenu()->Items())
        if (item->ShortCut() == shortcut && item->EffectivelyEnabled() && !item->IsSeparator()) {
          Guard([item] { item->Click(); });
          break;
        }
      return 0;
    }
    if (header.code == LVN_ITEMCHANGED && !Echoing()) ItemChanged(reinterpret_cast<NMLISTVIEW&>(header));
    return 0;
  }

  // A right click (or the menu key) on a list with a menu opens it: at the mouse,
  // or below the selected row when the keyboard asked.
  bool OnContextMenu(POINT at) override {
    PopupMenu* menu = List().GetPopupMenu();
    if (!menu || !menu->AutoPopup() || !List().EffectivelyEnabled()) return false;
    if (at.x == -1 && at.y == -1) {
      FlushCount();
      RECT r{};
      r.left = LVIR_BOUNDS;
      if (List().Selected() < 0 || List().Selected() >= shown_count_ ||
          !SendMessageW(hwnd_, LVM_GETITEMRECT, List().Selected(), reinterpret_cast<LPARAM>(&r)))
        r = RECT{0, 0, 0, 0};
      at = {r.left + 8, r.bottom};
      ClientToScreen(hwnd_, &at);
    }
    form_.Host().Popup(*menu, Point{at.x, at.y});
    return true;
  }

  void EndHeldChanges() override {
    if (!batching_) return;
    batching_ = false;
    FlushCount();
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    if (ensure_visible_ >= 0 && ensure_visible_ < shown_count_)
      SendMessageW(hwnd_, LVM_ENSUREVISIBLE, ensure_visible_, FALSE);
    ensure_visible_ = -1;
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_LISTVIEWW;
    params.style |= LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP;
    params.ex_style |= WS_EX_CLIENTEDGE;
  }
  void Fill() override {
    SetWindowSubclass(hwnd_, Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
    DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | (List().CheckBoxes() ? LVS_EX_CHECKBOXES : 0);
    SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    // The check marks live in the component: the control asks for them with the cells.
    if (List().CheckBoxes()) SendMessageW(hwnd_, LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
    SyncColumns();
    // A window made after the rows: all of them at once, and the component's selection.
    FlushCount();
    SyncSelection();
  }

 private:
  ListView& List() const { return static_cast<ListView&>(component_); }
  int ModelCount() const { return static_cast<int>(List().Rows().size()); }

  void BeginBatch() {
    if (!batching_) {
      SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
      batching_ = true;
      ensure_visible_ = -1;
    }
    form_.HoldUntilIdle(*this);
  }

  // Rows appended since the control last heard of them join its count, without
  // repainting the rows it already shows.
  void FlushCount() {
    if (!count_pending_) return;
    count_pending_ = false;
    SetCount(ModelCount(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  }

  void SetCount(int count, LPARAM flags) {
    Echo echo(*this);
    shown_count_ = count;
    SendMessageW(hwnd_, LVM_SETITEMCOUNT, count, flags);
  }

  // The control asks for a cell's text or a row's check mark.
  void Answer(LVITEMW& item) const {
    const std::vector<ListRow>& rows = List().Rows();
    if (item.iItem < 0 || item.iItem >= static_cast<int>(rows.size())) return;
    const ListRow& row = rows[item.iItem];
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
      // Hidden sub-items beyond the columns are kept by the component only.
      const int columns = static_cast<int>(List().Columns().size());
      const std::string* text = nullptr;
      if (item.iSubItem == 0)
        text = &row.caption;
      else if (item.iSubItem > 0 && item.iSubItem < columns && item.iSubItem - 1 < static_cast<int>(row.sub_items.size()))
        text = &row.sub_items[item.iSubItem - 1];
      std::wstring wide = text ? Widen(*text) : std::wstring();
      const size_t n = std::min(wide.size(), static_cast<size_t>(item.cchTextMax - 1));
      std::memcpy(item.pszText, wide.data(), n * sizeof(wchar_t));
      item.pszText[n] = L'\0';
    }
    if ((item.mask & LVIF_STATE) && List().CheckBoxes()) {
      item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(row.checked ? 2 : 1);
      item.stateMask |= LVIS_STATEIMAGEMASK;
    }
  }

  // Header texts only (a language change): widths and rows stay.
  void SyncColumnCaptions() {
    int index = 0;
    for (const ListColumn& column : List().Columns()) {
      std::wstring caption = Widen(column.caption);
      LVCOLUMNW lvc{};
      lvc.mask = LVCF_TEXT;
      lvc.pszText = caption.data();
      SendMessageW(hwnd_, LVM_SETCOLUMNW, index++, reinterpret_cast<LPARAM>(&lvc));
    }
  }

  void SyncColumns() {
    {
      Echo echo(*this);
      while (SendMessageW(hwnd_, LVM_DELETECOLUMN, 0, 0)) {
      }
      const std::vector<int> widths = ColumnWidths();
      int index = 0;
      for (const ListColumn& column : List().Columns()) {
        std::wstring caption = Widen(column.caption);
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        lvc.fmt = column.centered ? LVCFMT_CENTER : LVCFMT_LEFT;
        lvc.pszText = caption.data();
        lvc.cx = widths[static_cast<size_t>(index)];
        SendMessageW(hwnd_, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&lvc));
      }
    }
    SyncRows();
  }

  // A column that takes the remaining width gets what the client area leaves beside
  // the others (less a vertical scroll bar), but never less than its minimum.
  std::vector<int> ColumnWidths() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    int others = 0;
    for (const ListColumn& column : List().Columns())
      if (!column.auto_size) others += Scale(column.width);
    const int remaining = client.right - others - GetSystemMetrics(SM_CXVSCROLL);
    std::vector<int> widths;
    for (const ListColumn& column : List().Columns())
      widths.push_back(column.auto_size ? std::max(remaining, Scale(column.min_width)) : Scale(column.width));
    return widths;
  }

 public:
  // The columns take their widths at the new DPI, as they are made.
  void DpiChanged() override {
    ControlPeer::DpiChanged();
    Echo echo(*this);
    const std::vector<int> widths = ColumnWidths();
    for (size_t i = 0; i < widths.size(); ++i) SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, i, widths[i]);
  }

 private:

  void SyncRows() {
    const int count = ModelCount();
    const int index = List().LastEditIndex();
    // A replaced row outside a series of changes is painted again where it is on
    // screen, and only it: the control gathers what is to be painted until it paints.
    if (!batching_ && List().LastEdit() == ListView::Edit::Replace && count == shown_count_ && index >= 0 &&
        !count_pending_) {
      SendMessageW(hwnd_, LVM_REDRAWITEMS, index, index);
      return;
    }
    BeginBatch();
    // An appended row only grows the count, which goes in when the series pauses;
    // a replaced row is painted again if it is on screen.
    if (List().LastEdit() == ListView::Edit::Append && index == count - 1 && count > shown_count_) {
      count_pending_ = true;
      return;
    }
    FlushCount();
    if (List().LastEdit() == ListView::Edit::Replace && count == shown_count_ && index >= 0) {
      SendMessageW(hwnd_, LVM_REDRAWITEMS, index, index);
      return;
    }
    // A deletion, a reset or anything unexpected: the new count, every row painted
    // again, and the selection as the component has it.
    count_pending_ = false;
    SetCount(count, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
    SyncSelection();
  }

  void SyncChecks() {
    FlushCount();
    BeginBatch();
    const int changed = List().LastCheckedIndex();
    if (changed >= 0 && changed < shown_count_)
      SendMessageW(hwnd_, LVM_REDRAWITEMS, changed, changed);
    else
      InvalidateRect(hwnd_, nullptr, TRUE);
  }

  void SyncSelection() {
    FlushCount();
    Echo echo(*this);
    const int selected = List().Selected();
    if (selected < 0 || selected >= shown_count_) {
      LVITEMW clear{};
      clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
      return;
    }
    // In a single-selection list selecting and focusing one row takes both marks
    // from the row that had them.
    LVITEMW select{};
    select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hwnd_, LVM_SETITEMSTATE, selected, reinterpret_cast<LPARAM>(&select));
    // While rows are being changed the list does not lay itself out; the row is
    // scrolled into view once the changes are painted.
    if (batching_)
      ensure_visible_ = selected;
    else
      SendMessageW(hwnd_, LVM_ENSUREVISIBLE, selected, FALSE);
  }

  // The user selected a row. (Check marks are the component's: the control does not
  // keep them, so it never reports one.)
  void ItemChanged(const NMLISTVIEW& change) {
    if (change.iItem < 0 || change.iItem >= ModelCount()) return;
    ListView* list = &List();
    const int index = change.iItem;
    if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
        !(change.uOldState & LVIS_SELECTED) && list->Selected() != index)
      Guard([list, index] { list->SetSelected(index); });
  }

  // A click on a row's check box, or Space on the focused row, ticks or unticks it.
  void Toggle(int index) {
    if (index < 0 || index >= ModelCount() || !List().EffectivelyEnabled()) return;
    ListView* list = &List();
    const bool checked = !list->Rows()[index].checked;
    Guard([list, index, checked] { list->SetChecked(index, checked); });
  }

  // The row whose check box lies under a point of the client area, or -1.
  int CheckBoxAt(LPARAM point) {
    LVHITTESTINFO hit{};
    hit.pt = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    int index = static_cast<int>(SendMessageW(hwnd_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return index >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) ? index : -1;
  }

  bool ColumnWidthAllowed(int column, int width) const {
    if (column < 0 || column >= static_cast<int>(List().Columns().size())) return true;
    const ListColumn& limits = List().Columns()[column];
    if (width < Scale(limits.min_width)) return false;
    return limits.max_width <= 0 || width <= Scale(limits.max_width);
  }

  static LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                   DWORD_PTR data) {
    auto* peer = reinterpret_cast<ListViewPeer*>(data);
    // Whoever asks the control about its rows (a paint, a test, the user) sees them all.
    if (peer->count_pending_ && msg != LVM_SETITEMCOUNT && msg != WM_SETREDRAW) peer->FlushCount();
    // The header tells its list first that a column is about to change width; a
    // width outside the column's limits is refused there.
    if (msg == WM_NOTIFY) {
      auto* change = reinterpret_cast<NMHEADERW*>(lparam);
      if ((change->hdr.code == HDN_ITEMCHANGINGW || change->hdr.code == HDN_ITEMCHANGINGA) && change->pitem &&
          (change->pitem->mask & HDI_WIDTH) && !peer->ColumnWidthAllowed(change->iItem, change->pitem->cxy))
        return TRUE;
    }
    if (peer->List().CheckBoxes()) {
      if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
        int index = peer->CheckBoxAt(lparam);
        if (index >= 0) {
          SetFocus(hwnd);
          peer->Toggle(index);
          return 0;
        }
      }
      if (msg == WM_KEYDOWN && wparam == VK_SPACE) {
        peer->Toggle(static_cast<int>(SendMessageW(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
        return 0;
      }
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, Subclass, 1);
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }

  // Row changes are going in with redrawing off.
  bool batching_ = false;
  // The row to scroll into view when they are painted (-1: none).
  int ensure_visible_ = -1;
  // The number of rows the control knows of, and whether appended rows wait to join it.
  int shown_count_ = 0;
  bool count_pending_ = false;
};

}  // namespace

std::unique_ptr<ControlPeer> MakeListViewPeer(FormPeer& form, Component& component) {
  return std::make_unique<ListViewPeer>(form, component);
}

}  // namespace ui::win32
