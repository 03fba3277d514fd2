// The styles as the real windows show them: chosen from the real menu, every window
// repaints; pictures of every page, the general menu and the about window in both
// styles; in the dark style no control is left light. The about window's links and
// its F1 shortcut inside the open general menu.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "theme/WindowsDarkMode.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/StyleDrawing.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

using win32_test::FindControl;

// Share of pixels with a relative luminance above 0.75 inside `area` (screen
// coordinates), leaving out the `pictures`.
double LightShare(const RECT& area, const std::vector<RECT>& pictures) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return 0;
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
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  long light = 0, counted = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      POINT p{area.left + x, area.top + y};
      bool in_picture = false;
      for (const RECT& r : pictures) in_picture = in_picture || PtInRect(&r, p);
      if (in_picture) continue;
      uint32_t c = pixels[y * width + x];
      ++counted;
      if (theme::RelativeLuminance(((c >> 16) & 0xFF) << 16 | ((c >> 8) & 0xFF) << 8 | (c & 0xFF)) > 0.75) ++light;
    }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return counted ? static_cast<double>(light) / counted : 0;
}

RECT ClientOnScreen(HWND hwnd) {
  RECT r;
  GetClientRect(hwnd, &r);
  MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Lets the windows paint and Wine hand the pictures to the X server.
void Settle() {
  for (int i = 0; i < 3; ++i) {
    win32_test::Pump();
    Sleep(60);
  }
  win32_test::Pump();
}

// Runs `action` from a timer while a menu or modal window holds the message loop.
std::function<void()> g_timed;
void CALLBACK RunTimed(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto action = std::move(g_timed);
  g_timed = nullptr;
  if (action) action();
}
void After(UINT ms, std::function<void()> action) {
  g_timed = std::move(action);
  SetTimer(nullptr, 0, ms, RunTimed);
}

struct ThemeWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  app::TForm8* about = nullptr;
  HWND window = nullptr;
  std::wstring link_log;

  void SetUp() override {
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    link_log = win32_test::ExeFolder() + L"theme-link.txt";
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(real.services);
    application->CreateForm<app::TForm10>(real.services);
    about = application->CreateForm<app::TForm8>(
        real.services, app::AboutLinks{"velmoralinktest:messenger", "one@mail.test", "two@mail.test",
                                       "velmoralinktest:site"});
    window = host->WindowOf(*form);
    ASSERT_NE(window, nullptr);
    host->PeerOf(*form)->Show();
    Settle();
  }
  void TearDown() override {
    // The next test starts in the system's look again.
    ui::win32::styling::SetActive(nullptr);
    application.reset();
    host.reset();
  }

  // Where the navigation buttons show their pictures.
  std::vector<RECT> NavigationPictures() {
    std::vector<RECT> pictures;
    for (const wchar_t* name : {L"ButtonProxy", L"ButtonDNS", L"ButtonNetworkProfiles", L"ButtonUsefulCommands"}) {
      HWND button = FindControl(window, name);
      if (!button) continue;
      RECT r;
      GetWindowRect(button, &r);
      int left = r.left + (r.right - r.left - 48) / 2;
      pictures.push_back(RECT{left, r.top + 20, left + 48, r.top + 68});
    }
    return pictures;
  }

  // The visible controls of a window whose own area is mostly light.
  std::vector<std::wstring> LightControls(HWND root, const std::vector<RECT>& pictures) {
    std::vector<std::wstring> light;
    EnumData data{&light, &pictures};
    EnumChildWindows(root, CheckChild, reinterpret_cast<LPARAM>(&data));
    return light;
  }
  struct EnumData {
    std::vector<std::wstring>* light;
    const std::vector<RECT>* pictures;
  };
  static BOOL CALLBACK CheckChild(HWND hwnd, LPARAM param) {
    auto* data = reinterpret_cast<EnumData*>(param);
    if (!IsWindowVisible(hwnd)) return TRUE;
    RECT r = ClientOnScreen(hwnd);
    if (LightShare(r, *data->pictures) > 0.25) {
      std::wstring name = win32_test::ControlName(hwnd);
      wchar_t cls[64] = {};
      GetClassNameW(hwnd, cls, 64);
      data->light->push_back((name.empty() ? L"?" : name) + L" (" + cls + L")");
    }
    return TRUE;
  }

  // Opens the general menu, runs `inside` while it is open, then closes it if it is
  // still open.
  void WithGeneralMenu(std::function<void(HWND menu)> inside) {
    HWND button = FindControl(window, L"SpeedButton_GeneralMenu");
    ASSERT_NE(button, nullptr);
    After(300, [inside] {
      HWND menu = FindWindowW(L"#32768", nullptr);
      inside(menu);
    });
    SendMessageW(button, BM_CLICK, 0, 0);  // returns when the menu has closed
    Settle();
  }

  void ChooseFromMenu(int theme_position) {
    WithGeneralMenu([this, theme_position](HWND) {
      // "Тема" is the first item; its submenu opens on the first of its items.
      std::vector<WPARAM> keys{VK_DOWN, VK_RIGHT};
      for (int i = 0; i < theme_position; ++i) keys.push_back(VK_DOWN);
      keys.push_back(VK_RETURN);
      for (WPARAM key : keys) {
        PostMessageW(window, WM_KEYDOWN, key, 0);
        PostMessageW(window, WM_KEYUP, key, 0xC0000000);
      }
    });
  }
};

TEST_F(ThemeWin32, DarkChosenFromTheRealMenuRepaintsEveryWindowAtOnce) {
  ASSERT_EQ(application->Styles().CurrentName(), "") << "no style until one is chosen";
  // The about window already has its windows, hidden.
  After(200, [this] { about->Button1->Click(); });
  form->AboutMenuClick();
  Settle();

  ChooseFromMenu(2);
  EXPECT_TRUE(form->ThemeDark->Checked());
  EXPECT_FALSE(form->ThemeAuto->Checked());
  EXPECT_EQ(application->Styles().CurrentName(), theme::kDarkStyle);
  EXPECT_FALSE(form->GeneralMenuOpen());

  // Every page that has windows is dark, also those that were made before.
  const std::vector<RECT> pictures = NavigationPictures();
  for (const wchar_t* page : {L"ButtonDNS", L"ButtonNetworkProfiles", L"ButtonUsefulCommands", L"ButtonProxy"}) {
    SendMessageW(FindControl(window, page), BM_CLICK, 0, 0);
    Settle();
    EXPECT_LT(LightShare(ClientOnScreen(window), pictures), 0.05) << page;
    EXPECT_EQ(LightControls(window, pictures), std::vector<std::wstring>{}) << page;
  }
  // The hidden about window follows too.
  After(300, [this] {
    HWND about_window = host->WindowOf(*about);
    EXPECT_LT(LightShare(ClientOnScreen(about_window), {}), 0.05);
    about->Button1->Click();
  });
  form->AboutMenuClick();

  ChooseFromMenu(1);
  EXPECT_TRUE(form->ThemeLight->Checked());
  EXPECT_EQ(application->Styles().CurrentName(), theme::kLightStyle);
  EXPECT_GT(LightShare(ClientOnScreen(window), pictures), 0.5) << "the light style is light";
}

TEST_F(ThemeWin32, PicturesOfEveryPageTheMenuAndTheAboutWindowInBothStyles) {
  const std::vector<RECT> pictures = NavigationPictures();
  struct Page {
    const wchar_t* button;
    const wchar_t* name;
  } pages[] = {{L"ButtonProxy", L"adapter"},
               {L"ButtonDNS", L"dns-test"},
               {L"ButtonNetworkProfiles", L"profiles"},
               {L"ButtonUsefulCommands", L"commands"}};
  for (bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    if (dark)
      form->ThemeDarkClick();
    else
      form->ThemeLightClick();
    const std::wstring style = dark ? L"dark" : L"light";
    for (const Page& page : pages) {
      SendMessageW(FindControl(window, page.button), BM_CLICK, 0, 0);
      Settle();
      win32_test::SaveScreenshot(window, L"theme-" + style + L"-" + page.name);
      if (dark) {
        EXPECT_LT(LightShare(ClientOnScreen(window), pictures), 0.05) << page.name;
        EXPECT_EQ(LightControls(window, pictures), std::vector<std::wstring>{}) << page.name;
      }
    }
    double menu_light = -1;
    WithGeneralMenu([&](HWND menu) {
      ASSERT_NE(menu, nullptr);
      // The theme submenu open too.
      PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
      PostMessageW(window, WM_KEYDOWN, VK_RIGHT, 0);
      After(300, [&, menu] {
        HWND sub = FindWindowExW(nullptr, menu, L"#32768", nullptr);
        RECT both;
        GetWindowRect(menu, &both);
        win32_test::SaveScreenshot(menu, L"theme-" + style + L"-menu");
        if (sub) win32_test::SaveScreenshot(sub, L"theme-" + style + L"-menu-theme");
        RECT inner = both;
        InflateRect(&inner, -3, -3);
        menu_light = LightShare(inner, {});
        EndMenu();
      });
    });
    if (dark) {
      EXPECT_LT(menu_light, 0.05);
    }
    double about_light = -1;
    After(300, [&] {
      HWND about_window = host->WindowOf(*about);
      win32_test::SaveScreenshot(about_window, L"theme-" + style + L"-about");
      RECT icon;
      GetWindowRect(FindControl(about_window, L"Image1"), &icon);
      about_light = LightShare(ClientOnScreen(about_window), {icon});
      about->Button1->Click();
    });
    form->AboutMenuClick();
    if (dark) {
      EXPECT_LT(about_light, 0.05);
    }
  }
}

TEST_F(ThemeWin32, TheAboutWindowOpensWithF1WhileTheGeneralMenuIsOpen) {
  std::wstring version, copied_caption;
  bool shown = false;
  LONG_PTR ex_style = 0;
  WithGeneralMenu([&](HWND) {
    After(300, [&] {
      HWND about_window = host->WindowOf(*about);
      shown = about_window && IsWindowVisible(about_window);
      if (about_window) {
        version = win32_test::ControlText(FindControl(about_window, L"LabelVersion"));
        ex_style = GetWindowLongPtrW(about_window, GWL_EXSTYLE);
      }
      about->Button1->Click();
    });
    PostMessageW(window, WM_KEYDOWN, VK_F1, 0);
  });
  EXPECT_TRUE(shown);
  wchar_t caption[256] = {};
  GetWindowTextW(window, caption, 256);
  EXPECT_EQ(version, caption);
  EXPECT_TRUE(ex_style & WS_EX_APPWINDOW);
  EXPECT_FALSE(IsWindowVisible(host->WindowOf(*about))) << "Ok closed it";
  HWND icon = FindControl(host->WindowOf(*about), L"Image1");
  ASSERT_NE(icon, nullptr);
  EXPECT_NE(SendMessageW(icon, STM_GETICON, 0, 0), 0) << "the program's icon shows";
}

TEST_F(ThemeWin32, ALinkIsOpenedWithTheShellsOpenVerb) {
  // A stand-in for the browser: the link's scheme runs a command that writes down
  // what it was given.
  DeleteFileW(link_log.c_str());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"velmoralinktest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
  RegCloseKey(key);
  std::wstring command = L"C:\\windows\\system32\\cmd.exe /c echo %1> \"" + link_log + L"\"";
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"velmoralinktest\\shell\\open\\command", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);

  After(300, [&] {
    HWND label = FindControl(host->WindowOf(*about), L"LabelMainWebSite");
    // A click on the label as the user makes it.
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    about->Button1->Click();
  });
  form->AboutMenuClick();
  std::string written;
  for (int i = 0; i < 100 && written.empty(); ++i) {
    Sleep(50);
    if (FILE* in = _wfopen(link_log.c_str(), L"rb")) {
      char line[256] = {};
      if (fgets(line, sizeof(line), in)) written = line;
      fclose(in);
    }
  }
  EXPECT_EQ(written.substr(0, 20), "velmoralinktest:site");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"velmoralinktest");
}

// Style switching time on the running program with every page's windows made (not a
// test; run with --gtest_also_run_disabled_tests).
TEST_F(ThemeWin32, DISABLED_SwitchingStyleBenchmark) {
  for (const wchar_t* page : {L"ButtonDNS", L"ButtonNetworkProfiles", L"ButtonUsefulCommands", L"ButtonProxy"})
    SendMessageW(FindControl(window, page), BM_CLICK, 0, 0);
  Settle();
  std::vector<double> times;
  for (int i = 0; i < 10; ++i) {
    auto start = std::chrono::steady_clock::now();
    if (i % 2)
      ui::win32::styling::SetActive(&theme::LightPalette());
    else
      ui::win32::styling::SetActive(&theme::DarkPalette());
    GdiFlush();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  // The same repaint without a change of style, for comparison.
  std::vector<double> plain;
  for (int i = 0; i < 10; ++i) {
    auto start = std::chrono::steady_clock::now();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    plain.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  std::sort(plain.begin(), plain.end());
  std::printf("style switch with repaint of every window: median %.1f ms, max %.1f ms; "
              "plain repaint of the main window: median %.1f ms\n",
              times[times.size() / 2], times.back(), plain[plain.size() / 2]);
}

}  // namespace
