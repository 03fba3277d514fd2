// The main window made by the real peers, read back through the Win32 API.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "app/MainForm.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeSystem.h"
#include "win32/RealPlatform.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/Win32TestSupport.h"

namespace {

using win32_test::FindControl;

struct MainWindowWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  shell::Services& services = real.services;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  HWND window = nullptr;

  void SetUp() override {
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(services);
    window = host->WindowOf(*form);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    application.reset();
    host.reset();
  }

  bool Bold(HWND control) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    GetObjectW(font, sizeof(lf), &lf);
    return lf.lfWeight >= FW_BOLD;
  }
};

TEST_F(MainWindowWin32, FrameMatchesTheDesign) {
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 684);
  EXPECT_EQ(client.bottom, 511);
  LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(IsWindowVisible(window)) << "windows stay hidden until the program runs";

  wchar_t font_face[LF_FACESIZE];
  auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_TRUE(GetObjectW(font, sizeof(lf), &lf));
  wcscpy(font_face, lf.lfFaceName);
  EXPECT_STREQ(font_face, L"Tahoma");
  EXPECT_EQ(lf.lfHeight, -11);
}

TEST_F(MainWindowWin32, FourNavigationButtonsWithPicturesAndFourPagesWithoutTabs) {
  for (const wchar_t* name : {L"ButtonProxy", L"ButtonDNS", L"ButtonNetworkProfiles", L"ButtonUsefulCommands"}) {
    HWND button = FindControl(window, name);
    ASSERT_NE(button, nullptr) << name;
    RECT r;
    GetClientRect(button, &r);
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.bottom, 100);
    BUTTON_IMAGELIST list{};
    SendMessageW(button, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
    ASSERT_NE(list.himl, nullptr) << name;
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list.himl, &cx, &cy);
    EXPECT_EQ(cx, 48);
    EXPECT_EQ(list.uAlign, static_cast<UINT>(BUTTON_IMAGELIST_ALIGN_TOP));
    EXPECT_EQ(list.margin.top, 20);
  }
  HWND pages = FindControl(window, L"PageControl");
  ASSERT_NE(pages, nullptr);
  int shown = 0;
  for (const wchar_t* name : {L"TabUsefulCommands", L"TabNetworkProfiles", L"TabProxy", L"TabTestDNS"}) {
    HWND page = FindControl(window, name);
    ASSERT_NE(page, nullptr) << name;
    EXPECT_EQ(GetParent(page), pages);
    if (IsWindowVisible(page) || (GetWindowLongW(page, GWL_STYLE) & WS_VISIBLE)) ++shown;
  }
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(GetWindowLongW(FindControl(window, L"TabProxy"), GWL_STYLE) & WS_VISIBLE);
  HWND row = FindWindowExW(pages, nullptr, WC_TABCONTROLW, nullptr);
  EXPECT_TRUE(row == nullptr || !(GetWindowLongW(row, GWL_STYLE) & WS_VISIBLE)) << "no tab row is shown";
}

TEST_F(MainWindowWin32, ClickingANavigationButtonShowsItsPageAndMakesItBold) {
  host->PeerOf(*form)->Show();
  win32_test::Pump();
  HWND dns = FindControl(window, L"ButtonDNS");
  HWND proxy = FindControl(window, L"ButtonProxy");
  EXPECT_TRUE(Bold(proxy));
  EXPECT_FALSE(Bold(dns));
  SendMessageW(dns, BM_CLICK, 0, 0);
  win32_test::Pump();
  EXPECT_EQ(form->PageControl->ActivePageIndex(), 3);
  EXPECT_TRUE(IsWindowVisible(FindControl(window, L"TabTestDNS")));
  EXPECT_FALSE(IsWindowVisible(FindControl(window, L"TabProxy")));
  EXPECT_TRUE(Bold(dns));
  EXPECT_FALSE(Bold(proxy));

  SendMessageW(proxy, BM_CLICK, 0, 0);
  win32_test::Pump();
  // Centred on the desktop.
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
  EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 2);
  win32_test::SaveScreenshot(window, L"main-window");
}

// While the general menu is open, a timer takes its picture and closes it.
HWND g_menu_window = nullptr;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_menu_window = FindWindowW(L"#32768", nullptr);
  if (g_menu_window) win32_test::SaveScreenshot(g_menu_window, L"general-menu");
  EndMenu();
}

TEST_F(MainWindowWin32, GeneralMenuOpensAtTheButtonAndTheMarkTogglesAfterEscape) {
  host->PeerOf(*form)->Show();
  win32_test::Pump();
  HWND menu_button = FindControl(window, L"SpeedButton_GeneralMenu");
  ASSERT_NE(menu_button, nullptr);
  g_menu_window = nullptr;
  SetTimer(nullptr, 0, 300, CloseMenu);
  SendMessageW(menu_button, BM_CLICK, 0, 0);  // returns when the menu has closed
  ASSERT_NE(g_menu_window, nullptr) << "the general menu was shown";
  EXPECT_TRUE(form->GeneralMenuOpen());
  RECT button_rect;
  GetWindowRect(menu_button, &button_rect);
  // Dismissed without a command: the next click only clears the mark.
  SendMessageW(menu_button, BM_CLICK, 0, 0);
  EXPECT_FALSE(form->GeneralMenuOpen());
}

}  // namespace
