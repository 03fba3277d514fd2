// Where the program finds the console tools it starts. The program runs elevated, so a
// tool is never looked for along the search path or in the current folder, where an
// ordinary process of the same user could put a program of that name: the system's
// tools start from the system folder, and the one tool that is not part of the system
// (devcon) is taken from the system folder or from beside the program.
#pragma once

#include <string>
#include <string_view>

#include "platform/System.h"

namespace platform {

struct ToolLocation {
  // The full path to start; empty when the tool is not to be found.
  std::string path;
  // Why there is no path, in words for the activity log.
  std::string error;
  bool Found() const { return !path.empty(); }
};

// The full path of a console tool by its name ("netsh", "winmgmt", "powershell.exe",
// ...; case and a trailing ".exe" do not matter). The system's own tools are given
// their place in the system folder whether or not the file is there (a missing one
// then fails to start); devcon must exist in the system folder or beside the program.
// Any other name is not found.
ToolLocation LocateTool(System& system, std::string_view tool);

}  // namespace platform
