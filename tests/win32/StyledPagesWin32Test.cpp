// The styled pages as a user meets them: a list keeps the style's background after a
// DNS test run, every status bar shows its text in both styles, and a click sent to a
// control that is disabled or hidden (as accessibility tools and automation send
// them) does nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "common/IniFile.h"
#include "theme/WindowsDarkMode.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/StyleDrawing.h"
#include "ui/win32/Win32Host.h"
#include "win32/MainWindowFixture.h"
#include "win32/ProxyValues.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

using win32_test::FindControl;

using win32_test::Capture;
using win32_test::Pixels;

double Luminance(uint32_t rgb) { return theme::RelativeLuminance(rgb); }

using win32_test::Settle;

struct StyledPagesWin32 : win32_test::MainWindowFixture {
  void Style(bool dark) {
    if (dark)
      form->ThemeDarkClick();
    else
      form->ThemeLightClick();
    Settle();
  }
};

// The list's empty area below its last row keeps the dark background after a run
// (the run disables the table and enables it again).
TEST_F(StyledPagesWin32, TheDnsListKeepsTheDarkBackgroundAfterATestRun) {
  win32_test::ProxyValues proxy(real.registry);
  proxy.Set(0, "");
  // In the dark style from the start: the page's windows are made in it.
  Style(true);
  host->PeerOf(*form)->Show();
  Settle();
  form->ButtonDNSClick();
  Settle();
  HWND list = FindControl(window, L"ListViewDNS");
  HWND button = FindControl(window, L"ButtonTestDNS");
  ASSERT_NE(list, nullptr);
  ASSERT_NE(button, nullptr);
  // Below the last row shown: what the list paints as its own background.
  auto empty_area_light = [&] {
    RECT row{};
    row.left = LVIR_BOUNDS;
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    const int shown = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0) + SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    const int last = std::min(rows, shown) - 1;
    int top = 30;  // below the header
    if (last >= 0 && SendMessageW(list, LVM_GETITEMRECT, last, reinterpret_cast<LPARAM>(&row))) top = row.bottom + 1;
    const Pixels pixels = Capture(list);
    long light = 0, counted = 0;
    for (int y = top; y < pixels.height - 2; ++y)
      for (int x = 2; x < pixels.width - 2; ++x, ++counted)
        if (Luminance(pixels.At(x, y)) > 0.5) ++light;
    return counted ? static_cast<double>(light) / counted : 1.0;
  };
  struct Case {
    const wchar_t* name;
    int rows;
  };
  const Case cases[] = {{L"empty", 0}, {L"rows", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    std::string text = "[Ipv4_Default]\r\n";
    for (int i = 1; i <= c.rows; ++i) text += "Loopback " + std::to_string(i) + "=127.0.0." + std::to_string(i) + ",\r\n";
    ASSERT_TRUE(common::SaveTextFile(real.files, dns_path, text, common::Encoding::Utf16LeBom, 1251));
    form->DnsTest().LoadFiltersReload();
    Settle();
    ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), c.rows);
    EXPECT_LT(empty_area_light(), 0.02) << "before the run";
    SendMessageW(button, BM_CLICK, 0, 0);  // the run stays inside this click until done
    Settle();
    win32_test::SaveScreenshot(window, std::wstring(L"dns-test-dark-after-run-") + c.name);
    EXPECT_LT(empty_area_light(), 0.02) << "after the run";
    // And after a repaint of its own.
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Settle();
    EXPECT_LT(empty_area_light(), 0.02) << "after a repaint";
  }
}

// Every status bar shows its text in either style, chosen at start or switched to.
TEST_F(StyledPagesWin32, EveryStatusBarShowsItsTextInBothStyles) {
  struct Case {
    const char* what;
    std::vector<bool> styles;  // chosen in this order; the page is shown after the first
  };
  const Case cases[] = {{"light from the start", {false}},
                        {"dark from the start", {true}},
                        {"light, then dark", {false, true}},
                        {"dark, then light", {true, false}}};
  host->PeerOf(*form)->Show();
  form->Profiles().LoadNet();  // as at start-up: the bar counts the profiles
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Style(c.styles.front());
    form->ButtonNetworkProfilesClick();
    Settle();
    for (size_t i = 1; i < c.styles.size(); ++i) Style(c.styles[i]);
    form->DnsTest().StatusBar1->SetSimpleText("127.0.0.1");
    struct Bar {
      const wchar_t* name;
      std::function<void()> show;
    };
    const Bar bars[] = {{L"StatusBarProfile", [&] { form->ButtonNetworkProfilesClick(); }},
                        {L"StatusBar1", [&] { form->ButtonDNSClick(); }}};
    for (const Bar& bar : bars) {
      bar.show();
      Settle();
      HWND hwnd = FindControl(window, bar.name);
      ASSERT_NE(hwnd, nullptr) << bar.name;
      ASSERT_GT(SendMessageW(hwnd, SB_GETTEXTLENGTHW, 0, 0) & 0xFFFF, 0) << bar.name;
      // Text shows as pixels that stand out from the bar's background.
      const Pixels pixels = Capture(hwnd);
      std::map<uint32_t, long> count;
      for (int y = 3; y < pixels.height - 2; ++y)
        for (int x = 2; x < pixels.width / 2; ++x) ++count[pixels.At(x, y)];
      uint32_t background = 0;
      long most = -1;
      for (const auto& [colour, n] : count)
        if (n > most) most = n, background = colour;
      long text = 0;
      for (const auto& [colour, n] : count)
        if (std::abs(Luminance(colour) - Luminance(background)) > 0.2) text += n;
      EXPECT_GT(text, 15) << win32_test::ControlName(hwnd);
      const bool dark = c.styles.back();
      EXPECT_EQ(Luminance(background) < 0.3, dark) << "the bar's background follows the style";
    }
    form->ButtonNetworkProfilesClick();
    Settle();
    win32_test::SaveScreenshot(window, std::wstring(L"profiles-") + (c.styles.back() ? L"dark" : L"light") +
                                           (c.styles.size() > 1 ? L"-switched" : L""));
  }
}

// A click message reaches a handler only through a control a user could click: one
// disabled, or hidden (on a page not shown, in a window closed), does nothing.
TEST_F(StyledPagesWin32, ClicksSentToDisabledOrHiddenControlsDoNothing) {
  host->PeerOf(*form)->Show();
  Settle();
  auto& commands = form->Commands();
  // The update window opened once and closed again: its controls have windows, hidden.
  host->PeerOf(*update)->Show();
  Settle();
  host->PeerOf(*update)->Hide();
  Settle();
  HWND update_window = host->WindowOf(*update);
  ASSERT_NE(update_window, nullptr);
  form->ButtonUsefulCommandsClick();
  Settle();
  commands.CheckBoxFlushDNS->SetChecked(true);

  struct Case {
    const char* what;
    HWND root;
    ui::Component* control;
    std::function<void()> prepare;  // makes the control disabled or hidden
  };
  const Case cases[] = {
      {"repair apply, panel disabled", window, commands.ButtonApplay, [&] { commands.TabComButtons->SetEnabled(false); }},
      {"SMB switch, panel disabled", window, commands.ButtonSMBAccess, [&] { commands.TabComButtons->SetEnabled(false); }},
      {"repair apply, button disabled", window, commands.ButtonApplay, [&] { commands.ButtonApplay->SetEnabled(false); }},
      {"repair apply, page not shown", window, commands.ButtonApplay, [&] { form->ButtonDNSClick(); }},
      {"DNS test, button disabled", window, form->DnsTest().ButtonTestDNS,
       [&] {
         form->ButtonDNSClick();
         form->DnsTest().ButtonTestDNS->SetEnabled(false);
       }},
      {"update window closed", update_window, update->ButtonClose, [] {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    form->ButtonUsefulCommandsClick();
    commands.TabComButtons->SetEnabled(true);
    commands.ButtonApplay->SetEnabled(true);
    form->DnsTest().ButtonTestDNS->SetEnabled(true);
    c.prepare();
    Settle();
    HWND control = FindControl(c.root, std::wstring(c.control->Name().begin(), c.control->Name().end()));
    ASSERT_NE(control, nullptr);
    int handled = 0;
    std::function<void()> handler = std::move(c.control->OnClick);
    c.control->OnClick = [&] { ++handled; };
    // Both ways a click arrives: the button's own click message, and the notice to its
    // parent; each twice.
    for (int i = 0; i < 2; ++i) {
      SendMessageW(control, BM_CLICK, 0, 0);
      SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                   reinterpret_cast<LPARAM>(control));
    }
    win32_test::Pump();
    c.control->OnClick = std::move(handler);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(commands.RepairThreadsRunning() + commands.SmbThreadsRunning(), 0);
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_FALSE(application->Terminated());
  }
  // The same click through a control a user can reach still works.
  form->ButtonUsefulCommandsClick();
  commands.TabComButtons->SetEnabled(true);
  commands.ButtonApplay->SetEnabled(true);
  commands.CheckBoxFlushDNS->SetChecked(false);  // nothing ticked: the click returns at once
  Settle();
  bool clicked = false;
  commands.ButtonApplay->OnClick = [&] { clicked = true; };
  SendMessageW(FindControl(window, L"ButtonApplay"), BM_CLICK, 0, 0);
  EXPECT_TRUE(clicked);
}

// A close sent to a window other than the main one closes that window only.
TEST_F(StyledPagesWin32, ACloseSentToTheHiddenUpdateWindowLeavesTheProgramRunning) {
  host->PeerOf(*form)->Show();
  host->PeerOf(*update)->Show();
  Settle();
  host->PeerOf(*update)->Hide();
  Settle();
  for (int i = 0; i < 2; ++i) SendMessageW(host->WindowOf(*update), WM_CLOSE, 0, 0);
  win32_test::Pump();
  MSG quit;
  EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_FALSE(application->Terminated());
  EXPECT_TRUE(IsWindow(window));
}

}  // namespace
