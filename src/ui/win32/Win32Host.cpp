#include "ui/win32/Win32Host.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <exception>

#include "platform/win32/UserShell.h"
#include "platform/win32/Wide.h"
#include "ui/Controls.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/StyleDrawing.h"

namespace ui::win32 {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

// Posted to the hidden message window when workers have hand-overs waiting.
constexpr UINT kRunHandovers = WM_APP + 1;

// Keys that a menu item's shortcut text names and that act while its menu is open.
UINT ShortcutKey(const std::string& text) {
  if (text.size() >= 2 && text[0] == 'F') {
    int n = std::atoi(text.c_str() + 1);
    if (n >= 1 && n <= 12) return VK_F1 + n - 1;
  }
  if (text == "Delete") return VK_DELETE;
  return 0;
}

struct MenuBuild {
  std::vector<MenuItem*> by_id{nullptr};
};

HMENU BuildMenu(const std::vector<MenuItem*>& items, MenuBuild& build) {
  HMENU menu = CreatePopupMenu();
  for (MenuItem* item : items) {
    if (!item->Visible()) continue;
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    if (item->IsSeparator()) {
      info.fMask = MIIM_FTYPE;
      info.fType = MFT_SEPARATOR;
      InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
      continue;
    }
    std::wstring text = Widen(item->Caption());
    // A caption with tabs (a language item: base name, two tabs, display name) shows
    // what follows the tabs in the menu's right-hand column.
    if (const size_t tab = text.find(L'\t'); tab != std::wstring::npos)
      text = text.substr(0, tab) + L"\t" + text.substr(text.find_first_not_of(L'\t', tab) == std::wstring::npos
                                                         ? text.size()
                                                         : text.find_first_not_of(L'\t', tab));
    if (!item->ShortCut().empty()) text += L"\t" + Widen(item->ShortCut());
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_STATE | MIIM_ID;
    info.fType = MFT_STRING | (item->RadioItem() ? MFT_RADIOCHECK : 0);
    info.fState = (item->Checked() ? MFS_CHECKED : 0) | (item->Enabled() ? 0 : MFS_DISABLED);
    info.dwTypeData = text.data();
    info.wID = static_cast<UINT>(build.by_id.size());
    build.by_id.push_back(item);
    std::vector<MenuItem*> children = item->Items();
    if (!children.empty()) {
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = BuildMenu(children, build);
    }
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
  }
  return menu;
}

// The open menu's shortcut keys: a keystroke closes the menu and runs the item.
struct OpenMenu {
  const MenuBuild* build = nullptr;
  MenuItem* chosen = nullptr;
  HHOOK hook = nullptr;
};
thread_local OpenMenu* g_open_menu = nullptr;

LRESULT CALLBACK MenuKeyFilter(int code, WPARAM wparam, LPARAM lparam) {
  if (code == MSGF_MENU && g_open_menu) {
    auto* msg = reinterpret_cast<MSG*>(lparam);
    if (msg->message == WM_KEYDOWN) {
      for (MenuItem* item : g_open_menu->build->by_id) {
        if (item && item->Enabled() && ShortcutKey(item->ShortCut()) == msg->wParam) {
          g_open_menu->chosen = item;
          ::EndMenu();
          return TRUE;
        }
      }
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

Win32Host::Win32Host() : ui_thread_(GetCurrentThreadId()) {
  com_initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                            ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof(cls);
  cls.lpfnWndProc = SyncWindowProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"VelmoraSync";
  RegisterClassExW(&cls);
  sync_window_ = CreateWindowExW(0, L"VelmoraSync", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  if (sync_window_) SetWindowLongPtrW(sync_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Host::~Win32Host() {
  peers_.clear();
  if (sync_window_) DestroyWindow(sync_window_);
  if (com_initialised_) CoUninitialize();
}

void Win32Host::FormCreated(Form& form) {
  // The main window is made at once; the others (about, update) when first shown.
  const bool main = !app_ || !app_->MainForm() || app_->MainForm() == &form;
  peers_[&form] = std::make_unique<FormPeer>(*this, form, main);
}

void Win32Host::FormDestroyed(Form& form) { peers_.erase(&form); }

FormPeer* Win32Host::PeerOf(const Form& form) const {
  auto it = peers_.find(&form);
  return it == peers_.end() ? nullptr : it->second.get();
}

HWND Win32Host::WindowOf(const Component& component) const {
  const Form* form = component.GetKind() == Kind::Form ? static_cast<const Form*>(&component)
                                                       : component.Owner();
  FormPeer* peer = form ? PeerOf(*form) : nullptr;
  return peer ? peer->WindowOf(component) : nullptr;
}

void Win32Host::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    if (app_) app_->ShowException(e.what());
  } catch (...) {
    if (app_) app_->ShowException("Unknown error");
  }
}

namespace {

// The access key of a caption: the character after a single "&", upper-cased; 0: none.
wchar_t AccessKey(const std::string& caption) {
  std::wstring text = Widen(caption);
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'&') continue;
    if (text[i + 1] == L'&') {
      ++i;
      continue;
    }
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(text[i + 1]))));
  }
  return 0;
}

bool Usable(HWND hwnd) { return hwnd && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd); }

// The combo box that holds `focus` has its list open: Enter and Esc are the list's.
bool ListOpen(HWND focus) {
  for (HWND h = focus; h; h = GetParent(h)) {
    wchar_t cls[32] = {};
    GetClassNameW(h, cls, 32);
    if (lstrcmpiW(cls, WC_COMBOBOXW) == 0) return SendMessageW(h, CB_GETDROPPEDSTATE, 0, 0) != 0;
    if (!(GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return false;
}

}  // namespace

FormPeer* Win32Host::PeerOfWindow(HWND root) const {
  if (!root) return nullptr;
  for (const auto& [form, peer] : peers_)
    if (peer->Window() == root) return peer.get();
  return nullptr;
}

bool Win32Host::OpenWindowMenu(Form& form) {
  if (!form.OnMenuKey) return false;
  Guard([&form] { form.OnMenuKey(); });
  return true;
}

bool Win32Host::HandleKey(const MSG& msg) {
  const UINT m = msg.message;
  if (m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_NCLBUTTONDOWN ||
      m == WM_SYSCHAR || ((m == WM_KEYDOWN || m == WM_SYSKEYDOWN) && msg.wParam != VK_MENU))
    alt_alone_ = false;
  if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN && m != WM_SYSKEYUP && m != WM_SYSCHAR) return false;
  FormPeer* peer = PeerOfWindow(msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr);
  if (!peer || !IsWindowEnabled(peer->Window())) return false;
  Form& form = peer->GetForm();
  const bool main = app_ && app_->MainForm() == &form;
  const bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0;
  HWND focus = GetFocus();
  auto click = [this](Component* c) {
    HWND h = c ? WindowOf(*c) : nullptr;
    if (!Usable(h)) return false;
    // Through the window, so that the peer's own checks and the control's look apply.
    wchar_t cls[32] = {};
    GetClassNameW(h, cls, 32);
    if (lstrcmpiW(cls, WC_BUTTONW) == 0)
      SendMessageW(h, BM_CLICK, 0, 0);
    else
      Guard([c] { c->Click(); });
    return true;
  };

  // Alt pressed and released with nothing between, or F10: the window's menu.
  if (m == WM_SYSKEYDOWN && msg.wParam == VK_MENU) {
    if (!(msg.lParam & (1 << 30))) alt_alone_ = true;
    return false;
  }
  if (m == WM_SYSKEYUP && msg.wParam == VK_MENU) {
    const bool alone = alt_alone_;
    alt_alone_ = false;
    return alone && OpenWindowMenu(form);
  }
  if (m == WM_SYSKEYDOWN && msg.wParam == VK_F10 && !shift) return OpenWindowMenu(form);

  // Alt and a caption's access key: a button or check box is clicked, a label moves
  // the focus to the control it names.
  if (m == WM_SYSCHAR) {
    const wchar_t key = static_cast<wchar_t>(
        reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(msg.wParam)))));
    for (Component* c : form.Components()) {
      HWND h = WindowOf(*c);
      if (!h || !IsWindowVisible(h) || AccessKey(c->Caption()) != key) continue;
      if (c->GetKind() == Kind::Label) {
        Component* target = static_cast<Label*>(c)->FocusControl();
        HWND th = target ? WindowOf(*target) : nullptr;
        if (!Usable(th)) continue;
        SetFocus(th);
        SendMessageW(th, EM_SETSEL, 0, -1);
        return true;
      }
      if (c->GetKind() != Kind::Button && c->GetKind() != Kind::CheckBox && c->GetKind() != Kind::SpeedButton)
        continue;
      if (!Usable(h)) continue;
      SetFocus(h);
      return click(c);
    }
    // No caption has the key, and the window has no menu bar to look in: the system
    // would only beep and run its menu mode for nothing. Alt+Space (the window menu)
    // goes on as usual.
    if (msg.wParam == L' ') return false;
    MessageBeep(MB_OK);
    return true;
  }
  if (m != WM_KEYDOWN) return false;

  switch (msg.wParam) {
    case VK_TAB: {
      if (control) return false;
      std::vector<HWND> order = peer->TabOrder();
      if (order.empty()) return true;
      const int n = static_cast<int>(order.size());
      int at = FormPeer::TabIndexOf(order, focus);
      int next = at < 0 ? (shift ? n - 1 : 0) : (at + (shift ? n - 1 : 1)) % n;
      HWND target = order[static_cast<size_t>(next)];
      SetFocus(target);
      // As in dialogs: an edit reached with Tab has its text selected.
      if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(target, EM_SETSEL, 0, -1);
      return true;
    }
    case VK_ESCAPE:
      if (main || ListOpen(focus)) return false;
      CloseForm(form);
      return true;
    case VK_RETURN: {
      if (ListOpen(focus) || control) return false;
      MSG copy = msg;
      if (focus && (SendMessageW(focus, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&copy)) &
                    (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)))
        return false;
      // The focused button is the one Enter presses; otherwise the window's default.
      if (Component* c = peer->ComponentOf(focus)) {
        if (c->GetKind() == Kind::Button || c->GetKind() == Kind::SpeedButton) return click(c);
        if (c->GetKind() == Kind::Label && c->OnClick) return click(c);
      }
      return click(form.DefaultButton());
    }
    case VK_SPACE:
      // A link (a label that acts on a click) reached with Tab.
      if (Component* c = peer->ComponentOf(focus); c && c->GetKind() == Kind::Label && c->OnClick) return click(c);
      return false;
    default:
      break;
  }
  // A window shortcut (F1: about) works wherever the focus is.
  if (shift || control) return false;
  for (MenuItem* item : form.WindowShortCuts())
    if (item->Enabled() && ShortcutKey(item->ShortCut()) == msg.wParam) {
      Guard([item] { item->Click(); });
      return true;
    }
  return false;
}

void Win32Host::Dispatch(MSG& msg) {
  if (HandleKey(msg)) return;
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void Win32Host::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

LRESULT CALLBACK Win32Host::SyncWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == kRunHandovers) {
    auto* host = reinterpret_cast<Win32Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (host && host->app_) host->app_->RunHandovers();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

void Win32Host::WakeUiThread() {
  if (sync_window_) PostMessageW(sync_window_, kRunHandovers, 0, 0);
}

int Win32Host::ShowMessageBox(Form* owner, const std::string& text, const std::string& title,
                          unsigned flags) {
  HWND owner_hwnd = owner ? WindowOf(*owner) : nullptr;
  return MessageBoxW(owner_hwnd, Widen(text).c_str(), Widen(title).c_str(), flags | MB_SETFOREGROUND);
}

namespace {

// The captions that the next message box of this thread gets on its buttons.
struct BoxCaptions {
  const std::vector<std::string>* captions = nullptr;
  HHOOK hook = nullptr;
};
thread_local BoxCaptions g_box_captions;

LRESULT CALLBACK CaptionBoxButtons(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE && g_box_captions.captions) {
    HWND box = reinterpret_cast<HWND>(wparam);
    static constexpr int kButtonOrder[] = {IDYES, IDNO, IDOK, IDCANCEL};
    size_t next = 0;
    for (int id : kButtonOrder) {
      HWND button = GetDlgItem(box, id);
      if (!button || next >= g_box_captions.captions->size()) continue;
      SetWindowTextW(button, Widen((*g_box_captions.captions)[next++]).c_str());
    }
    g_box_captions.captions = nullptr;
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

int Win32Host::ShowCaptionedBox(Form* owner, const std::string& text, const std::string& title, unsigned flags,
                                const std::vector<std::string>& button_captions) {
  BoxCaptions outer = g_box_captions;
  g_box_captions.captions = &button_captions;
  g_box_captions.hook = SetWindowsHookExW(WH_CBT, CaptionBoxButtons, nullptr, GetCurrentThreadId());
  int answer = ShowMessageBox(owner, text, title, flags);
  if (g_box_captions.hook) UnhookWindowsHookEx(g_box_captions.hook);
  g_box_captions = outer;
  return answer;
}

namespace {

struct InputBoxState {
  HWND edit = nullptr;
  bool done = false;
  bool accepted = false;
  std::wstring value;
};

LRESULT CALLBACK InputBoxProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_COMMAND:
      if (state && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        state->accepted = LOWORD(wparam) == IDOK;
        int length = GetWindowTextLengthW(state->edit);
        state->value.assign(length + 1, L'\0');
        GetWindowTextW(state->edit, state->value.data(), length + 1);
        state->value.resize(length);
        state->done = true;
        return 0;
      }
      break;
    case WM_CLOSE:
      if (state) state->done = true;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace

// The captions go through a member, so that a host that stands in for the box by
// overriding InputQuery is still the one asked.
bool Win32Host::InputQueryCaptioned(const std::string& title, const std::string& prompt, std::string& value,
                                    const std::vector<std::string>& button_captions) {
  input_captions_ = button_captions;
  const bool accepted = InputQuery(title, prompt, value);
  input_captions_.clear();
  return accepted;
}

bool Win32Host::HighContrast() const { return styling::SystemHighContrast(); }

bool Win32Host::InputQuery(const std::string& title, const std::string& prompt, std::string& value) {
  const std::vector<std::string> button_captions = std::move(input_captions_);
  input_captions_.clear();
  static bool registered = false;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!registered) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    cls.lpfnWndProc = InputBoxProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = L"VelmoraInputBox";
    registered = RegisterClassExW(&cls) != 0;
  }
  HWND owner = app_ && app_->MainForm() ? WindowOf(*app_->MainForm()) : nullptr;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  RECT r{0, 0, 340, 110};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
  int width = r.right - r.left, height = r.bottom - r.top;
  HWND box = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, L"VelmoraInputBox",
                             Widen(title).c_str(), style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                             (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, owner, nullptr,
                             instance, nullptr);
  if (!box) return false;
  InputBoxState state;
  SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                           L"Tahoma");
  HWND label = CreateWindowExW(0, WC_STATICW, Widen(prompt).c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
                               10, 10, 320, 16, box, nullptr, instance, nullptr);
  state.edit = CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, Widen(value).c_str(),
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 10, 30, 320, 22, box,
                               nullptr, instance, nullptr);
  // The buttons read what the caller's language gives; without it, the system's words.
  const std::wstring ok_text = button_captions.size() > 0 ? Widen(button_captions[0]) : L"OK";
  const std::wstring cancel_text = button_captions.size() > 1 ? Widen(button_captions[1]) : L"Cancel";
  HWND ok = CreateWindowExW(0, WC_BUTTONW, ok_text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                            170, 72, 75, 25, box, reinterpret_cast<HMENU>(IDOK), instance, nullptr);
  HWND cancel = CreateWindowExW(0, WC_BUTTONW, cancel_text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, 255, 72,
                                75, 25, box, reinterpret_cast<HMENU>(IDCANCEL), instance, nullptr);
  for (HWND h : {label, state.edit, ok, cancel}) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(box, SW_SHOW);
  SetFocus(state.edit);
  SendMessageW(state.edit, EM_SETSEL, 0, -1);
  MSG msg;
  while (!state.done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(box, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (owner) EnableWindow(owner, TRUE);
  DestroyWindow(box);
  DeleteObject(font);
  if (owner) SetForegroundWindow(owner);
  if (!state.accepted) return false;
  value = Narrow(state.value);
  return true;
}

void Win32Host::ShowModal(Form& form) {
  FormPeer* peer = PeerOf(form);
  if (!peer) return;
  std::vector<HWND> disabled;
  for (auto& [other, other_peer] : peers_)
    if (other != &form && IsWindowEnabled(other_peer->Window()) && IsWindowVisible(other_peer->Window())) {
      EnableWindow(other_peer->Window(), FALSE);
      disabled.push_back(other_peer->Window());
    }
  peer->SetModal(true);
  peer->ResetClosed();
  Guard([&form] { form.FormShow(); });
  peer->Show();
  MSG msg;
  while (!peer->Closed() && form.Visible()) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    Dispatch(msg);
  }
  for (HWND h : disabled) EnableWindow(h, TRUE);
  peer->Hide();
  peer->SetModal(false);
  if (!disabled.empty()) SetForegroundWindow(disabled.front());
}

void Win32Host::CloseForm(Form& form) {
  FormPeer* peer = PeerOf(form);
  if (peer && peer->Window())
    SendMessageW(peer->Window(), WM_CLOSE, 0, 0);
  else
    UiHost::CloseForm(form);  // no window yet: the handler runs and the form stays hidden
}

void Win32Host::Popup(PopupMenu& menu, Point screen) {
  HWND owner = app_ && app_->MainForm() ? WindowOf(*app_->MainForm()) : nullptr;
  MenuBuild build;
  HMENU hmenu = BuildMenu(menu.Items(), build);
  styling::PrepareMenu(hmenu);
  OpenMenu open{&build, nullptr, nullptr};
  OpenMenu* outer = g_open_menu;
  g_open_menu = &open;
  open.hook = SetWindowsHookExW(WH_MSGFILTER, MenuKeyFilter, nullptr, GetCurrentThreadId());
  UINT flags = TPM_RETURNCMD | TPM_LEFTBUTTON | TPM_TOPALIGN |
               (menu.RightAligned() ? TPM_RIGHTALIGN : TPM_LEFTALIGN);
  if (owner) SetForegroundWindow(owner);
  UINT id = TrackPopupMenuEx(hmenu, flags, screen.x, screen.y, owner, nullptr);
  if (open.hook) UnhookWindowsHookEx(open.hook);
  g_open_menu = outer;
  DestroyMenu(hmenu);
  MenuItem* chosen = open.chosen;
  if (!chosen && id > 0 && id < build.by_id.size()) chosen = build.by_id[id];
  if (chosen) Guard([chosen] { chosen->Click(); });
}

void Win32Host::EndMenu() { ::EndMenu(); }

Point Win32Host::ClientToScreen(const Component& component, Point client) {
  HWND hwnd = WindowOf(component);
  POINT p{client.x, client.y};
  if (hwnd) MapWindowPoints(hwnd, HWND_DESKTOP, &p, 1);
  return {p.x, p.y};
}

void Win32Host::Run(Form& main) {
  FormPeer* peer = PeerOf(main);
  if (!peer || !peer->Window()) return;
  peer->Show();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  peer->Hide();
}

void Win32Host::AfterFirstPaint(Form& form, std::function<void()> fn) {
  FormPeer* peer = PeerOf(form);
  if (peer && peer->Window())
    peer->AfterFirstPaint(std::move(fn));
  else
    fn();
}

void Win32Host::StyleChanged(const StylePalette* palette) { styling::SetActive(palette); }

void Win32Host::ShellOpen(Form* owner, const std::string& target) {
  HWND owner_hwnd = owner ? WindowOf(*owner) : nullptr;
  // The browser or mail program runs as the user, not with this program's rights.
  platform::win32::OpenAsUser(owner_hwnd, Widen(target));
}

}  // namespace ui::win32
