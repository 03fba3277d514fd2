#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/System.h"
#include "platform/VersionResources.h"

namespace fakes {

// Records every call in `events` so tests can check the order of start-up steps.
class FakeSystem : public platform::System {
 public:
  std::vector<std::string>& events;
  std::set<std::string> mutexes;
  platform::OsVersion os{10, 0, 19045};
  std::string program_path = "C:\\Program Files\\Velmora\\Velmora.exe";
  std::set<std::string> files;
  uint32_t thread_locale = 0;

  explicit FakeSystem(std::vector<std::string>& log) : events(log) {}

  bool OpenNamedMutex(const std::string& name) override {
    events.push_back("OpenMutex " + name);
    return mutexes.count(name) != 0;
  }
  void CreateNamedMutex(const std::string& name) override {
    events.push_back("CreateMutex " + name);
    mutexes.insert(name);
  }
  void SetThreadLocale(uint32_t lcid) override {
    events.push_back("SetThreadLocale " + std::to_string(lcid));
    thread_locale = lcid;
  }
  platform::OsVersion GetOsVersion() override { return os; }
  std::string ProgramPath() override { return program_path; }
  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  std::string AppDataFolder() override { return app_data; }
  unsigned AnsiCodePage() override { return code_page; }

  std::string app_data = "C:\\Users\\user\\AppData\\Roaming";
  unsigned code_page = 1251;
};

// Hands out prepared version resource blocks by file path.
class FakeVersionResources : public platform::VersionResources {
 public:
  std::map<std::string, std::vector<uint8_t>> blocks;
  std::optional<std::vector<uint8_t>> Load(const std::string& file) override {
    auto it = blocks.find(file);
    if (it == blocks.end()) return std::nullopt;
    return it->second;
  }
};

}  // namespace fakes
