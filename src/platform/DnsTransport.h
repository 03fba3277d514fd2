// Sockets for timing DNS servers: one socket (or TCP connection) per query, so that
// every query has a source port of its own and an answer is matched to the socket it
// came back on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct DnsDatagram {
  int socket = -1;  // the handle it arrived on
  std::vector<uint8_t> data;
  std::string from_address;  // numeric text, as given to Open
  uint16_t from_port = 0;
};

class DnsTransport {
 public:
  virtual ~DnsTransport() = default;
  // True when a socket to this numeric IPv6 address can be opened and the system has a
  // way to it (the loopback address ::1 included, with or without any other IPv6).
  virtual bool CanReachIpv6(const std::string& address) = 0;
  // A socket on a fresh source port aimed at a numeric IPv4 or IPv6 address. A handle
  // of 0 or more, or -1 with the reason in `error`.
  virtual int Open(const std::string& address, uint16_t port, std::string& error) = 0;
  // A TCP connection to a numeric address, made in the background: Send frames each
  // message with its length (and holds it until the connection stands), Receive gives
  // each whole answer as a datagram of this handle. -1 with the reason in `error` when
  // the connection cannot even be started.
  virtual int OpenStream(const std::string& address, uint16_t port, std::string& error) {
    (void)address;
    (void)port;
    error = "TCP is not available";
    return -1;
  }
  virtual bool Send(int socket, const std::vector<uint8_t>& data, std::string& error) = 0;
  // Waits at most `timeout_us` for a datagram on any open socket.
  virtual std::optional<DnsDatagram> Receive(uint64_t timeout_us) = 0;
  virtual void Close(int socket) = 0;
};

}  // namespace platform
