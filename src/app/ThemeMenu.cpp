// The theme items of the main window's general menu, the reaction to the system's
// settings-change broadcast, and following the system's app colour mode.
#include "app/MainForm.h"
#include "common/IniFile.h"
#include "theme/WindowsDarkMode.h"

namespace app {

void TForm1::FollowSystemTheme() {
  if (theme::IsWindowsDarkMode(services_.registry))
    theme::SetAppStyle(App(), theme::kDarkStyle);
  else
    theme::SetAppStyle(App(), theme::kLightStyle);
  App().ProcessMessages();
}

void TForm1::UnCheckTheme() {
  for (ui::MenuItem* item : ThemeMenu->Items())
    if (item->RadioItem()) item->SetChecked(false);
}

void TForm1::ChooseTheme(ui::MenuItem* item, const char* style) {
  // The menu is closed: the "≡" button is up again.
  general_menu_open_ = false;
  UnCheckTheme();
  item->SetChecked(true);
  if (style)
    theme::SetAppStyle(App(), style);
  else
    FollowSystemTheme();
  App().ProcessMessages();
}

void TForm1::ShowHighContrast() {
  const bool on = App().HighContrast();
  for (ui::MenuItem* item : {ThemeAuto, ThemeLight, ThemeDark}) item->SetEnabled(!on);
  ThemeHighContrastNote->SetVisible(on);
}

void TForm1::ThemeAutoClick() { ChooseTheme(ThemeAuto, nullptr); }
void TForm1::ThemeLightClick() { ChooseTheme(ThemeLight, theme::kLightStyle); }
void TForm1::ThemeDarkClick() { ChooseTheme(ThemeDark, theme::kDarkStyle); }

void TForm1::WMWinIniChange() {
  // What counts is the choice saved at the last close, not the menu as it is now.
  bool follow = false;
  try {
    auto document = common::IniDocument::Load(services_.files, PortablePath(), services_.system.AnsiCodePage(),
                                              common::IniOptions::Settings());
    follow = document && document->ini.ReadBool("Option", "ThemeAuto", false);
  } catch (...) {
    follow = false;  // an unreadable settings file: nothing to follow
  }
  if (follow) FollowSystemTheme();
}

}  // namespace app
