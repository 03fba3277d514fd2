#include "platform/ToolPaths.h"

#include <cctype>

namespace platform {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The folder part of a full file path, without the trailing separator.
std::string FolderOf(const std::string& path) {
  auto at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

// The system's tools and where each lives below the system folder.
struct SystemTool {
  std::string_view name;
  std::string_view below_system_folder;
};
constexpr SystemTool kSystemTools[] = {
    {"arp", "arp.exe"},
    {"cmd", "cmd.exe"},
    {"ipconfig", "ipconfig.exe"},
    {"nbtstat", "nbtstat.exe"},
    {"net", "net.exe"},
    {"netsh", "netsh.exe"},
    {"powershell", "WindowsPowerShell\\v1.0\\powershell.exe"},
    {"sc", "sc.exe"},
    {"winmgmt", "wbem\\winmgmt.exe"},
};

// Tools that come with drivers, not with the system.
constexpr std::string_view kAddedTools[] = {"devcon"};

}  // namespace

ToolLocation LocateTool(System& system, std::string_view tool) {
  std::string name = Lower(tool);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
  std::string system_folder = system.SystemFolder();
  if (system_folder.empty()) return {{}, "the system folder is unknown"};
  for (const SystemTool& known : kSystemTools)
    if (known.name == name) return {system_folder + "\\" + std::string(known.below_system_folder), {}};
  for (std::string_view added : kAddedTools) {
    if (added != name) continue;
    std::string file = name + ".exe";
    std::string program_folder = FolderOf(system.ProgramPath());
    for (const std::string& folder : {system_folder, program_folder}) {
      if (folder.empty()) continue;
      std::string path = folder + "\\" + file;
      if (system.FileExists(path)) return {path, {}};
    }
    return {{}, file + " is neither in the system folder nor beside the program"};
  }
  return {{}, std::string(tool) + " is not a system tool"};
}

}  // namespace platform
