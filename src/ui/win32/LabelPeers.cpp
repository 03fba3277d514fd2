// Labels and pictures: static windows. A click on a label runs its click.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/win32/Accessible.h"
#include "ui/win32/ControlPeer.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

class LabelPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;
  void OnCommand(int code) override {
    if (code == STN_CLICKED) UserClick();
  }

 protected:
  void Describe(CreateParams& params) override {
    auto& label = static_cast<Label&>(component_);
    params.window_class = WC_STATICW;
    // SS_NOTIFY: a click reaches the label's OnClick. A label that acts on a click (a
    // link) is reached with Tab too; only a label that names a control shows its "&"
    // as an access key, the others show their text as it is.
    params.style |= (label.Centered() ? SS_CENTER : label.RightJustified() ? SS_RIGHT : SS_LEFT) | SS_NOTIFY |
                    (label.FocusControl() ? 0 : SS_NOPREFIX) | (Clickable() ? WS_TABSTOP : 0);
    params.text = Widen(label.Caption());
  }
  void Fill() override {
    if (Clickable()) SetWindowSubclass(hwnd_, ShowFocus, 1, 0);
  }
  // A label's new text (a status line's) is announced to screen readers.
  void SyncText() override {
    ControlPeer::SyncText();
    accessible::NameChanged(hwnd_);
  }

 private:
  bool Clickable() const { return static_cast<bool>(component_.OnClick); }

  // A static window draws no focus: a focused link gets a focus rectangle round its text.
  static LRESULT CALLBACK ShowFocus(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
    switch (msg) {
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        break;
      case WM_PAINT: {
        LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
        if (GetFocus() == hwnd) {
          HDC dc = GetDC(hwnd);
          RECT r;
          GetClientRect(hwnd, &r);
          DrawFocusRect(dc, &r);
          ReleaseDC(hwnd, dc);
        }
        return result;
      }
      case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, ShowFocus, 1);
        break;
      default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }
};

class ImagePeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;
  ~ImagePeer() override {
    if (icon_) DestroyIcon(icon_);
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_STATICW;
    params.style |= SS_ICON | SS_CENTERIMAGE | SS_REALSIZECONTROL;
  }
  // The icon at the picture's size; a missing resource leaves it empty.
  void Fill() override {
    const std::string& name = static_cast<Image&>(component_).IconResource();
    if (name.empty()) return;
    const Rect b = WindowBounds();
    icon_ = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), Widen(name).c_str(), IMAGE_ICON, b.width, b.height, 0));
    if (icon_) SendMessageW(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    // Above the labels it shares its place with, which are made before it.
    SetWindowPos(hwnd_, HWND_TOP, b.left, b.top, b.width, b.height, SWP_NOACTIVATE);
  }

 private:
  HICON icon_ = nullptr;
};

}  // namespace

std::unique_ptr<ControlPeer> MakeLabelPeer(FormPeer& form, Component& component) {
  return std::make_unique<LabelPeer>(form, component);
}

std::unique_ptr<ControlPeer> MakeImagePeer(FormPeer& form, Component& component) {
  return std::make_unique<ImagePeer>(form, component);
}

}  // namespace ui::win32
