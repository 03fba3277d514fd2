// One-line edit boxes and memos. An edit box reports typing, keys and clicks; a
// memo shows the model's lines, adding only new ones when lines were appended.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/win32/ControlPeer.h"

namespace ui::win32 {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

class EditPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

  void Sync(Change change) override {
    auto& edit = static_cast<Edit&>(component_);
    switch (change) {
      case Change::ReadOnly:
        SendMessageW(hwnd_, EM_SETREADONLY, edit.ReadOnly(), 0);
        break;
      case Change::Selection:
        if (edit.AllSelected()) SendMessageW(hwnd_, EM_SETSEL, 0, -1);
        break;
      default:
        ControlPeer::Sync(change);
        break;
    }
  }

  void OnCommand(int code) override {
    if (code != EN_CHANGE || Echoing()) return;
    int length = GetWindowTextLengthW(hwnd_);
    std::wstring text(length + 1, L'\0');
    GetWindowTextW(hwnd_, text.data(), length + 1);
    text.resize(length);
    Guard([edit = &static_cast<Edit&>(component_), value = Narrow(text)] { edit->UserTyped(value); });
  }

 protected:
  void Describe(CreateParams& params) override {
    auto& edit = static_cast<Edit&>(component_);
    params.window_class = WC_EDITW;
    params.style |= ES_AUTOHSCROLL | WS_TABSTOP | (edit.ReadOnly() ? ES_READONLY : 0) |
                    (edit.Centered() ? ES_CENTER : 0);
    params.ex_style |= WS_EX_CLIENTEDGE;
    params.text = Widen(edit.Text());
  }
  void Fill() override {
    SetWindowSubclass(hwnd_, Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
    if (static_cast<Edit&>(component_).AllSelected()) SendMessageW(hwnd_, EM_SETSEL, 0, -1);
  }
  void SyncText() override {
    Echo echo(*this);
    SetWindowTextW(hwnd_, Widen(static_cast<Edit&>(component_).Text()).c_str());
  }

 private:
  static LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                   DWORD_PTR data) {
    auto* peer = reinterpret_cast<EditPeer*>(data);
    auto* edit = &static_cast<Edit&>(peer->component_);
    if (msg == WM_CHAR) {
      // The box's handler sees the text as it was before this key.
      auto key = static_cast<char32_t>(wparam);
      peer->Guard([edit, key] { edit->KeyPressed(key); });
    }
    if (msg == WM_LBUTTONUP) {
      LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
      peer->Guard([edit] { edit->Click(); });
      return result;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, Subclass, 1);
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }
};

class MemoPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

  void Sync(Change change) override {
    switch (change) {
      case Change::Items:
        SyncLines();
        break;
      case Change::ReadOnly:
        SendMessageW(hwnd_, EM_SETREADONLY, static_cast<Memo&>(component_).ReadOnly(), 0);
        break;
      default:
        ControlPeer::Sync(change);
        break;
    }
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_EDITW;
    params.style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP |
                    (static_cast<Memo&>(component_).ReadOnly() ? ES_READONLY : 0);
    params.ex_style |= WS_EX_CLIENTEDGE;
  }
  void Fill() override { SyncLines(); }
  void SyncText() override {}  // a memo shows its lines, not a caption

 private:
  void SyncLines() {
    const auto& lines = static_cast<Memo&>(component_).Lines();
    Echo echo(*this);
    if (lines.size() > shown_ && shown_ > 0) {
      // Appending is the common case (the activity log): add only the new lines.
      std::wstring tail;
      for (size_t i = shown_; i < lines.size(); ++i) tail += L"\r\n" + Widen(lines[i]);
      int end = GetWindowTextLengthW(hwnd_);
      SendMessageW(hwnd_, EM_SETSEL, end, end);
      SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(tail.c_str()));
    } else {
      std::wstring all;
      for (size_t i = 0; i < lines.size(); ++i) all += (i ? L"\r\n" : L"") + Widen(lines[i]);
      SetWindowTextW(hwnd_, all.c_str());
      SendMessageW(hwnd_, EM_SETSEL, all.size(), all.size());
      SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
    }
    shown_ = lines.size();
  }

  // How many of the model's lines the window shows.
  size_t shown_ = 0;
};

}  // namespace

std::unique_ptr<ControlPeer> MakeEditPeer(FormPeer& form, Component& component) {
  return std::make_unique<EditPeer>(form, component);
}

std::unique_ptr<ControlPeer> MakeMemoPeer(FormPeer& form, Component& component) {
  return std::make_unique<MemoPeer>(form, component);
}

}  // namespace ui::win32
