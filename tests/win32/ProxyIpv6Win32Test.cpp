// A proxy stored with a bracketed IPv6 address ("[::1]:port") as the program's own
// requests take it: the host with its brackets, which the system's HTTP client needs
// to tell the address from the port. A proxy of the test's own on [::1] answers.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "platform/win32/Win32Http.h"
#include "proxy/ProxyText.h"

namespace {

// Takes one connection on [::1], keeps its request line and answers it.
class OneShotProxy {
 public:
  OneShotProxy() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener_ = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    int length = sizeof(address);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin6_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~OneShotProxy() {
    Finish();
    if (started_) WSACleanup();
  }
  int Port() const { return port_; }
  // Stops listening and returns the request line the proxy received, if any.
  std::string Finish() {
    if (listener_ != INVALID_SOCKET) closesocket(listener_);  // ends a wait in accept
    listener_ = INVALID_SOCKET;
    if (thread_.joinable()) thread_.join();
    return request_line_;
  }

 private:
  void Serve() {
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
    request_line_ = request.substr(0, request.find("\r\n"));
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nproxied";
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    shutdown(client, SD_SEND);
    closesocket(client);
  }

  bool started_ = false;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread thread_;
  std::string request_line_;
};

TEST(ProxyIpv6Win32, ABracketedProxyAddressReachesTheProxy) {
  OneShotProxy server;
  if (!server.Port()) GTEST_SKIP() << "this network namespace has no IPv6 loopback";
  const std::string stored = "http=[::1]:" + std::to_string(server.Port()) + ";https=127.0.0.2:1";
  std::optional<platform::HttpProxy> proxy = proxy::ProxyForScheme(stored, "http");
  ASSERT_TRUE(proxy.has_value());
  EXPECT_EQ(proxy->host, "[::1]");

  platform::HttpSettings settings;
  settings.proxy_host = proxy->host;
  settings.proxy_port = proxy->port;
  settings.connect_timeout_ms = 5000;
  settings.read_timeout_ms = 5000;
  platform::win32::Win32Http http;
  // Port 1 of localhost answers nothing: only the proxy can give this answer.
  platform::HttpResponse response = http.CreateClient(settings)->Get("http://localhost:1/through-the-proxy");
  EXPECT_TRUE(response.ok) << response.error;
  EXPECT_EQ(response.body, "proxied");
  EXPECT_EQ(server.Finish(), "GET http://localhost:1/through-the-proxy HTTP/1.1");
}

}  // namespace
