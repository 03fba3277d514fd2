// UDP sockets and TCP connections for timing DNS servers (Winsock), and the clipboard.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>
#include <optional>
#include <memory>

#include "platform/Clipboard.h"
#include "platform/DnsTransport.h"

namespace platform::win32 {

class Win32DnsTransport : public platform::DnsTransport {
 public:
  Win32DnsTransport();
  ~Win32DnsTransport() override;
  bool CanReachIpv6(const std::string& address) override;
  int Open(const std::string& address, uint16_t port, std::string& error) override;
  int OpenStream(const std::string& address, uint16_t port, std::string& error) override;
  bool Send(int socket, const std::vector<uint8_t>& data, std::string& error) override;
  std::optional<DnsDatagram> Receive(uint64_t timeout_us) override;
  void Close(int socket) override;

 private:
  struct Socket;
  // A socket with its event, not yet used: its first datagram gives it a fresh port.
  struct Spare {
    uintptr_t s;   // SOCKET
    void* event;   // HANDLE
  };
  static constexpr size_t kSpares = 8;
  bool Start();
  std::unique_ptr<Socket> Aimed(const std::string& address, uint16_t port, std::string& error);
  std::optional<DnsDatagram> ReadFrom(int handle, Socket& socket);
  std::optional<DnsDatagram> StreamEvents(int handle, Socket& socket);
  static void Flush(Socket& socket);
  static std::optional<Spare> Make(int family, std::string& error);
  static void Discard(const Spare& spare);
  void Helper();
  bool started_ = false;
  int next_ = 1;
  size_t rotation_ = 0;
  std::map<int, std::unique_ptr<Socket>> sockets_;
  // The helper thread's share, under mutex_: spare IPv4 sockets and used ones to close.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Spare> spares_, to_close_;
  bool spares_failed_ = false;
  bool stopping_ = false;
  std::thread helper_;
};

class Win32Clipboard : public platform::Clipboard {
 public:
  bool SetText(const std::string& text) override;
};

}  // namespace platform::win32
