// The user's proxy values in the prefix's registry, set by a test and put back as they
// were at its end.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Registry.h"

namespace win32_test {

class ProxyValues {
 public:
  static constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

  explicit ProxyValues(platform::Registry& registry) {
    key_ = registry.Open(platform::RegRoot::CurrentUser, kInternetSettings, platform::reg_access::kAllAccess, true);
    enable_ = key_->ReadDWord("ProxyEnable");
    server_ = key_->ReadString("ProxyServer");
  }
  ~ProxyValues() {
    if (enable_) key_->WriteDWord("ProxyEnable", *enable_); else key_->DeleteValue("ProxyEnable");
    if (server_) key_->WriteString("ProxyServer", *server_); else key_->DeleteValue("ProxyServer");
  }
  ProxyValues(const ProxyValues&) = delete;
  ProxyValues& operator=(const ProxyValues&) = delete;

  void Set(uint32_t enable, const std::string& server) {
    key_->WriteDWord("ProxyEnable", enable);
    key_->WriteString("ProxyServer", server);
  }

 private:
  std::unique_ptr<platform::RegistryKey> key_;
  std::optional<uint32_t> enable_;
  std::optional<std::string> server_;
};

}  // namespace win32_test
