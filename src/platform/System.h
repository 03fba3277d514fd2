// Process-wide facts and services of the operating system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Major, minor and build number of the running system, filled once at start.
struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  bool operator==(const OsVersion&) const = default;
};

// One record of the system's IPv4 adapter list.
struct AdapterInfo {
  std::string name;         // the system's identifier, a braced GUID
  std::string description;  // the system's text
  std::vector<uint8_t> address;  // hardware address bytes
};

class System {
 public:
  virtual ~System() = default;
  // The single-instance lock: true when a named mutex of that name already exists.
  virtual bool OpenNamedMutex(const std::string& name) = 0;
  // Creates the named mutex and keeps its handle for the life of the process.
  virtual void CreateNamedMutex(const std::string& name) = 0;
  virtual void SetThreadLocale(uint32_t lcid) = 0;
  // The version record read at process start.
  virtual OsVersion GetOsVersion() = 0;
  // Full path of the running program file.
  virtual std::string ProgramPath() = 0;
  // The system folder (System32) as the system reports it, without a trailing
  // separator; empty when the system cannot say. Console tools start only from here.
  virtual std::string SystemFolder() = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // The user's roaming application-data folder; empty when the system cannot say.
  virtual std::string AppDataFolder() = 0;
  // The system's ANSI code page (1251 on a Russian system).
  virtual unsigned AnsiCodePage() = 0;
  // The time separator of the user's regional settings (":" in most).
  virtual std::string TimeSeparator() = 0;
  // The IPv4 adapter list in the system's order; nullopt when it cannot be read.
  virtual std::optional<std::vector<AdapterInfo>> AdapterList() = 0;
  // The account name of the user running the program; nullopt when it cannot be read.
  virtual std::optional<std::string> UserName() = 0;
  // The computer's DNS host name; nullopt when it cannot be read.
  virtual std::optional<std::string> ComputerDnsHostName() = 0;
  // The first IPv4 address that the machine's own host name resolves to, dotted;
  // empty when the name does not resolve. Safe on any thread.
  virtual std::string HostAddress() = 0;
  // Tells running programs that the per-user internet settings changed.
  // The result says whether the system took the notice.
  virtual bool InternetSettingsChanged() = 0;
  // Tells every top-level window that system settings changed (WM_WININICHANGE),
  // waiting at most `per_window_timeout_ms` for each window; a thread whose window did
  // not answer in time is skipped from then on. False when some window did not answer.
  virtual bool BroadcastSettingChange(uint32_t per_window_timeout_ms) = 0;
};

}  // namespace platform
