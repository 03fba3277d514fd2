#include "theme/WindowsDarkMode.h"

#include <algorithm>
#include <cmath>

namespace theme {

namespace {

constexpr char kPersonalizeKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize\\";
constexpr char kAppsUseLightTheme[] = "AppsUseLightTheme";

ui::StylePalette MakeDark() {
  ui::StylePalette p;
  p.dark = true;
  p.window = 0x202020;
  p.panel = 0x2B2B2B;
  p.group_frame = 0x7A7A7A;
  p.group_caption = 0x9CCBFF;
  p.text = 0xF0F0F0;
  p.disabled_text = 0xA0A0A0;
  p.edit = 0x2D2D2D;
  p.edit_text = 0xF5F5F5;
  p.selection = 0x0E5A9C;
  p.selection_text = 0xFFFFFF;
  p.button = 0x333333;
  p.button_hot = 0x404040;
  p.button_pressed = 0x4C4C4C;
  p.link = 0x7FBAFF;
  p.border = 0x7A7A7A;
  p.accent = 0x4CA2E6;
  return p;
}

ui::StylePalette MakeLight() {
  ui::StylePalette p;
  p.dark = false;
  p.window = 0xF3F3F3;
  p.panel = 0xEBEBEB;
  p.group_frame = 0x8A8A8A;
  p.group_caption = 0x00457E;
  p.text = 0x1A1A1A;
  p.disabled_text = 0x666666;
  p.edit = 0xFFFFFF;
  p.edit_text = 0x1A1A1A;
  p.selection = 0x0063B1;
  p.selection_text = 0xFFFFFF;
  p.button = 0xFBFBFB;
  p.button_hot = 0xE3EFFA;
  p.button_pressed = 0xCCE2F5;
  p.link = 0x0645AD;
  p.border = 0x8A8A8A;
  p.accent = 0x0067C0;
  return p;
}

double Channel(unsigned value) {
  double c = value / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

const ui::StylePalette& DarkPalette() {
  static const ui::StylePalette palette = MakeDark();
  return palette;
}

const ui::StylePalette& LightPalette() {
  static const ui::StylePalette palette = MakeLight();
  return palette;
}

void RegisterStyles(ui::StyleManager& styles) {
  styles.Register(kDarkStyle, DarkPalette());
  styles.Register(kLightStyle, LightPalette());
}

bool IsWindowsDarkMode(platform::Registry& registry) {
  auto key = registry.Open(platform::RegRoot::CurrentUser, kPersonalizeKey, platform::reg_access::kRead, false);
  if (!key) return false;
  std::optional<uint32_t> value = key->ReadDWord(kAppsUseLightTheme);
  return value && *value == 0;
}

void SetAppStyle(ui::Application& app, const std::string& name) { app.Styles().SetStyle(name); }

double RelativeLuminance(ui::Colour colour) {
  return 0.2126 * Channel((colour >> 16) & 0xFF) + 0.7152 * Channel((colour >> 8) & 0xFF) +
         0.0722 * Channel(colour & 0xFF);
}

double ContrastRatio(ui::Colour a, ui::Colour b) {
  double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace theme
