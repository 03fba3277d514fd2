// The program's windows with the keyboard alone: Tab and Shift+Tab visit every
// enabled control once in reading order, Alt and F10 open the general menu, F1 opens
// the about window from a page and Esc closes it, a caption's "&" is an access key,
// Enter presses the default button, and the focus shows in both styles.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dnsbench/DnsBenchForm.h"
#include "platform/win32/Win32DnsTransport.h"
#include "platform/win32/Wide.h"
#include "ui/win32/FormPeer.h"
#include "win32/MainWindowFixture.h"

namespace {

using platform::win32::Narrow;
using win32_test::ControlName;
using win32_test::FindControl;
using win32_test::Pump;
using win32_test::Settle;

// The application under test: keys go through its message loop, where the host
// handles them, as in the running program.
ui::Application* g_app = nullptr;
void Keys() { g_app->ProcessMessages(); }

// A key as the keyboard sends it to the focused window (or the active one), with
// Shift held or not. The thread's key state says what the host's GetKeyState reads.
void Press(UINT vk, bool shift = false) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(keys);
  HWND target = GetFocus() ? GetFocus() : GetActiveWindow();
  PostMessageW(target, WM_KEYDOWN, vk, 1);
  PostMessageW(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001));
  Keys();
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
}

// Alt with a character: the access key of a caption (the character as the system's
// translation of the key makes it).
void AltChar(wchar_t ch) {
  HWND target = GetFocus() ? GetFocus() : GetActiveWindow();
  PostMessageW(target, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
  PostMessageW(target, WM_SYSCHAR, ch, 0x20000001);
  PostMessageW(target, WM_SYSKEYUP, VK_MENU, static_cast<LPARAM>(0xC0000001));
  Keys();
}

// Alt pressed and released with nothing between.
void AltAlone() {
  HWND target = GetFocus() ? GetFocus() : GetActiveWindow();
  PostMessageW(target, WM_SYSKEYDOWN, VK_MENU, 0x20000001);
  PostMessageW(target, WM_SYSKEYUP, VK_MENU, static_cast<LPARAM>(0xE0000001));
  Keys();
}

// The windows a user can reach with Tab, found without the host's help: shown,
// enabled and marked as tab stops.
std::vector<HWND> TabStops(HWND root) {
  std::vector<HWND> stops;
  EnumChildWindows(
      root,
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        if ((GetWindowLongW(hwnd, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
          reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&stops));
  return stops;
}

// The tab stop that holds the focus (a combo box's edit belongs to the combo box).
HWND FocusedStop(const std::vector<HWND>& stops) {
  HWND focus = GetFocus();
  for (HWND h : stops)
    if (focus && (h == focus || IsChild(h, focus))) return h;
  return focus;
}

std::string Describe(HWND hwnd) {
  std::wstring name = ControlName(hwnd);
  return name.empty() ? "unnamed window" : Narrow(name);
}

RECT ScreenRect(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  return r;
}

// Walks the window with Tab (and back with Shift+Tab) from a start with no control
// focused, and checks what a keyboard user meets: every tab stop exactly once, the
// first one again after the last, the same walk backwards, and reading order among
// controls that share a parent (a row above comes first; in a row, left first).
std::vector<HWND> CheckTabWalk(HWND root) {
  std::vector<HWND> stops = TabStops(root);
  EXPECT_FALSE(stops.empty());
  if (stops.empty()) return {};
  SetFocus(root);
  Pump();
  std::vector<HWND> visited;
  for (size_t i = 0; i < stops.size(); ++i) {
    Press(VK_TAB);
    visited.push_back(FocusedStop(stops));
  }
  std::vector<HWND> sorted_visits = visited, sorted_stops = stops;
  std::sort(sorted_visits.begin(), sorted_visits.end());
  std::sort(sorted_stops.begin(), sorted_stops.end());
  EXPECT_EQ(sorted_visits, sorted_stops) << "Tab visits every enabled control exactly once";
  Press(VK_TAB);
  EXPECT_EQ(FocusedStop(stops), visited.front()) << "after the last control Tab comes back to the first";

  for (size_t i = 0; i < visited.size(); ++i)
    for (size_t j = i + 1; j < visited.size(); ++j) {
      if (GetParent(visited[i]) != GetParent(visited[j])) continue;
      RECT a = ScreenRect(visited[i]), b = ScreenRect(visited[j]);
      const bool b_above = b.bottom <= a.top;
      const bool same_row_b_left = std::abs(a.top - b.top) <= 3 && b.right <= a.left;
      EXPECT_FALSE(b_above || same_row_b_left)
          << Describe(visited[j]) << " comes after " << Describe(visited[i]) << " but reads before it";
    }

  // Backwards: Shift+Tab from the first control goes to the last, and on in reverse.
  SetFocus(visited.front());
  Pump();
  for (size_t i = visited.size(); i-- > 0;) {
    Press(VK_TAB, true);
    EXPECT_EQ(FocusedStop(stops), visited[i]) << "Shift+Tab, step " << visited.size() - i;
  }
  return visited;
}

struct KeyboardWin32 : win32_test::MainWindowFixture {
  platform::win32::Win32DnsTransport transport;
  platform::win32::Win32Clipboard clipboard;
  std::unique_ptr<dnsbench::BenchPlatform> bench_platform;
  dnsbench::TFormDnsBench* bench = nullptr;

  void SetUp() override {
    win32_test::MainWindowFixture::SetUp();
    if (HasFatalFailure()) return;
    g_app = application.get();
    dnsbench::Options options;
    options.port = 47053;
    bench_platform = std::make_unique<dnsbench::BenchPlatform>(
        dnsbench::BenchPlatform{transport, real.clock, clipboard, options});
    bench = application->CreateForm<dnsbench::TFormDnsBench>(form->Adapter(), form->DnsTest(), *bench_platform);
    host->PeerOf(*form)->Show();
    Settle();
  }
};

TEST_F(KeyboardWin32, TabVisitsEveryControlOfEachPageOnceInReadingOrder) {
  HWND menu = FindControl(window, L"SpeedButton_GeneralMenu");
  ASSERT_NE(menu, nullptr);
  const struct {
    const char* page;
    ui::Button* button;
  } pages[] = {{"proxy", form->ButtonProxy},
               {"DNS test", form->ButtonDNS},
               {"network profiles", form->ButtonNetworkProfiles},
               {"useful commands", form->ButtonUsefulCommands}};
  for (const auto& page : pages) {
    SCOPED_TRACE(page.page);
    page.button->Click();
    Settle();
    std::vector<HWND> walk = CheckTabWalk(window);
    ASSERT_FALSE(walk.empty());
    // The general menu button is the first control of the window (top row), and every
    // navigation button comes before the page's own controls.
    EXPECT_EQ(walk.front(), menu);
    for (ui::Button* nav : {form->ButtonProxy, form->ButtonDNS, form->ButtonNetworkProfiles, form->ButtonUsefulCommands}) {
      HWND h = host->WindowOf(*nav);
      auto at = std::find(walk.begin(), walk.end(), h);
      ASSERT_NE(at, walk.end()) << nav->Name();
      EXPECT_LE(at - walk.begin(), 4) << nav->Name() << " follows the menu button";
    }
    // A page's own control is among the stops: the walk reaches into the page.
    EXPECT_GT(walk.size(), 5u);
  }
}

TEST_F(KeyboardWin32, TabVisitsEveryControlOfTheOtherWindowsOnceInReadingOrder) {
  for (ui::Form* other : std::vector<ui::Form*>{update, about, bench}) {
    SCOPED_TRACE(other->Name());
    ui::win32::FormPeer* peer = host->PeerOf(*other);
    peer->Show();
    Settle();
    CheckTabWalk(peer->Window());
    peer->Hide();
    Settle();
  }
}

// What the thread timer below saw while a menu or a modal window held the thread.
struct Watch {
  int menus = 0;
  int about_shown = 0;
  int about_ticks = 0;
  bool about_forced = false;
  HWND about = nullptr;
};
Watch g_watch;

// A menu open (its window class is the system's "#32768") is counted and closed. The
// about window shown is counted and sent Esc, as a user presses it; should Esc not
// close it, it is closed after a while so that the test ends (and fails).
void CALLBACK WatchTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND popup = FindWindowW(L"#32768", nullptr); popup && IsWindowVisible(popup)) {
    ++g_watch.menus;
    EndMenu();
  }
  if (!g_watch.about || !IsWindowVisible(g_watch.about) || !IsWindowEnabled(g_watch.about)) return;
  if (g_watch.about_ticks++ == 0) {
    ++g_watch.about_shown;
    HWND focus = GetFocus();
    PostMessageW(focus && GetAncestor(focus, GA_ROOT) == g_watch.about ? focus : g_watch.about, WM_KEYDOWN,
                 VK_ESCAPE, 1);
  } else if (g_watch.about_ticks > 25) {
    g_watch.about_forced = true;
    PostMessageW(g_watch.about, WM_CLOSE, 0, 0);
  }
}

TEST_F(KeyboardWin32, AltAndF10OpenTheGeneralMenuAndF1OpensTheAboutWindowFromAPage) {
  g_watch = Watch{};
  UINT_PTR timer = SetTimer(nullptr, 0, 40, WatchTimer);
  form->ButtonDNSClick();
  Settle();
  HWND list = FindControl(window, L"ListViewDNS");
  ASSERT_NE(list, nullptr);
  SetFocus(list);
  Pump();

  AltAlone();
  Settle();
  EXPECT_EQ(g_watch.menus, 1) << "Alt pressed and released alone opens the general menu";

  // Alt that makes part of a combination is not a menu key.
  AltChar(L'q');
  Settle();
  EXPECT_EQ(g_watch.menus, 1);

  SetFocus(list);
  PostMessageW(list, WM_SYSKEYDOWN, VK_F10, 1);
  PostMessageW(list, WM_SYSKEYUP, VK_F10, static_cast<LPARAM>(0xC0000001));
  Keys();
  Settle();
  EXPECT_EQ(g_watch.menus, 2) << "F10 opens the general menu";

  // F1 from a control of a page: the about window opens (modal), and Esc closes it.
  host->PeerOf(*about)->Show();
  host->PeerOf(*about)->Hide();
  g_watch.about = host->WindowOf(*about);
  ASSERT_NE(g_watch.about, nullptr);
  SetFocus(list);
  Press(VK_F1);
  Settle();
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_watch.about_shown, 1) << "F1 opens the about window";
  EXPECT_FALSE(g_watch.about_forced) << "Esc closes the about window";
  EXPECT_FALSE(IsWindowVisible(g_watch.about));
  EXPECT_TRUE(IsWindowEnabled(window));

  // Esc in the main window closes nothing.
  SetFocus(list);
  Press(VK_ESCAPE);
  EXPECT_TRUE(IsWindowVisible(window));
}

// A window of its own for the keys that no window of the program shows all at once:
// a label naming an edit, buttons and a check box with access keys, a default button.
struct KeysForm : ui::Form {
  ui::Label* label;
  ui::Edit* edit;
  ui::Button* go;
  ui::CheckBox* keep;
  ui::Button* ok;
  int go_clicks = 0, ok_clicks = 0, closes = 0;

  explicit KeysForm(ui::Application& app) : ui::Form(app, "KeysForm") {
    SetClientSize(300, 120);
    label = Create<ui::Label>(this, "LabelName");
    label->SetCaption("&Name:");
    label->SetBounds({8, 12, 60, 16});
    edit = Create<ui::Edit>(this, "EditName");
    edit->SetBounds({72, 8, 200, 22});
    label->SetFocusControl(edit);
    keep = Create<ui::CheckBox>(this, "CheckBoxKeep");
    keep->SetCaption("&Keep");
    keep->SetBounds({72, 40, 100, 19});
    go = Create<ui::Button>(this, "ButtonGo");
    go->SetCaption("&Go");
    go->SetBounds({120, 80, 80, 25});
    go->OnClick = [this] { ++go_clicks; };
    ok = Create<ui::Button>(this, "ButtonOk");
    ok->SetCaption("OK");
    ok->SetBounds({208, 80, 80, 25});
    ok->OnClick = [this] { ++ok_clicks; };
    SetDefaultButton(ok);
  }
  void FormClose() override { ++closes; }
};

TEST_F(KeyboardWin32, AccessKeysEnterAndEscInAWindow) {
  auto* keys = application->CreateForm<KeysForm>();
  ui::win32::FormPeer* peer = host->PeerOf(*keys);
  peer->Show();
  Settle();
  HWND edit = host->WindowOf(*keys->edit), go = host->WindowOf(*keys->go);
  ASSERT_NE(edit, nullptr);

  // Alt+N: the label's key moves the focus to the edit it names; the label shows the
  // key, not the "&".
  SetFocus(go);
  AltChar(L'n');
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_FALSE(GetWindowLongW(host->WindowOf(*keys->label), GWL_STYLE) & SS_NOPREFIX);

  // Enter in the edit presses the default button; on a focused button, that button.
  Press(VK_RETURN);
  EXPECT_EQ(keys->ok_clicks, 1);
  EXPECT_EQ(keys->go_clicks, 0);
  SetFocus(go);
  Press(VK_RETURN);
  EXPECT_EQ(keys->go_clicks, 1);
  EXPECT_EQ(keys->ok_clicks, 1);

  // Access keys of a button and a check box, also of a caption changed later on, as a
  // language file changes it; a key no caption has does nothing.
  const struct {
    const char* caption;  // a new caption for "go", or null
    wchar_t key;
    int go_clicks;
    bool keep_checked;
  } cases[] = {
      {nullptr, L'g', 2, false},
      {nullptr, L'k', 2, true},
      {nullptr, L'K', 2, false},
      {"&Run", L'r', 3, false},
      {"&Run", L'g', 3, false},
      {"Fish && &Chips", L'c', 4, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.caption ? c.caption : "-") + " " + static_cast<char>(c.key));
    if (c.caption) keys->go->SetCaption(c.caption);
    SetFocus(edit);
    AltChar(c.key);
    EXPECT_EQ(keys->go_clicks, c.go_clicks);
    EXPECT_EQ(keys->keep->Checked(), c.keep_checked);
  }

  // Esc closes the window.
  SetFocus(edit);
  Press(VK_ESCAPE);
  EXPECT_EQ(keys->closes, 1);
  EXPECT_FALSE(IsWindowVisible(peer->Window()));
}

// The pixels of a window as the screen shows them.
std::vector<uint32_t> Pixels(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  std::vector<uint32_t> out;
  if (width <= 0 || height <= 0) return out;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* raw = static_cast<const uint32_t*>(bits);
  out.assign(raw, raw + static_cast<size_t>(width) * height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

// Each kind of control the program draws itself looks different with the focus than
// without it, with no style and in both styles.
TEST_F(KeyboardWin32, TheFocusShowsOnTheControlsTheProgramDraws) {
  form->ButtonUsefulCommandsClick();
  Settle();
  HWND menu = FindControl(window, L"SpeedButton_GeneralMenu");
  HWND nav = host->WindowOf(*form->ButtonProxy);
  HWND check = nullptr;
  EnumChildWindows(
      window,
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        wchar_t cls[32] = {};
        GetClassNameW(hwnd, cls, 32);
        if (lstrcmpiW(cls, WC_BUTTONW) == 0 && (GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_CHECKBOX &&
            IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
          *reinterpret_cast<HWND*>(lparam) = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&check));
  ASSERT_NE(menu, nullptr);
  ASSERT_NE(check, nullptr) << "the useful commands page has check boxes";
  const struct {
    const char* style;
    void (app::TForm1::*choose)();
  } styles[] = {{"none", nullptr}, {"light", &app::TForm1::ThemeLightClick}, {"dark", &app::TForm1::ThemeDarkClick}};
  for (const auto& s : styles) {
    SCOPED_TRACE(s.style);
    if (s.choose) (form->*s.choose)();
    Settle();
    for (HWND control : {menu, nav, check}) {
      SCOPED_TRACE(Describe(control));
      SetFocus(window);
      Settle();
      std::vector<uint32_t> without = Pixels(control);
      SetFocus(control);
      Settle();
      std::vector<uint32_t> with = Pixels(control);
      EXPECT_NE(with, without) << "the focus shows";
      if (control == menu)
        win32_test::SaveScreenshot(window, L"focus-menu-button-" + platform::win32::Widen(s.style));
    }
  }
}

}  // namespace
