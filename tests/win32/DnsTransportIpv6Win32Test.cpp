// The Winsock transport over IPv6 loopback: ::1 counts as reachable on a machine with
// no other IPv6 (the test namespace has loopback only), and a query really goes there
// and its answer comes back on the query's socket.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/Win32DnsTransport.h"

namespace {

struct WinsockSocket {
  SOCKET s = INVALID_SOCKET;
  ~WinsockSocket() {
    if (s != INVALID_SOCKET) closesocket(s);
  }
};

TEST(DnsTransportWin32, TheIpv6LoopbackAddressIsReachedAndAnswers) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  platform::win32::Win32DnsTransport transport;
  ASSERT_TRUE(transport.CanReachIpv6("::1")) << "loopback counts as IPv6";
  EXPECT_FALSE(transport.CanReachIpv6("127.0.0.1")) << "not an IPv6 address";
  EXPECT_FALSE(transport.CanReachIpv6("not an address"));

  // A responder of the test's own on ::1, on a port the system picks.
  WinsockSocket responder;
  responder.s = socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
  ASSERT_NE(responder.s, INVALID_SOCKET);
  sockaddr_in6 local{};
  local.sin6_family = AF_INET6;
  local.sin6_addr = in6addr_loopback;
  ASSERT_EQ(bind(responder.s, reinterpret_cast<sockaddr*>(&local), sizeof(local)), 0) << WSAGetLastError();
  int length = sizeof(local);
  ASSERT_EQ(getsockname(responder.s, reinterpret_cast<sockaddr*>(&local), &length), 0);
  const uint16_t port = ntohs(local.sin6_port);
  DWORD timeout_ms = 3000;
  setsockopt(responder.s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms), sizeof(timeout_ms));

  std::string error;
  const int handle = transport.Open("::1", port, error);
  ASSERT_GE(handle, 0) << error;
  const std::vector<uint8_t> query = {0x12, 0x34, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(transport.Send(handle, query, error)) << error;

  char buffer[512];
  sockaddr_in6 from{};
  int from_length = sizeof(from);
  const int got = recvfrom(responder.s, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &from_length);
  ASSERT_EQ(got, static_cast<int>(query.size())) << "the query arrives at ::1";
  buffer[2] |= static_cast<char>(0x80);  // an answer
  ASSERT_EQ(sendto(responder.s, buffer, got, 0, reinterpret_cast<sockaddr*>(&from), from_length), got);

  const auto answer = transport.Receive(3000000);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->socket, handle);
  EXPECT_EQ(answer->from_address, "::1");
  EXPECT_EQ(answer->from_port, port);
  ASSERT_EQ(answer->data.size(), query.size());
  EXPECT_EQ(answer->data[0], 0x12);
  transport.Close(handle);
  WSACleanup();
}

}  // namespace
