#include "ui/win32/ControlPeer.h"

#include "platform/win32/Wide.h"
#include "ui/win32/Accessible.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/StyleDrawing.h"
#include "ui/win32/Win32Host.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

using Maker = std::unique_ptr<ControlPeer> (*)(FormPeer&, Component&);

struct KindPeer {
  Kind kind;
  Maker make;
};

// Which peer serves which kind. Menus and image lists have no window.
constexpr KindPeer kPeers[] = {
    {Kind::Panel, MakePanelPeer},
    {Kind::GroupBox, MakeGroupBoxPeer},
    {Kind::Button, MakeButtonPeer},
    {Kind::SpeedButton, MakeSpeedButtonPeer},
    {Kind::CheckBox, MakeCheckBoxPeer},
    {Kind::Label, MakeLabelPeer},
    {Kind::Image, MakeImagePeer},
    {Kind::Edit, MakeEditPeer},
    {Kind::Memo, MakeMemoPeer},
    {Kind::ComboBox, MakeComboBoxPeer},
    {Kind::ListView, MakeListViewPeer},
    {Kind::StatusBar, MakeStatusBarPeer},
    {Kind::PageControl, MakePageControlPeer},
    {Kind::TabSheet, MakeTabSheetPeer},
    {Kind::ProgressBar, MakeProgressBarPeer},
    {Kind::ActivityIndicator, MakeActivityIndicatorPeer},
    {Kind::PaintBox, MakePaintBoxPeer},
};

}  // namespace

std::unique_ptr<ControlPeer> MakeControlPeer(FormPeer& form, Component& component) {
  for (const KindPeer& entry : kPeers)
    if (entry.kind == component.GetKind()) return entry.make(form, component);
  return nullptr;
}

bool ControlPeer::Create(HWND parent) {
  CreateParams params;
  Describe(params);
  DWORD style = params.style;
  if (ShownNow()) style |= WS_VISIBLE;
  if (!component_.EffectivelyEnabled()) style |= WS_DISABLED;
  Rect b = WindowBounds();
  hwnd_ = CreateWindowExW(params.ex_style, params.window_class, params.text.c_str(), style, b.left, b.top,
                          b.width, b.height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  form_.AddWindow(hwnd_, *this);
  // The focus and the access keys always show (see FormPeer::MakeWindows).
  SendMessageW(hwnd_, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  form_.SyncHint(component_, hwnd_);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.FontFor(component_.GetFont())), FALSE);
  Fill();
  styling::Attach(hwnd_, component_);
  AnswerScreenReaders();
  return true;
}

void ControlPeer::AnswerScreenReaders() {
  switch (component_.GetKind()) {
    case Kind::Edit:
    case Kind::Memo:
    case Kind::ComboBox:
    case Kind::ListView:
    case Kind::PaintBox:
      accessible::Answer(hwnd_, {[this] { return form_.AccessibleName(component_); }, nullptr, nullptr});
      break;
    case Kind::ProgressBar:
      accessible::Answer(hwnd_, {[this] { return form_.AccessibleName(component_); },
                                 [this] {
                                   auto& bar = static_cast<ProgressBar&>(component_);
                                   const int max = bar.Max() > 0 ? bar.Max() : 1;
                                   return std::to_wstring(bar.Position() * 100 / max) + L"%";
                                 },
                                 nullptr});
      break;
    case Kind::ActivityIndicator:
      accessible::Answer(hwnd_, {[this] { return form_.AccessibleName(component_); }, nullptr, [this] {
                                   return static_cast<ActivityIndicator&>(component_).Animate()
                                              ? static_cast<long>(STATE_SYSTEM_BUSY)
                                              : 0L;
                                 }});
      break;
    default:
      break;
  }
}

Rect ControlPeer::WindowBounds() const {
  const Rect& b = component_.Bounds();
  return {Scale(b.left), Scale(b.top), Scale(b.width), Scale(b.height)};
}

int ControlPeer::Scale(int value) const { return form_.Scale(value); }

void ControlPeer::Guard(const std::function<void()>& handler) const { form_.Host().Guard(handler); }

bool ControlPeer::UserCanReach() const {
  if (!component_.EffectivelyEnabled()) return false;
  // The control and its containers as the model has them; the window itself by what
  // the screen shows (IsWindowVisible looks at every parent window up to the top).
  for (const Component* c = &component_; c && c->Parent(); c = c->Parent())
    if (!c->Visible()) return false;
  return hwnd_ && IsWindowEnabled(hwnd_) && IsWindowVisible(hwnd_) &&
         IsWindowEnabled(GetAncestor(hwnd_, GA_ROOT));
}

void ControlPeer::UserClick() const {
  if (!UserCanReach()) return;
  Guard([c = &component_] { c->Click(); });
}

void ControlPeer::Sync(Change change) {
  switch (change) {
    case Change::Text:
      SyncText();
      form_.SyncHint(component_, hwnd_);
      break;
    case Change::Enabled:
      form_.SyncEnabled(component_);
      break;
    case Change::Visible:
      SyncVisible();
      break;
    case Change::Font:
      form_.ApplyFont(component_);
      break;
    case Change::Bounds:
      SyncBounds();
      break;
    default:
      break;
  }
}

void ControlPeer::DpiChanged() {
  SyncBounds();
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.FontFor(component_.GetFont())), FALSE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void ControlPeer::SyncText() {
  Echo echo(*this);
  SetWindowTextW(hwnd_, Widen(component_.Caption()).c_str());
}

void ControlPeer::SyncVisible() { ShowWindow(hwnd_, ShownNow() ? SW_SHOWNA : SW_HIDE); }

void ControlPeer::SyncBounds() {
  Rect b = WindowBounds();
  MoveWindow(hwnd_, b.left, b.top, b.width, b.height, TRUE);
}

}  // namespace ui::win32
