// Panels and group boxes: windows that hold other controls and pass their
// notifications on to the form peer.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/win32/ControlPeer.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Palette.h"

namespace ui::win32 {

using platform::win32::Widen;

void ContainerWindowPeer::Describe(CreateParams& params) {
  params.window_class = FormPeer::kContainerClass;
  params.style |= WS_CLIPCHILDREN;
  params.ex_style |= WS_EX_CONTROLPARENT;
}

void ContainerWindowPeer::Fill() { SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&form_)); }

namespace {

class GroupBoxPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_BUTTONW;
    params.style |= BS_GROUPBOX | WS_CLIPCHILDREN;
    params.ex_style |= WS_EX_CONTROLPARENT;
    params.text = Widen(component_.Caption());
  }
  void Fill() override { SetWindowSubclass(hwnd_, Subclass, 1, reinterpret_cast<DWORD_PTR>(this)); }

 private:
  static LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                   DWORD_PTR data) {
    auto* peer = reinterpret_cast<GroupBoxPeer*>(data);
    // A group box that holds controls paints its own background and theirs; the
    // button class leaves both undrawn.
    if (msg == WM_ERASEBKGND) {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wparam), &r, palette::FaceBrush());
      return TRUE;
    }
    if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
      SetBkColor(reinterpret_cast<HDC>(wparam), palette::Face());
      SetTextColor(reinterpret_cast<HDC>(wparam), palette::Text(true));
      return reinterpret_cast<LRESULT>(palette::FaceBrush());
    }
    if (msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_DRAWITEM || msg == WM_SETCURSOR) {
      bool handled = false;
      LRESULT result = peer->form_.HandleContainerMessage(hwnd, msg, wparam, lparam, &handled);
      if (handled) return result;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, Subclass, 1);
    return DefSubclassProc(hwnd, msg, wparam, lparam);
  }
};

}  // namespace

std::unique_ptr<ControlPeer> MakePanelPeer(FormPeer& form, Component& component) {
  return std::make_unique<ContainerWindowPeer>(form, component);
}

std::unique_ptr<ControlPeer> MakeGroupBoxPeer(FormPeer& form, Component& component) {
  return std::make_unique<GroupBoxPeer>(form, component);
}

}  // namespace ui::win32
