// Drop-down lists: the model's items and chosen item; the user's choice goes back.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/win32/ControlPeer.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

// Height of the open list below the box.
constexpr int kDropHeight = 200;

class ComboBoxPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

  void Sync(Change change) override {
    switch (change) {
      case Change::Items:
        SyncItems();
        break;
      case Change::Selection:
        SyncSelection();
        break;
      default:
        ControlPeer::Sync(change);
        break;
    }
  }

  void OnCommand(int code) override {
    if (code != CBN_SELCHANGE || Echoing()) return;
    int index = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
    Guard([combo = &Combo(), index] { combo->UserSelected(index); });
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_COMBOBOXW;
    params.style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
  }
  void Fill() override { SyncItems(); }
  // A drop-down list's window height includes its open list.
  Rect WindowBounds() const override {
    Rect b = ControlPeer::WindowBounds();
    b.height = Scale(kDropHeight);
    return b;
  }

 private:
  ComboBox& Combo() const { return static_cast<ComboBox&>(component_); }

  void SyncItems() {
    Echo echo(*this);
    // The open list's window is not redrawn item by item: a long list fills in a
    // fraction of the time.
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    HWND list = GetComboBoxInfo(hwnd_, &info) ? info.hwndList : nullptr;
    if (list) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
    // Room for every item at once, so a long list does not grow step by step.
    size_t text = 0;
    for (const std::string& item : Combo().Items()) text += (item.size() + 1) * sizeof(wchar_t);
    if (!Combo().Items().empty()) SendMessageW(hwnd_, CB_INITSTORAGE, Combo().Items().size(), text);
    for (const std::string& item : Combo().Items())
      SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    if (list) {
      SendMessageW(list, WM_SETREDRAW, TRUE, 0);
      InvalidateRect(list, nullptr, TRUE);
    }
    SendMessageW(hwnd_, CB_SETCURSEL, Combo().ItemIndex(), 0);
  }
  void SyncSelection() {
    Echo echo(*this);
    SendMessageW(hwnd_, CB_SETCURSEL, Combo().ItemIndex(), 0);
  }
};

}  // namespace

std::unique_ptr<ControlPeer> MakeComboBoxPeer(FormPeer& form, Component& component) {
  return std::make_unique<ComboBoxPeer>(form, component);
}

}  // namespace ui::win32
