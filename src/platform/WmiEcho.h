// Echo requests through the management service: each request is a query for one
// Win32_PingStatus object, which performs the echo and reports its outcome.
#pragma once

#include "platform/Echo.h"
#include "platform/Wmi.h"

namespace platform {

// The query of one request: the address as a single-quoted text with every quote
// inside it doubled, the buffer size in decimal.
std::string PingStatusQuery(const std::string& address, uint16_t buffer_size);

class WmiEchoSession : public EchoSession {
 public:
  explicit WmiEchoSession(Wmi& wmi);
  std::optional<EchoReply> Send(const std::string& address, uint16_t buffer_size) override;

 private:
  std::unique_ptr<WmiLocator> locator_;
  std::unique_ptr<WmiServices> services_;
};

class WmiEcho : public Echo {
 public:
  explicit WmiEcho(Wmi& wmi) : wmi_(wmi) {}
  std::unique_ptr<EchoSession> Open() override { return std::make_unique<WmiEchoSession>(wmi_); }

 private:
  Wmi& wmi_;
};

}  // namespace platform
