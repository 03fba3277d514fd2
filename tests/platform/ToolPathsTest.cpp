// Where console tools are taken from: the system folder for the system's own, the
// system folder or the program's folder for devcon, and nowhere else.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fakes/FakeSystem.h"
#include "platform/ToolPaths.h"

namespace {

TEST(ToolPaths, SystemToolsComeFromTheSystemFolderAndNothingIsSearched) {
  struct Case {
    const char* tool;
    std::set<std::string> files;  // files that exist
    const char* path;             // empty: not found
  } cases[] = {
      {"netsh", {}, "C:\\Windows\\system32\\netsh.exe"},
      {"NetSh.EXE", {}, "C:\\Windows\\system32\\netsh.exe"},
      {"ipconfig", {}, "C:\\Windows\\system32\\ipconfig.exe"},
      {"net", {}, "C:\\Windows\\system32\\net.exe"},
      {"sc", {}, "C:\\Windows\\system32\\sc.exe"},
      {"arp", {}, "C:\\Windows\\system32\\arp.exe"},
      // Not installed on every system: still only ever started from there.
      {"nbtstat", {}, "C:\\Windows\\system32\\nbtstat.exe"},
      {"winmgmt", {}, "C:\\Windows\\system32\\wbem\\winmgmt.exe"},
      {"powershell.exe", {}, "C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe"},
      {"powershell", {}, "C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe"},
      // A copy beside the program does not replace a system tool.
      {"netsh", {"C:\\Program Files\\Velmora\\netsh.exe"}, "C:\\Windows\\system32\\netsh.exe"},
      // devcon: the system folder first, then beside the program, else not found.
      {"devcon", {}, ""},
      {"devcon", {"C:\\Program Files\\Velmora\\devcon.exe"}, "C:\\Program Files\\Velmora\\devcon.exe"},
      {"devcon", {"C:\\Program Files\\Velmora\\devcon.exe", "C:\\Windows\\system32\\devcon.exe"},
       "C:\\Windows\\system32\\devcon.exe"},
      {"devcon", {"C:\\Users\\user\\devcon.exe", "devcon.exe", ".\\devcon.exe"}, ""},
      // Names that are no known tool, and paths: never started.
      {"cmdx", {}, ""},
      {"C:\\Users\\user\\netsh.exe", {"C:\\Users\\user\\netsh.exe"}, ""},
      {".\\netsh", {}, ""},
      {"..\\system32\\netsh", {}, ""},
      {"", {}, ""},
  };
  std::vector<std::string> events;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " with " + std::to_string(c.files.size()) + " files");
    fakes::FakeSystem system{events};
    system.files = c.files;
    platform::ToolLocation location = platform::LocateTool(system, c.tool);
    EXPECT_EQ(location.path, c.path);
    EXPECT_EQ(location.Found(), *c.path != '\0');
    if (!location.Found()) {
      EXPECT_FALSE(location.error.empty()) << "a reason for the log";
    }
  }
}

TEST(ToolPaths, TheSystemFolderIsTheOneThePlatformReports) {
  std::vector<std::string> events;
  fakes::FakeSystem system{events};
  system.system_folder = "D:\\WINNT\\System32";
  system.program_path = "E:\\Tools\\Velmora.exe";
  system.files = {"E:\\Tools\\devcon.exe"};
  EXPECT_EQ(platform::LocateTool(system, "arp").path, "D:\\WINNT\\System32\\arp.exe");
  EXPECT_EQ(platform::LocateTool(system, "devcon").path, "E:\\Tools\\devcon.exe");
  // When the system cannot say where its folder is, nothing is started at all.
  system.system_folder.clear();
  EXPECT_FALSE(platform::LocateTool(system, "arp").Found());
  EXPECT_FALSE(platform::LocateTool(system, "devcon").Found());
}

}  // namespace
