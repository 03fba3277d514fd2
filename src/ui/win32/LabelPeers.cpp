// Labels and pictures: static windows. A click on a label runs its click.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Wide.h"
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
    // SS_NOTIFY: a click reaches the label's OnClick.
    params.style |= (label.Centered() ? SS_CENTER : label.RightJustified() ? SS_RIGHT : SS_LEFT) | SS_NOPREFIX |
                    SS_NOTIFY;
    params.text = Widen(label.Caption());
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
