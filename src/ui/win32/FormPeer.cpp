#include "ui/win32/FormPeer.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "platform/win32/Wide.h"
#include "ui/win32/Accessible.h"
#include "ui/win32/Palette.h"
#include "ui/win32/StyleDrawing.h"
#include "ui/win32/Win32Host.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

constexpr wchar_t kFormClass[] = L"VelmoraForm";
// Posted to a form when the changes its peers hold back may be shown.
constexpr UINT kEndHeldChanges = WM_APP + 2;

int g_start_dpi = 0;

int ScreenDpi() {
  if (g_start_dpi > 0) return g_start_dpi;
  HDC dc = GetDC(nullptr);
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

void FormPeer::SetStartDpi(int dpi) { g_start_dpi = dpi; }

void FormPeer::RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  HINSTANCE instance = GetModuleHandleW(nullptr);

  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.style = CS_DBLCLKS;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = palette::FaceBrush();
  form.lpszClassName = kFormClass;
  form.hIcon = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  form.hIconSm = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
  RegisterClassExW(&form);

  WNDCLASSEXW container{};
  container.cbSize = sizeof(container);
  container.lpfnWndProc = ContainerProc;
  container.hInstance = instance;
  container.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  container.hbrBackground = palette::FaceBrush();
  container.lpszClassName = kContainerClass;
  RegisterClassExW(&container);
}

FormPeer::FormPeer(Win32Host& host, Form& form, bool make_windows) : host_(host), form_(form) {
  RegisterClasses();
  dpi_ = ScreenDpi();
  // Components whose windows come later (on pages not shown yet, or all of them) are
  // observed from now on too: until their window exists a change has nothing to update.
  form.SetObserver(this);
  for (Component* c : form.Components()) c->SetObserver(this);
  if (make_windows) MakeWindows();
}

void FormPeer::MakeWindows() {
  if (windows_made_) return;
  windows_made_ = true;
  Form& form = form_;
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (form.MinimizeBox()) style |= WS_MINIMIZEBOX;
  if (form.MaximizeBox()) style |= WS_MAXIMIZEBOX;
  if (form.Resizable()) style |= WS_THICKFRAME;
  DWORD ex_style = WS_EX_CONTROLPARENT;
  // A window with a taskbar button of its own belongs to the desktop window.
  HWND owner = nullptr;
  if (form.OwnTaskbarButton()) {
    ex_style |= WS_EX_APPWINDOW;
    owner = GetDesktopWindow();
  }
  RECT r{0, 0, Scale(form.ClientWidth()), Scale(form.ClientHeight())};
  AdjustWindowRectEx(&r, style, FALSE, ex_style);
  hwnd_ = CreateWindowExW(ex_style, kFormClass, Widen(form.Caption()).c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, owner, nullptr,
                          GetModuleHandleW(nullptr), this);
  if (!hwnd_) return;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(form.GetFont())), FALSE);
  // The focus and the access keys always show, not only once the keyboard is used.
  SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  Name(hwnd_, form);
  SetPropW(hwnd_, styling::kDpiProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(dpi_)));
  styling::Attach(hwnd_, form);
  CreateChildren(form, hwnd_);
  pages_open_ = true;
}

FormPeer::~FormPeer() {
  for (Component* c : form_.Components()) c->SetObserver(nullptr);
  form_.SetObserver(nullptr);
  Destroy();
  // The windows are gone; now their peers and what they drew with.
  by_window_.clear();
  peers_.clear();
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (ATOM atom : atoms_) GlobalDeleteAtom(atom);
}

void FormPeer::Destroy() {
  if (hwnd_ && IsWindow(hwnd_)) {
    HWND h = hwnd_;
    hwnd_ = nullptr;
    DestroyWindow(h);
  }
}

void FormPeer::Name(HWND hwnd, const Component& component) {
  ATOM atom = GlobalAddAtomW(Widen(component.Name()).c_str());
  if (!atom) return;
  atoms_.push_back(atom);
  SetPropW(hwnd, kNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(atom)));
}

void FormPeer::AddWindow(HWND hwnd, ControlPeer& peer) {
  by_window_[hwnd] = &peer;
  Name(hwnd, peer.GetComponent());
  SetWindowLongPtrW(hwnd, GWLP_ID, next_id_++);
}

ControlPeer* FormPeer::PeerOf(const Component& component) const {
  auto it = peers_.find(&component);
  return it == peers_.end() ? nullptr : it->second.get();
}

HWND FormPeer::WindowOf(const Component& component) const {
  if (&component == &form_) return hwnd_;
  ControlPeer* peer = PeerOf(component);
  return peer ? peer->Window() : nullptr;
}

Component* FormPeer::ComponentOf(HWND hwnd) const {
  if (hwnd && hwnd == hwnd_) return &form_;
  auto it = by_window_.find(hwnd);
  return it == by_window_.end() ? nullptr : &it->second->GetComponent();
}

HFONT FormPeer::FontFor(const Font& font) {
  std::string key = font.name + "|" + std::to_string(font.height) + (font.bold ? "b" : "") +
                    (font.italic ? "i" : "") + (font.underline ? "u" : "");
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
  // The design asks for the OEM character set; with Unicode window texts that only
  // risks a raster substitute, so the default set is asked for instead.
  HFONT handle = CreateFontW(Scale(font.height), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic, font.underline,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, Widen(font.name).c_str());
  fonts_[key] = handle;
  return handle;
}

void FormPeer::ApplyFont(Component& component) {
  HWND hwnd = WindowOf(component);
  if (!hwnd) return;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(component.GetFont())), TRUE);
  InvalidateRect(hwnd, nullptr, TRUE);
  for (Component* child : component.Children())
    if (!child->HasOwnFont()) ApplyFont(*child);
}

void FormPeer::SyncEnabled(Component& component) {
  // A container's state reaches every window inside it.
  std::vector<Component*> stack{&component};
  while (!stack.empty()) {
    Component* next = stack.back();
    stack.pop_back();
    if (HWND h = WindowOf(*next)) EnableWindow(h, next->EffectivelyEnabled());
    for (Component* child : next->Children()) stack.push_back(child);
  }
}

void FormPeer::CreateChildren(Component& parent, HWND parent_hwnd) {
  for (Component* child : parent.Children()) {
    if (!child->IsVisual() || peers_.count(child)) continue;
    std::unique_ptr<ControlPeer> made = MakeControlPeer(*this, *child);
    if (!made) continue;
    ControlPeer& peer = *made;
    peers_[child] = std::move(made);
    if (!peer.Create(parent_hwnd)) {
      peers_.erase(child);
      continue;
    }
    if (!peer.CreatesChildrenWhenShown()) CreateChildren(*child, peer.Window());
    peer.ChildrenCreated();
  }
}

void FormPeer::CollectTabStops(const Component& parent, std::vector<HWND>& out) const {
  struct Placed {
    HWND hwnd;
    const Component* component;
    RECT r;
  };
  std::vector<Placed> shown;
  for (const Component* child : parent.Children()) {
    HWND h = WindowOf(*child);
    if (!h || !IsWindowVisible(h)) continue;
    RECT r;
    GetWindowRect(h, &r);
    shown.push_back({h, child, r});
  }
  // Rows: windows whose tops lie within a few pixels of the row's first one share it.
  std::stable_sort(shown.begin(), shown.end(), [](const Placed& a, const Placed& b) { return a.r.top < b.r.top; });
  const int tolerance = Scale(6);
  for (size_t row = 0; row < shown.size();) {
    size_t end = row + 1;
    while (end < shown.size() && shown[end].r.top - shown[row].r.top <= tolerance) ++end;
    std::stable_sort(shown.begin() + static_cast<ptrdiff_t>(row), shown.begin() + static_cast<ptrdiff_t>(end),
                     [](const Placed& a, const Placed& b) { return a.r.left < b.r.left; });
    row = end;
  }
  for (const Placed& p : shown) {
    if ((GetWindowLongW(p.hwnd, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(p.hwnd)) out.push_back(p.hwnd);
    CollectTabStops(*p.component, out);
  }
}

std::vector<HWND> FormPeer::TabOrder() const {
  std::vector<HWND> order;
  if (hwnd_) CollectTabStops(form_, order);
  return order;
}

int FormPeer::TabIndexOf(const std::vector<HWND>& tab_order, HWND focus) {
  for (size_t i = 0; i < tab_order.size(); ++i)
    if (focus && (tab_order[i] == focus || IsChild(tab_order[i], focus))) return static_cast<int>(i);
  return -1;
}

std::wstring FormPeer::AccessibleName(const Component& c) const {
  using accessible::NameFromCaption;
  for (Component* other : form_.Components())
    if (other->GetKind() == Kind::Label && static_cast<Label*>(other)->FocusControl() == &c &&
        !other->Caption().empty())
      return NameFromCaption(Widen(other->Caption()));
  const Rect& b = c.Bounds();
  const Component* best = nullptr;
  int best_gap = 0;
  if (c.Parent())
    for (const Component* other : c.Parent()->Children()) {
      if (other->GetKind() != Kind::Label || !other->Visible() || other->Caption().empty()) continue;
      const Rect& l = other->Bounds();
      const int centre = l.top + l.height / 2;
      int gap = -1;
      if (l.left + l.width <= b.left + 2 && centre >= b.top && centre <= b.top + b.height)
        gap = b.left - (l.left + l.width);  // beside it, on the left
      else if (l.top + l.height <= b.top + 2 && b.top - (l.top + l.height) <= 24 && l.left < b.left + b.width &&
               b.left < l.left + l.width)
        gap = 1000 + b.top - (l.top + l.height);  // above it: only when none is beside it
      if (gap >= 0 && (!best || gap < best_gap)) best = other, best_gap = gap;
    }
  if (best) return NameFromCaption(Widen(best->Caption()));
  if (!c.Hint().empty()) return Widen(c.Hint());
  for (const Component* p = c.Parent(); p; p = p->Parent())
    if ((p->GetKind() == Kind::GroupBox || p->GetKind() == Kind::TabSheet) && !p->Caption().empty())
      return NameFromCaption(Widen(p->Caption()));
  // The one table of a window (the benchmark's): the window's title.
  return c.GetKind() == Kind::ListView ? NameFromCaption(Widen(form_.Caption())) : std::wstring();
}

void FormPeer::DpiChanged(int dpi, const RECT& suggested) {
  if (!hwnd_ || dpi <= 0) return;
  dpi_ = dpi;
  SetPropW(hwnd_, styling::kDpiProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(dpi_)));
  // The fonts of the old DPI go once every window has its new one.
  std::map<std::string, HFONT> old_fonts = std::move(fonts_);
  fonts_.clear();
  // The window takes the suggested rectangle as it is: the minimum size, scaled
  // from a frame of another DPI, would otherwise make it taller than a start there.
  taking_suggested_ = true;
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  taking_suggested_ = false;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(form_.GetFont())), FALSE);
  // Parents before their children: the components in creation order.
  for (Component* c : form_.Components())
    if (ControlPeer* peer = PeerOf(*c); peer && peer->Window()) peer->DpiChanged();
  for (auto& [key, font] : old_fonts) DeleteObject(font);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void FormPeer::SyncHint(Component& c, HWND hwnd) {
  if (c.Hint().empty() && !tooltip_) return;
  if (!tooltip_) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!tooltip_) return;
  }
  std::wstring text = Widen(c.Hint());
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(hwnd);
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
  bool known = SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
  tool.lpszText = text.data();
  if (known)
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  else if (!text.empty())
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void FormPeer::HoldUntilIdle(ControlPeer& peer) {
  if (std::find(held_.begin(), held_.end(), &peer) == held_.end()) held_.push_back(&peer);
  if (!held_posted_ && hwnd_) held_posted_ = PostMessageW(hwnd_, kEndHeldChanges, 0, 0) != 0;
}

void FormPeer::EndHeldChanges() {
  held_posted_ = false;
  std::vector<ControlPeer*> held = std::move(held_);
  held_.clear();
  for (ControlPeer* peer : held) peer->EndHeldChanges();
}

void FormPeer::ComponentChanged(Component& c, Change change) {
  if (&c == &form_) {
    SyncForm(change);
    return;
  }
  ControlPeer* peer = PeerOf(c);
  if (peer && peer->Window()) peer->Sync(change);
}

void FormPeer::SyncForm(Change change) {
  if (!hwnd_) return;
  switch (change) {
    case Change::Text:
      SetWindowTextW(hwnd_, Widen(form_.Caption()).c_str());
      SyncHint(form_, hwnd_);
      break;
    case Change::Enabled:
      SyncEnabled(form_);
      break;
    case Change::Font:
      ApplyFont(form_);
      break;
    case Change::Bounds: {
      RECT r{0, 0, Scale(form_.ClientWidth()), Scale(form_.ClientHeight())};
      AdjustWindowRectEx(&r, GetWindowLongW(hwnd_, GWL_STYLE), FALSE, GetWindowLongW(hwnd_, GWL_EXSTYLE));
      SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case Change::Progress:
      ShowTaskbarProgress(hwnd_, form_.GetTaskbarProgress());
      break;
    default:
      break;  // the host shows and hides forms
  }
}

void FormPeer::Show() {
  MakeWindows();
  if (!hwnd_) return;
  if (!shown_once_ && form_.GetPosition() == Position::DesktopCenter) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  shown_once_ = true;
  // Pages that were active from the start get their windows before they show.
  for (Component* c : form_.Components())
    if (ControlPeer* peer = PeerOf(*c)) peer->FormShowing();
  form_.SetVisible(true);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
  if (!painted_once_) {
    painted_once_ = true;
    if (!after_first_paint_.empty()) {
      // The children's first pictures too, before the work that waits for them.
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      for (std::function<void()>& fn : after_first_paint_) form_.App().GetWorkers().Link().Post(std::move(fn));
      after_first_paint_.clear();
    }
  }
}

void FormPeer::AfterFirstPaint(std::function<void()> fn) {
  if (painted_once_)
    fn();
  else
    after_first_paint_.push_back(std::move(fn));
}

void FormPeer::Hide() {
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
  form_.SetVisible(false);
}

LRESULT FormPeer::HandleContainerMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, bool* handled) {
  *handled = true;
  switch (msg) {
    case WM_COMMAND:
      if (lparam)
        if (auto it = by_window_.find(reinterpret_cast<HWND>(lparam)); it != by_window_.end())
          it->second->OnCommand(HIWORD(wparam));
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (auto it = by_window_.find(header->hwndFrom); it != by_window_.end()) return it->second->OnNotify(*header);
      return 0;
    }
    case WM_CONTEXTMENU:
      if (auto it = by_window_.find(reinterpret_cast<HWND>(wparam));
          it != by_window_.end() && it->second->OnContextMenu(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}))
        return 0;
      break;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
      if (auto it = by_window_.find(item->hwndItem); it != by_window_.end()) it->second->OnDrawItem(*item);
      return TRUE;
    }
    case WM_GETFONT:
      // Forms and containers are our own classes: answer with the component's font.
      if (Component* c = ComponentOf(hwnd); c && c->GetKind() != Kind::GroupBox)
        return reinterpret_cast<LRESULT>(FontFor(c->GetFont()));
      break;
    case WM_SETCURSOR: {
      Component* c = ComponentOf(reinterpret_cast<HWND>(wparam));
      if (c && c->GetCursor() == Cursor::HandPoint && LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  *handled = false;
  return 0;
}

LRESULT CALLBACK FormPeer::FormProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* peer = reinterpret_cast<FormPeer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!peer) return DefWindowProcW(hwnd, msg, wparam, lparam);
  bool handled = false;
  LRESULT result = peer->HandleContainerMessage(hwnd, msg, wparam, lparam, &handled);
  if (handled) return result;
  switch (msg) {
    case kEndHeldChanges:
      peer->EndHeldChanges();
      return 0;
    case WM_CLOSE:
      peer->closed_ = true;
      // Only the main window's close ends the program; any other window (a close sent
      // to one that is not shown, say) closes on its own.
      if (peer->modal_ || peer->form_.App().MainForm() != &peer->form_) {
        peer->host_.Guard([peer] { peer->form_.FormClose(); });
        peer->Hide();
      } else {
        // A failing close handler is reported, and the window still closes: the
        // user must always be able to leave. Work that lets messages run stops.
        peer->form_.App().Terminate();
        peer->host_.Guard([peer] { peer->form_.FormClose(); });
        PostQuitMessage(0);
      }
      return 0;
    case WM_QUERYENDSESSION:
      // Nothing here holds up a log-off or shut-down; the settings are kept when the
      // session really ends.
      return TRUE;
    case WM_ENDSESSION:
      // Every top-level window hears of it; the application acts once. The process
      // may end as soon as this returns, so nothing is shown and nothing waits.
      if (wparam) peer->form_.App().EndSession();
      return 0;
    case WM_MOUSEMOVE:
      peer->host_.Guard([peer] { peer->form_.MouseMove(); });
      return 0;
    case WM_SETTINGCHANGE:
      styling::HighContrastChanged();
      peer->host_.Guard([peer] { peer->form_.SettingChange(); });
      break;
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      // High contrast switched on or off arrives this way too.
      if (styling::HighContrastChanged())
        for (Form* form : peer->form_.App().Forms()) peer->host_.Guard([form] { form->SettingChange(); });
      break;
    case WM_DPICHANGED:
      peer->DpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_GETMINMAXINFO: {
      if (peer->taking_suggested_) break;
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      if (peer->form_.MinWidth()) info->ptMinTrackSize.x = peer->Scale(peer->form_.MinWidth());
      if (peer->form_.MinHeight()) info->ptMinTrackSize.y = peer->Scale(peer->form_.MinHeight());
      return 0;
    }
    case WM_NCDESTROY:
      RemovePropW(hwnd, styling::kDpiProperty);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK FormPeer::ContainerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* peer = reinterpret_cast<FormPeer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (peer) {
    bool handled = false;
    LRESULT result = peer->HandleContainerMessage(hwnd, msg, wparam, lparam, &handled);
    if (handled) return result;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace ui::win32
