#pragma once

#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Processes.h"
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
  std::string system_folder = "C:\\Windows\\system32";
  std::string SystemFolder() override { return system_folder; }
  bool FileExists(const std::string& path) override { return files.count(path) != 0; }
  std::string AppDataFolder() override { return app_data; }
  unsigned AnsiCodePage() override { return code_page; }
  std::string TimeSeparator() override { return time_separator; }
  std::string time_separator = ":";
  std::optional<std::vector<platform::AdapterInfo>> adapters = std::vector<platform::AdapterInfo>{};
  std::optional<std::vector<platform::AdapterInfo>> AdapterList() override { return adapters; }

  std::optional<std::string> user_name = std::string("user");
  std::optional<std::string> UserName() override { return user_name; }
  std::optional<std::string> computer_name = std::string("desktop-1");
  std::optional<std::string> ComputerDnsHostName() override { return computer_name; }
  std::string host_address = "127.0.0.1";
  std::string HostAddress() override { return host_address; }
  int settings_changed_notices = 0;
  bool InternetSettingsChanged() override {
    events.push_back("InternetSettingsChanged");
    ++settings_changed_notices;
    return true;
  }

  std::vector<uint32_t> broadcasts;  // the per-window bound of each broadcast
  bool BroadcastSettingChange(uint32_t per_window_timeout_ms) override {
    events.push_back("BroadcastSettingChange");
    broadcasts.push_back(per_window_timeout_ms);
    return true;
  }

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

// Records the programs it is asked to start and the shell requests; exit codes,
// missing tools, refused shell requests and time-outs are set by the test. Like the
// real service it refuses a program path that is not a full one. Tests name a start
// by its short command line: the program's file name without folder and ".exe", a
// blank, the parameters ("net stop dnscache /y").
class FakeProcesses : public platform::Processes {
 public:
  struct Started {
    std::string path, params;
    std::string command_line;  // the short form
    bool wait;
    uint32_t timeout_ms;  // the wait's bound; 0 when not waited for
  };
  std::vector<Started> started;
  std::set<std::string> missing_tools;  // short names ("nbtstat") that cannot be started
  std::map<std::string, uint32_t> exit_codes;  // by short command line; 0 otherwise
  std::set<std::string> time_outs;  // short command lines whose process outlasts the wait

  static bool IsFullPath(const std::string& path) {
    return (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
            path[2] == '\\') ||
           path.rfind("\\\\", 0) == 0;
  }
  static std::string ShortName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
    return name;
  }
  static std::string ShortLine(const std::string& path, const std::string& params) {
    return ShortName(path) + " " + params;
  }

  platform::ProcessOutcome Execute(const std::string& path, const std::string& params, bool wait,
                                   uint32_t timeout_ms) override {
    platform::ProcessOutcome outcome;
    if (!IsFullPath(path)) {
      outcome.error = "not a full program path: " + path;
      return outcome;
    }
    if (missing_tools.count(ShortName(path))) {
      outcome.error = "The system cannot find the file specified.";
      return outcome;
    }
    std::string line = ShortLine(path, params);
    started.push_back({path, params, line, wait, wait ? timeout_ms : 0});
    outcome.started = true;
    if (wait) {
      if (time_outs.count(line)) {
        outcome.timed_out = true;
        return outcome;
      }
      auto code = exit_codes.find(line);
      outcome.exit_code = code == exit_codes.end() ? 0u : code->second;
    }
    return outcome;
  }

  struct ShellRequest {
    std::string file, params;
    bool waited;
    uint32_t timeout_ms;
  };
  std::vector<ShellRequest> shell_requests;
  std::map<std::string, int> shell_results;  // by short name; 42 (accepted) otherwise
  std::map<std::string, uint32_t> shell_exit_codes;  // by parameters; 0 otherwise
  std::set<std::string> shell_time_outs;  // parameters whose process outlasts the wait
  int ShellOpen(const std::string& file, const std::string& params) override {
    shell_requests.push_back({file, params, false, 0});
    if (!IsFullPath(file)) return 2;
    auto result = shell_results.find(ShortName(file));
    return result == shell_results.end() ? 42 : result->second;
  }
  platform::ProcessOutcome ShellOpenAndWait(const std::string& file, const std::string& params,
                                            uint32_t timeout_ms) override {
    shell_requests.push_back({file, params, true, timeout_ms});
    platform::ProcessOutcome outcome;
    if (!IsFullPath(file)) {
      outcome.error = "not a full program path: " + file;
      return outcome;
    }
    if (auto result = shell_results.find(ShortName(file)); result != shell_results.end() && result->second <= 32) {
      outcome.error = "The system cannot find the file specified.";
      return outcome;
    }
    outcome.started = true;
    if (shell_time_outs.count(params)) {
      outcome.timed_out = true;
      return outcome;
    }
    auto code = shell_exit_codes.find(params);
    outcome.exit_code = code == shell_exit_codes.end() ? 0u : code->second;
    return outcome;
  }
};

// A clock that tests set; pauses are recorded and pass at once.
class FakeClock : public platform::Clock {
 public:
  platform::LocalTime now{12, 0, 0};
  platform::LocalDate today{2026, 12, 11};
  platform::LocalDate Today() override { return today; }
  uint32_t ticks = 1000;
  std::vector<uint32_t> sleeps;
  platform::LocalTime Now() override { return now; }
  uint32_t TickCount() override { return ticks; }
  void Sleep(uint32_t ms) override {
    sleeps.push_back(ms);
    ticks += ms;
  }
};

}  // namespace fakes
