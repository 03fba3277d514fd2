// High contrast switched on in the system while the program runs in a style: every
// page shows the system's colours and nothing of the style, the style items give way,
// and switching high contrast off brings the chosen style back.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "theme/WindowsDarkMode.h"
#include "ui/Style.h"
#include "ui/win32/FormPeer.h"
#include "win32/MainWindowFixture.h"

namespace {

using win32_test::Capture;
using win32_test::Pixels;
using win32_test::Settle;

// The system's high contrast as the program reads it. Wine keeps high contrast off
// (its SPI_SETHIGHCONTRAST does nothing), so the test stands in for the setting and
// sends what the system sends when it changes: the settings-change broadcast with
// SPI_SETHIGHCONTRAST, and the theme change.
bool g_high_contrast = false;
bool ReadHighContrast() { return g_high_contrast; }

class SystemHighContrast {
 public:
  SystemHighContrast() { ui::win32::styling::SetHighContrastQuery(ReadHighContrast); }
  ~SystemHighContrast() {
    g_high_contrast = false;
    ui::win32::styling::SetHighContrastQuery(nullptr);
  }
  SystemHighContrast(const SystemHighContrast&) = delete;
  SystemHighContrast& operator=(const SystemHighContrast&) = delete;
  void Set(bool on, UINT message) {
    g_high_contrast = on;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lparam) -> BOOL {
          const UINT message = static_cast<UINT>(lparam);
          SendMessageW(hwnd, message, message == WM_SETTINGCHANGE ? SPI_SETHIGHCONTRAST : 0, 0);
          return TRUE;
        },
        static_cast<LPARAM>(message));
  }
};

// The share of a picture's pixels in one colour (0xRRGGBB).
double Share(const Pixels& pixels, uint32_t rgb) {
  if (pixels.rgb.empty()) return 0;
  size_t n = 0;
  for (uint32_t c : pixels.rgb) n += c == rgb;
  return static_cast<double>(n) / static_cast<double>(pixels.rgb.size());
}

uint32_t SysRgb(int index) {
  COLORREF c = GetSysColor(index);
  return (static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

struct HighContrastWin32 : win32_test::MainWindowFixture {};

TEST_F(HighContrastWin32, EveryPageShowsTheSystemColoursAndTheStyleComesBackAfter) {
  SystemHighContrast contrast;
  form->ThemeDarkClick();
  host->PeerOf(*form)->Show();
  Settle();
  const uint32_t dark_face = application->Styles().Current()->window;
  const uint32_t system_face = SysRgb(COLOR_BTNFACE);
  ASSERT_NE(dark_face, system_face);

  struct Page {
    const char* name;
    void (app::TForm1::*show)();
  };
  const Page pages[] = {{"proxy", &app::TForm1::ButtonProxyClick},
                        {"DNS test", &app::TForm1::ButtonDNSClick},
                        {"network profiles", &app::TForm1::ButtonNetworkProfilesClick},
                        {"useful commands", &app::TForm1::ButtonUsefulCommandsClick}};
  // In the style first: the window is mostly the style's face.
  for (const Page& page : pages) {
    SCOPED_TRACE(std::string("styled ") + page.name);
    (form->*page.show)();
    Settle();
    const Pixels pixels = Capture(window);
    EXPECT_GT(Share(pixels, dark_face), 0.05);
    EXPECT_LT(Share(pixels, system_face), 0.05);
  }

  contrast.Set(true, WM_SETTINGCHANGE);
  Settle();
  EXPECT_FALSE(form->ThemeDark->Enabled());
  EXPECT_TRUE(form->ThemeHighContrastNote->Visible());
  for (const Page& page : pages) {
    SCOPED_TRACE(std::string("high contrast ") + page.name);
    (form->*page.show)();
    Settle();
    const Pixels pixels = Capture(window);
    EXPECT_EQ(Share(pixels, dark_face), 0.0) << "nothing of the style is drawn";
    EXPECT_GT(Share(pixels, system_face), 0.1) << "the system's face colour fills the window";
    if (page.show == &app::TForm1::ButtonUsefulCommandsClick)
      win32_test::SaveScreenshot(window, L"high-contrast-useful-commands");
  }

  // Off again, this time told by the theme change alone.
  contrast.Set(false, WM_THEMECHANGED);
  Settle();
  EXPECT_TRUE(form->ThemeDark->Enabled());
  EXPECT_TRUE(form->ThemeDark->Checked()) << "the chosen style is kept";
  EXPECT_FALSE(form->ThemeHighContrastNote->Visible());
  const Pixels pixels = Capture(window);
  EXPECT_GT(Share(pixels, dark_face), 0.05) << "the chosen style comes back";
}

}  // namespace
