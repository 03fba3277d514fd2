// UDP sockets for timing DNS servers (Winsock), and the clipboard.
#pragma once

#include <map>
#include <optional>
#include <memory>

#include "platform/Clipboard.h"
#include "platform/DnsTransport.h"

namespace platform::win32 {

class Win32DnsTransport : public platform::DnsTransport {
 public:
  Win32DnsTransport();
  ~Win32DnsTransport() override;
  bool HasIpv6() override;
  int Open(const std::string& address, uint16_t port, std::string& error) override;
  bool Send(int socket, const std::vector<uint8_t>& data, std::string& error) override;
  std::optional<DnsDatagram> Receive(uint64_t timeout_us) override;
  void Close(int socket) override;

 private:
  struct Socket;
  bool Start();
  std::optional<DnsDatagram> ReadFrom(int handle, Socket& socket);
  bool started_ = false;
  int next_ = 1;
  size_t rotation_ = 0;
  std::map<int, std::unique_ptr<Socket>> sockets_;
};

class Win32Clipboard : public platform::Clipboard {
 public:
  bool SetText(const std::string& text) override;
};

}  // namespace platform::win32
