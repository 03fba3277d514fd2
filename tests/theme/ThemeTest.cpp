// The theme menu, the start-up restore of the saved choice, following the system's
// app colour mode, and the colours of both styles.
#include <gtest/gtest.h>

#include "app/MainForm.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"
#include "theme/WindowsDarkMode.h"

namespace {

constexpr char kIni[] = "C:\\Users\\user\\AppData\\Roaming\\\\Velmora\\Config\\Option.ini";
constexpr char kPersonalize[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize\\";

// Records every style the windows were switched to, by name.
struct StyleHost : fakes::HeadlessHost {
  std::vector<std::string> switches;
  void StyleChanged(const ui::StylePalette* palette) override {
    switches.push_back(!palette ? "none" : palette->dark ? "dark" : "light");
  }
};

struct ThemeFixture : ::testing::Test, fakes::FakePlatform {
  StyleHost host;
  std::unique_ptr<ui::Application> application;

  void SetSystemDark(bool dark) {
    registry.SetDWord(platform::RegRoot::CurrentUser, kPersonalize, "AppsUseLightTheme", dark ? 0 : 1);
  }
  void Store(const std::string& option_lines) { files.SetFile(kIni, "[Option]\r\n" + option_lines); }
  app::TForm1* Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    return application->CreateForm<app::TForm1>(services);
  }
  std::string Checked(app::TForm1* form) {
    std::string checked;
    for (ui::MenuItem* item : form->ThemeMenu->Items())
      if (item->Checked()) checked += (checked.empty() ? "" : ",") + item->Name();
    return checked;
  }
  std::string Style() const { return application->Styles().CurrentName(); }
};

TEST_F(ThemeFixture, StartUpRestoresTheSavedChoiceClickingEachStoredItemInMenuOrder) {
  struct Case {
    const char* what;
    const char* stored;          // lines of [Option]; null: no settings file
    int system;                  // -1: no AppsUseLightTheme value, else 1 = dark
    const char* checked;
    std::vector<std::string> switches;
  } cases[] = {
      {"first run", nullptr, 1, "", {}},
      {"no theme keys", "CheckBoxEnableDNS=0\r\n", 1, "", {}},
      {"dark stored", "ThemeAuto=0\r\nThemeLight=0\r\nThemeDark=1\r\n", 0, "ThemeDark", {"dark"}},
      {"light stored", "ThemeLight=1\r\n", 1, "ThemeLight", {"light"}},
      {"system, dark", "ThemeAuto=1\r\n", 1, "ThemeAuto", {"dark"}},
      {"system, light", "ThemeAuto=1\r\n", 0, "ThemeAuto", {"light"}},
      {"system, mode unknown", "ThemeAuto=1\r\n", -1, "ThemeAuto", {"light"}},
      {"hand-edited: two items", "ThemeLight=1\r\nThemeDark=1\r\n", 0, "ThemeDark", {"light", "dark"}},
      {"hand-edited: all three", "ThemeAuto=1\r\nThemeLight=1\r\nThemeDark=1\r\n", 1, "ThemeDark",
       {"dark", "light", "dark"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.switches.clear();
    files.RemoveFile(kIni);
    if (c.stored) Store(c.stored);
    registry.CreateKey(platform::RegRoot::CurrentUser, kPersonalize);
    if (c.system >= 0) SetSystemDark(c.system == 1);
    else if (auto key = registry.Open(platform::RegRoot::CurrentUser, kPersonalize, platform::reg_access::kAllAccess, false))
      key->DeleteValue("AppsUseLightTheme");
    app::TForm1* form = Open();
    EXPECT_EQ(Checked(form), c.checked);
    EXPECT_EQ(host.switches, c.switches);
    EXPECT_EQ(Style(), c.switches.empty() ? "" : c.switches.back() == "dark" ? theme::kDarkStyle : theme::kLightStyle);
  }
}

// While the system shows high contrast the style items give way to a note, and the
// saved choice stays: it is what comes back, and what the settings file keeps.
TEST_F(ThemeFixture, HighContrastDisablesTheStyleItemsWithANoteAndKeepsTheChoice) {
  Store("ThemeDark=1\r\n");
  host.high_contrast = true;
  app::TForm1* form = Open();
  auto items_enabled = [form] {
    std::string enabled;
    for (ui::MenuItem* item : {form->ThemeAuto, form->ThemeLight, form->ThemeDark})
      enabled += item->Enabled() ? "1" : "0";
    return enabled;
  };
  EXPECT_EQ(items_enabled(), "000");
  EXPECT_TRUE(form->ThemeHighContrastNote->Visible());
  EXPECT_FALSE(form->ThemeHighContrastNote->Enabled());
  EXPECT_EQ(Checked(form), "ThemeDark");

  host.high_contrast = false;
  form->SettingChange();
  EXPECT_EQ(items_enabled(), "111");
  EXPECT_FALSE(form->ThemeHighContrastNote->Visible());
  EXPECT_EQ(Checked(form), "ThemeDark");
  EXPECT_EQ(Style(), theme::kDarkStyle);

  form->SessionEnding();  // saves the settings as a close does
  const std::vector<uint8_t> bytes = files.ReadFile(kIni).value_or(std::vector<uint8_t>{});
  const std::string saved(bytes.begin(), bytes.end());
  EXPECT_NE(saved.find("ThemeDark=1"), std::string::npos);
  EXPECT_EQ(saved.find("ThemeHighContrastNote"), std::string::npos) << "the note is no choice to keep";
}

TEST_F(ThemeFixture, EachItemChecksItselfAloneAppliesItsStyleAndReleasesTheMenuButton) {
  SetSystemDark(true);
  app::TForm1* form = Open();
  struct Case {
    ui::MenuItem* item;
    const char* style;
  } cases[] = {{form->ThemeLight, theme::kLightStyle},
               {form->ThemeAuto, theme::kDarkStyle},
               {form->ThemeDark, theme::kDarkStyle},
               {form->ThemeLight, theme::kLightStyle}};
  for (const Case& c : cases) {
    host.popup_actions.push_back([item = c.item](ui::PopupMenu&) { item->Click(); });
    form->SpeedButton_GeneralMenu->Click();
    EXPECT_EQ(Checked(form), c.item->Name());
    EXPECT_EQ(Style(), c.style) << c.item->Name();
    EXPECT_FALSE(form->GeneralMenuOpen()) << "the menu button is up again";
  }
  // Choosing the style in use again repaints nothing.
  host.switches.clear();
  form->ThemeLight->Click();
  EXPECT_TRUE(host.switches.empty());
}

TEST_F(ThemeFixture, AChoiceLetsPendingMessagesRunAndIsSavedOnlyAtClose) {
  app::TForm1* form = Open();
  int pumps = host.process_messages_calls;
  form->ThemeDark->Click();
  EXPECT_GT(host.process_messages_calls, pumps);
  EXPECT_FALSE(files.FileExists(kIni)) << "the choice is not written when made";
  form->FormClose();
  const std::string text = files.Text(kIni);
  EXPECT_NE(text.find("ThemeAuto=0\r\nThemeLight=0\r\nThemeDark=1\r\n"), std::string::npos) << text;
}

TEST_F(ThemeFixture, SettingChangeFollowsTheSystemOnlyWhenSystemWasSavedAtTheLastClose) {
  struct Case {
    const char* what;
    const char* stored;
    ui::MenuItem* app::TForm1::*picked_since;
    bool system_dark_after;
    const char* style_after;
  } cases[] = {
      {"system saved, light picked since", "ThemeAuto=1\r\n", &app::TForm1::ThemeLight, true, theme::kDarkStyle},
      {"system saved, back to light", "ThemeAuto=1\r\n", nullptr, false, theme::kLightStyle},
      {"dark saved, system picked since", "ThemeDark=1\r\n", &app::TForm1::ThemeAuto, false, theme::kDarkStyle},
      {"light saved", "ThemeLight=1\r\n", nullptr, true, theme::kLightStyle},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetSystemDark(true);
    Store(c.stored);
    app::TForm1* form = Open();
    if (c.picked_since) (form->*c.picked_since)->Click();
    SetSystemDark(c.system_dark_after);
    form->SettingChange();
    EXPECT_EQ(Style(), c.style_after);
    // A burst of broadcasts sets the same style again and repaints nothing more.
    host.switches.clear();
    form->WMWinIniChange();
    form->WMWinIniChange();
    EXPECT_TRUE(host.switches.empty());
  }
}

TEST_F(ThemeFixture, SettingChangeWithAnUnreadableSettingsFileDoesNothing) {
  Store("ThemeAuto=1\r\n");
  SetSystemDark(false);
  app::TForm1* form = Open();
  ASSERT_EQ(Style(), theme::kLightStyle);
  files.SetUnreadable(kIni);
  SetSystemDark(true);
  form->WMWinIniChange();
  EXPECT_EQ(Style(), theme::kLightStyle);
}

TEST_F(ThemeFixture, AnUnknownStyleNameChangesNothing) {
  app::TForm1* form = Open();
  form->ThemeDark->Click();
  host.switches.clear();
  theme::SetAppStyle(*application, "Windows10 Blue");
  theme::SetAppStyle(*application, "");
  EXPECT_EQ(Style(), theme::kDarkStyle);
  EXPECT_TRUE(host.switches.empty());
  EXPECT_TRUE(host.boxes.empty()) << "no message is shown";
}

TEST(WindowsDarkModeTest, OnlyAnIntegerZeroMeansDark) {
  constexpr auto kUser = platform::RegRoot::CurrentUser;
  struct Case {
    const char* what;
    std::function<void(fakes::FakeRegistry&)> set_up;
    bool dark;
  } cases[] = {
      {"key missing", [](fakes::FakeRegistry&) {}, false},
      {"value missing", [](fakes::FakeRegistry& r) { r.CreateKey(kUser, kPersonalize); }, false},
      {"0", [](fakes::FakeRegistry& r) { r.SetDWord(kUser, kPersonalize, "AppsUseLightTheme", 0); }, true},
      {"1", [](fakes::FakeRegistry& r) { r.SetDWord(kUser, kPersonalize, "AppsUseLightTheme", 1); }, false},
      {"text 0", [](fakes::FakeRegistry& r) { r.SetString(kUser, kPersonalize, "AppsUseLightTheme", "0"); },
       false},
      {"key refused",
       [](fakes::FakeRegistry& r) {
         r.SetDWord(kUser, kPersonalize, "AppsUseLightTheme", 0);
         r.fail_open.insert(std::string("HKCU\\") + kPersonalize);
       },
       false},
  };
  for (const Case& c : cases) {
    fakes::FakeRegistry registry;
    c.set_up(registry);
    EXPECT_EQ(theme::IsWindowsDarkMode(registry), c.dark) << c.what;
  }
}

// Every text colour of a style is read on each background it is drawn on with a
// contrast of at least 4.5:1.
TEST(StylePaletteTest, EveryTextAndBackgroundPairReachesTheReadableContrast) {
  using P = ui::StylePalette;
  struct Pair {
    const char* what;
    ui::Colour P::*text;
    ui::Colour P::*background;
  } pairs[] = {
      {"text on window", &P::text, &P::window},
      {"text on panel", &P::text, &P::panel},
      {"text on button", &P::text, &P::button},
      {"text on hot button", &P::text, &P::button_hot},
      {"text on pressed button", &P::text, &P::button_pressed},
      {"text on edit", &P::text, &P::edit},
      {"edit text", &P::edit_text, &P::edit},
      {"disabled text on window", &P::disabled_text, &P::window},
      {"disabled text on panel", &P::disabled_text, &P::panel},
      {"disabled text on button", &P::disabled_text, &P::button},
      {"disabled text on edit", &P::disabled_text, &P::edit},
      {"group caption", &P::group_caption, &P::window},
      {"group caption on panel", &P::group_caption, &P::panel},
      {"selection", &P::selection_text, &P::selection},
      {"link", &P::link, &P::window},
      {"link on panel", &P::link, &P::panel},
  };
  for (const auto* palette : {&theme::DarkPalette(), &theme::LightPalette()})
    for (const Pair& pair : pairs)
      EXPECT_GE(theme::ContrastRatio(palette->*pair.text, palette->*pair.background), 4.5)
          << (palette->dark ? "dark: " : "light: ") << pair.what;
  // Frames stand out from what they surround (3:1 for the parts of a control).
  for (const auto* palette : {&theme::DarkPalette(), &theme::LightPalette()}) {
    EXPECT_GE(theme::ContrastRatio(palette->border, palette->window), 3.0);
    EXPECT_GE(theme::ContrastRatio(palette->group_frame, palette->window), 3.0);
  }
  EXPECT_TRUE(theme::DarkPalette().dark);
  EXPECT_FALSE(theme::LightPalette().dark);
}

TEST(StylePaletteTest, ContrastRatioMatchesKnownValues) {
  EXPECT_NEAR(theme::ContrastRatio(0x000000, 0xFFFFFF), 21.0, 1e-9);
  EXPECT_NEAR(theme::ContrastRatio(0xFFFFFF, 0xFFFFFF), 1.0, 1e-9);
  EXPECT_NEAR(theme::ContrastRatio(0x767676, 0xFFFFFF), 4.54, 0.01);
}

}  // namespace
