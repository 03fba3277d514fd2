// Status bars in simple mode, showing the model's simple text.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/win32/Wide.h"
#include "ui/win32/Accessible.h"
#include "ui/win32/ControlPeer.h"
#include "ui/win32/FormPeer.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

class StatusBarPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

  void EndHeldChanges() override { ShowText(); }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = STATUSCLASSNAMEW;
    params.style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
  }
  void Fill() override {
    SendMessageW(hwnd_, SB_SIMPLE, TRUE, 0);
    ShowText();
    // Screen readers hear the line's text, or its hint while it shows none (what a
    // finished run leaves there), and each new one as it comes.
    accessible::Answer(hwnd_, {[this] {
                                 const std::string& text = static_cast<StatusBar&>(component_).SimpleText();
                                 return Widen(text.empty() ? component_.Hint() : text);
                               },
                               nullptr, nullptr});
  }
  // A status bar repaints at once on every new text; a count that changes per row
  // of a long list reaches it when pending messages next run instead.
  void SyncText() override { form_.HoldUntilIdle(*this); }

 private:
  void ShowText() {
    std::wstring text = Widen(static_cast<StatusBar&>(component_).SimpleText());
    SendMessageW(hwnd_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
    std::wstring name = text.empty() ? Widen(component_.Hint()) : text;
    if (name != announced_) {
      announced_ = std::move(name);
      accessible::NameChanged(hwnd_);
    }
  }

  std::wstring announced_;
};

}  // namespace

std::unique_ptr<ControlPeer> MakeStatusBarPeer(FormPeer& form, Component& component) {
  return std::make_unique<StatusBarPeer>(form, component);
}

}  // namespace ui::win32
