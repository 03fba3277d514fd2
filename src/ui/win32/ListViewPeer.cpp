// Report list views: columns within their width limits, rows with optional check
// boxes, one selected row, and the list's popup menu (opened by a right click or the
// menu key; its items' shortcut keys work while the list has the focus).
//
// A visible list view lays itself out and repaints its scroll bars on every row
// change, which makes a long series of changes slow. The changes of a series go in
// with redrawing off; the list is painted once when pending messages next run.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

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
        if (List().LastEdit() == ListView::Edit::Reset &&
            static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)) == 0)
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
        if (List().VisibleRequest() >= 0) SendMessageW(hwnd_, LVM_ENSUREVISIBLE, List().VisibleRequest(), TRUE);
        break;
      default:
        ControlPeer::Sync(change);
        break;
    }
  }

  LRESULT OnNotify(NMHDR& header) override {
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
      RECT r{};
      r.left = LVIR_BOUNDS;
      if (List().Selected() < 0 ||
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
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    if (ensure_visible_ >= 0 && ensure_visible_ < static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)))
      SendMessageW(hwnd_, LVM_ENSUREVISIBLE, ensure_visible_, FALSE);
    ensure_visible_ = -1;
    InvalidateRect(hwnd_, nullptr, TRUE);
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_LISTVIEWW;
    params.style |= LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP;
    params.ex_style |= WS_EX_CLIENTEDGE;
  }
  void Fill() override {
    SetWindowSubclass(hwnd_, Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
    DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | (List().CheckBoxes() ? LVS_EX_CHECKBOXES : 0);
    SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    SyncColumns();
  }

 private:
  ListView& List() const { return static_cast<ListView&>(component_); }

  void BeginBatch() {
    if (!batching_) {
      SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
      batching_ = true;
      ensure_visible_ = -1;
    }
    form_.HoldUntilIdle(*this);
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
      // A column that takes the remaining width gets what the client area leaves
      // beside the others (less a vertical scroll bar), but never less than its minimum.
      RECT client{};
      GetClientRect(hwnd_, &client);
      int others = 0;
      for (const ListColumn& column : List().Columns())
        if (!column.auto_size) others += Scale(column.width);
      int remaining = client.right - others - GetSystemMetrics(SM_CXVSCROLL);
      int index = 0;
      for (const ListColumn& column : List().Columns()) {
        std::wstring caption = Widen(column.caption);
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        lvc.fmt = column.centered ? LVCFMT_CENTER : LVCFMT_LEFT;
        lvc.pszText = caption.data();
        lvc.cx = Scale(column.width);
        if (column.auto_size) lvc.cx = std::max(remaining, Scale(column.min_width));
        SendMessageW(hwnd_, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&lvc));
      }
    }
    SyncRows();
  }

  void SetRow(int index, bool insert) {
    const ListRow& row = List().Rows()[index];
    std::wstring caption = Widen(row.caption);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = caption.data();
    SendMessageW(hwnd_, insert ? LVM_INSERTITEMW : LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    // Hidden sub-items beyond the columns are kept by the model only.
    size_t shown = List().Columns().empty() ? 0 : List().Columns().size() - 1;
    for (size_t i = 0; i < row.sub_items.size() && i < shown; ++i) {
      std::wstring text = Widen(row.sub_items[i]);
      LVITEMW sub{};
      sub.iSubItem = static_cast<int>(i + 1);
      sub.pszText = text.data();
      SendMessageW(hwnd_, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
    }
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(row.checked ? 2 : 1);
    if (List().CheckBoxes()) SendMessageW(hwnd_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
  }

  void SyncRows() {
    const int count = static_cast<int>(List().Rows().size());
    const int shown = static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0));
    const int index = List().LastEditIndex();
    BeginBatch();
    {
      Echo echo(*this);
      // Mirror the one edit that happened; rebuild only when the two disagree otherwise.
      // Appending or replacing a row leaves the selection where it is; resyncing it
      // would touch every row and make building a long list quadratic.
      if (List().LastEdit() == ListView::Edit::Append && count == shown + 1 && index == count - 1 && shown > 0) {
        SetRow(index, true);
        return;
      }
      if (List().LastEdit() == ListView::Edit::Replace && count == shown && index >= 0) {
        SetRow(index, false);
        return;
      }
      if (List().LastEdit() == ListView::Edit::Delete && count == shown - 1 && index >= 0) {
        SendMessageW(hwnd_, LVM_DELETEITEM, index, 0);
      } else {
        SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
        for (int i = 0; i < count; ++i) SetRow(i, true);
      }
    }
    SyncSelection();
  }

  void SyncChecks() {
    Echo echo(*this);
    BeginBatch();
    const int rows = static_cast<int>(List().Rows().size());
    const int changed = List().LastCheckedIndex();
    for (int i = changed >= 0 && changed < rows ? changed : 0; i < rows; ++i) {
      ListView_SetCheckState(hwnd_, i, List().Rows()[i].checked);
      if (changed >= 0) break;
    }
  }

  void SyncSelection() {
    Echo echo(*this);
    if (List().Selected() < 0) {
      LVITEMW clear{};
      clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
      return;
    }
    // Clearing touches every row; in a single-selection list selecting and
    // focusing one row takes both marks from the row that had them.
    LVITEMW select{};
    select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hwnd_, LVM_SETITEMSTATE, List().Selected(), reinterpret_cast<LPARAM>(&select));
    // While rows are being changed the list does not lay itself out; the row is
    // scrolled into view once the changes are painted.
    if (batching_)
      ensure_visible_ = List().Selected();
    else
      SendMessageW(hwnd_, LVM_ENSUREVISIBLE, List().Selected(), FALSE);
  }

  // The user ticked a row or selected one.
  void ItemChanged(const NMLISTVIEW& change) {
    if (change.iItem < 0 || change.iItem >= static_cast<int>(List().Rows().size())) return;
    ListView* list = &List();
    const int index = change.iItem;
    if ((change.uChanged & LVIF_STATE) && list->CheckBoxes() &&
        ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK)) {
      bool checked = ListView_GetCheckState(hwnd_, index) != 0;
      Guard([list, index, checked] { list->SetChecked(index, checked); });
    }
    if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
        !(change.uOldState & LVIS_SELECTED) && list->Selected() != index)
      Guard([list, index] { list->SetSelected(index); });
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
    // The header tells its list first that a column is about to change width; a
    // width outside the column's limits is refused there.
    if (msg == WM_NOTIFY) {
      auto* change = reinterpret_cast<NMHEADERW*>(lparam);
      if ((change->hdr.code == HDN_ITEMCHANGINGW || change->hdr.code == HDN_ITEMCHANGINGA) && change->pitem &&
          (change->pitem->mask & HDI_WIDTH) && !peer->ColumnWidthAllowed(change->iItem, change->pitem->cxy))
        return TRUE;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, Subclass, 1);
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }

  // Row changes are going in with redrawing off.
  bool batching_ = false;
  // The row to scroll into view when they are painted (-1: none).
  int ensure_visible_ = -1;
};

}  // namespace

std::unique_ptr<ControlPeer> MakeListViewPeer(FormPeer& form, Component& component) {
  return std::make_unique<ListViewPeer>(form, component);
}

}  // namespace ui::win32
