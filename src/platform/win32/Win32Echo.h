// Echo requests on Windows: the management service's Win32_PingStatus query, and the
// system's ICMP functions where the management service yields no ping object at all
// (Wine's does not implement the class).
#pragma once

#include <atomic>

#include "platform/Echo.h"
#include "platform/Wmi.h"

namespace platform::win32 {

// One ICMP echo request with the system's ICMP functions, for a dotted IPv4 address.
EchoReply IcmpEcho(const std::string& address, uint16_t buffer_size, uint32_t timeout_ms);

// Once the management service has answered a ping query with no object at all, later
// series send their requests with the ICMP functions from the start: the service will
// not begin to ping, and connecting to it for every series costs tens of milliseconds
// an address.
class Win32Echo : public platform::Echo {
 public:
  explicit Win32Echo(platform::Wmi& wmi) : wmi_(wmi) {}
  std::unique_ptr<platform::EchoSession> Open() override;

 private:
  platform::Wmi& wmi_;
  std::atomic<bool> wmi_pings_{true};
};

}  // namespace platform::win32
