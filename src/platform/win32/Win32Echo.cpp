#include "platform/win32/Win32Echo.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <objbase.h>

#include <vector>

#include "platform/WmiEcho.h"

namespace platform::win32 {

namespace {

// The management service's own default wait for an echo reply.
constexpr uint32_t kEchoTimeoutMs = 1000;

class Win32EchoSession : public platform::EchoSession {
 public:
  // Without `wmi` the series uses the ICMP functions only.
  Win32EchoSession(platform::Wmi* wmi, std::atomic<bool>& wmi_pings) : wmi_pings_(wmi_pings) {
    if (!wmi) return;
    // The series initialises COM for its thread and undoes it at its end.
    com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    try {
      wmi_ = std::make_unique<platform::WmiEchoSession>(*wmi);
    } catch (...) {
      if (com_) CoUninitialize();
      throw;
    }
  }
  ~Win32EchoSession() override {
    wmi_.reset();
    if (com_) CoUninitialize();
  }

  std::optional<platform::EchoReply> Send(const std::string& address, uint16_t buffer_size) override {
    if (wmi_) {
      std::optional<platform::EchoReply> reply = wmi_->Send(address, buffer_size);
      if (reply) return reply;
      // No ping object at all: this system's management service does not ping.
      wmi_pings_ = false;
      wmi_.reset();
    }
    return IcmpEcho(address, buffer_size, kEchoTimeoutMs);
  }

 private:
  std::atomic<bool>& wmi_pings_;
  bool com_ = false;
  std::unique_ptr<platform::WmiEchoSession> wmi_;
};

}  // namespace

platform::EchoReply IcmpEcho(const std::string& address, uint16_t buffer_size, uint32_t timeout_ms) {
  platform::EchoReply reply;
  reply.address = address;
  IN_ADDR target{};
  if (InetPtonA(AF_INET, address.c_str(), &target) != 1) return reply;  // no status: not an address
  HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) {
    reply.status = IP_GENERAL_FAILURE;
    return reply;
  }
  std::vector<char> data(buffer_size, 'a');
  std::vector<char> answer(sizeof(ICMP_ECHO_REPLY) + buffer_size + 8 + 64);
  DWORD count = IcmpSendEcho(icmp, target.S_un.S_addr, data.data(), buffer_size, nullptr, answer.data(),
                             static_cast<DWORD>(answer.size()), timeout_ms);
  DWORD error = GetLastError();
  IcmpCloseHandle(icmp);
  if (count == 0) {
    reply.status = (error >= IP_STATUS_BASE && error <= IP_STATUS_BASE + 999) ? error : IP_GENERAL_FAILURE;
    return reply;
  }
  const auto* echo = reinterpret_cast<const ICMP_ECHO_REPLY*>(answer.data());
  reply.status = echo->Status;
  reply.response_time = echo->RoundTripTime;
  IN_ADDR from{};
  from.S_un.S_addr = echo->Address;
  char text[INET_ADDRSTRLEN] = {};
  if (InetNtopA(AF_INET, &from, text, sizeof(text))) reply.address = text;
  return reply;
}

std::unique_ptr<platform::EchoSession> Win32Echo::Open() {
  return std::make_unique<Win32EchoSession>(wmi_pings_ ? &wmi_ : nullptr, wmi_pings_);
}

}  // namespace platform::win32
