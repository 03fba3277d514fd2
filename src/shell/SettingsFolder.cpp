#include "shell/SettingsFolder.h"

#include "common/FileInfoUtils.h"

namespace shell {

namespace {

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

std::string ProgramFolder(Services& services) {
  std::string path = services.system.ProgramPath();
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool RunsPortable(Services& services) { return services.system.FileExists(ProgramFolder(services) + "portable.ini"); }

std::string SettingsFolder(Services& services, bool portable, const std::string& title) {
  std::string folder;
  if (portable) {
    folder = ProgramFolder(services) + "Config";
  } else {
    // An empty maker name still adds its separator: the path then holds "\\".
    folder = WithSeparator(services.system.AppDataFolder()) +
             WithSeparator(common::GetCompanyName(services.versions, services.system.ProgramPath())) + title +
             "\\Config";
  }
  services.files.CreateDirectories(folder);
  return folder;
}

}  // namespace shell
