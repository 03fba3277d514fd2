// Where the program keeps its files: "Config" beside the program when a portable.ini
// is there, otherwise under the user's application data, in the maker's folder.
#pragma once

#include <string>

#include "shell/Services.h"

namespace shell {

// Whether the program runs portable (a portable.ini beside it).
bool RunsPortable(Services& services);
// The settings folder, without a trailing separator; created when missing.
std::string SettingsFolder(Services& services, bool portable, const std::string& title);

}  // namespace shell
