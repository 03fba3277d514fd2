// A proxy stored with a bracketed IPv6 address ("[::1]:port") as the program's own
// requests take it: the host with its brackets, which the system's HTTP client needs
// to tell the address from the port. A proxy of the test's own on [::1] answers.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32Http.h"
#include "proxy/ProxyText.h"

namespace {

// Answers every request on [::1] with "proxied" and keeps the request lines.
class LoopbackV6Server {
 public:
  LoopbackV6Server() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    int length = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin6_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackV6Server() {
    Finish();
    if (started_) WSACleanup();
  }
  int Port() const { return port_; }
  // Stops listening and returns the request lines received.
  std::vector<std::string> Finish() {
    if (listener_ != INVALID_SOCKET) closesocket(listener_);  // ends a wait in accept
    listener_ = INVALID_SOCKET;
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    return request_lines_;
  }

 private:
  void Serve() {
    for (;;) {
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      DWORD timeout = 10000;
      setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        int n = recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      {
        std::lock_guard lock(mutex_);
        request_lines_.push_back(request.substr(0, request.find("\r\n")));
      }
      const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nproxied";
      send(client, answer.data(), static_cast<int>(answer.size()), 0);
      shutdown(client, SD_SEND);
      closesocket(client);
    }
  }

  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> request_lines_;
};

platform::HttpSettings Settings() {
  platform::HttpSettings settings;
  settings.connect_timeout_ms = 5000;
  settings.read_timeout_ms = 5000;
  return settings;
}

TEST(ProxyIpv6Win32, ABracketedProxyAddressReachesTheProxy) {
  LoopbackV6Server server;
  if (!server.Port()) GTEST_SKIP() << "this network namespace has no IPv6 loopback";
  const std::string stored = "http=[::1]:" + std::to_string(server.Port()) + ";https=127.0.0.2:1";
  std::optional<platform::HttpProxy> proxy = proxy::ProxyForScheme(stored, "http");
  ASSERT_TRUE(proxy.has_value());
  EXPECT_EQ(proxy->host, "[::1]");
  EXPECT_EQ(proxy->port, server.Port());

  platform::win32::Win32Http http;
  // Wine 8's WinHTTP resolves an IPv6 literal as a host name and fails (12007), also
  // without a proxy; where the client cannot reach [::1] at all, there is nothing to
  // show.
  platform::HttpResponse direct =
      http.CreateClient(Settings())->Get("http://[::1]:" + std::to_string(server.Port()) + "/direct");
  if (!direct.ok) GTEST_SKIP() << "this system's HTTP client reaches no IPv6 literal: " << direct.error;

  platform::HttpSettings settings = Settings();
  settings.proxy_host = proxy->host;
  settings.proxy_port = proxy->port;
  // Port 1 of localhost answers nothing: only the proxy can give this answer.
  platform::HttpResponse response = http.CreateClient(settings)->Get("http://localhost:1/through-the-proxy");
  EXPECT_TRUE(response.ok) << response.error;
  EXPECT_EQ(response.body, "proxied");
  const std::vector<std::string> lines = server.Finish();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "GET http://localhost:1/through-the-proxy HTTP/1.1");
}

}  // namespace
