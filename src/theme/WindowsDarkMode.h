// The two built-in styles, the system's app colour mode and the switch between the
// styles.
#pragma once

#include <string>

#include "platform/Registry.h"
#include "ui/Application.h"
#include "ui/Style.h"

namespace theme {

inline constexpr char kDarkStyle[] = "Windows11 Modern Dark";
inline constexpr char kLightStyle[] = "Windows11 Modern Light";

const ui::StylePalette& DarkPalette();
const ui::StylePalette& LightPalette();

// Makes both styles known by name; the windows keep their look until one is chosen.
void RegisterStyles(ui::StyleManager& styles);

// True only when the user's app colour mode value exists and reads as 0 (apps use
// dark mode); a missing key or value means light.
bool IsWindowsDarkMode(platform::Registry& registry);

// Switches every window to the named style; a name not registered changes nothing.
void SetAppStyle(ui::Application& app, const std::string& name);

// WCAG relative luminance of a 0xRRGGBB colour, and the contrast ratio of two.
double RelativeLuminance(ui::Colour colour);
double ContrastRatio(ui::Colour a, ui::Colour b);

}  // namespace theme
