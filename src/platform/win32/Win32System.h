#pragma once

#include "platform/System.h"

namespace platform::win32 {

class Win32System : public platform::System {
 public:
  bool OpenNamedMutex(const std::string& name) override;
  void CreateNamedMutex(const std::string& name) override;
  void SetThreadLocale(uint32_t lcid) override;
  OsVersion GetOsVersion() override;
  std::string ProgramPath() override;
  std::string SystemFolder() override;
  bool FileExists(const std::string& path) override;
  std::string AppDataFolder() override;
  unsigned AnsiCodePage() override;
  std::string TimeSeparator() override;
  std::optional<std::vector<AdapterInfo>> AdapterList() override;
  std::optional<std::string> UserName() override;
  std::optional<std::string> ComputerDnsHostName() override;
  std::string HostAddress() override;
  bool InternetSettingsChanged() override;
  bool BroadcastSettingChange(uint32_t per_window_timeout_ms) override;

  // The version record as the process start fills it: the version call, then the
  // registry's numbers above Windows 7.
  static OsVersion ReadOsVersion();
};

}  // namespace platform::win32
