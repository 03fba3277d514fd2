// HTTP requests of the DNS check: timing a server by fetching a page from its address
// through the system proxy, and the public address from the echo service.
#include <thread>

#include "app/Catalogue.h"
#include "app/MainForm.h"
#include "build_settings.h"

namespace app {

void TForm1::PingThroughProxy(std::string& result, bool second, const std::string& address, int attempts) {
  std::string proxy;
  int port = 0;
  bool enabled = false;
  GetSystemProxy(proxy, port, enabled);
  platform::HttpSettings settings;
  settings.tls_versions = platform::kTls10 | platform::kTls11 | platform::kTls12;
  settings.verify_certificates = false;
  if (enabled && !proxy.empty()) {
    settings.proxy_host = proxy;
    settings.proxy_port = port;
  }
  settings.user_agent = "Mozilla/5.0";
  settings.connect_timeout_ms = 5000;
  settings.read_timeout_ms = 5000;
  settings.follow_redirects = true;
  std::unique_ptr<platform::HttpClient> client = services_.http.CreateClient(settings);
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (StopDNSTest) return;
    uint32_t start = services_.clock.TickCount();
    platform::HttpResponse response = client->Get("https://" + address);
    if (!response.ok) response = client->Get("http://" + address);
    if (response.ok) {
      // The time includes the failed HTTPS try when plain HTTP was needed.
      uint32_t elapsed = services_.clock.TickCount() - start;
      result = std::to_string(elapsed) + " ms";
    } else if (second) {
      result = "Ошибка: " + response.error;
    } else {
      result = Msg(*this, "LangError") + " " + response.error;
    }
    if (attempt < attempts) services_.clock.Sleep(1000);
  }
}

void TForm1::PingThroughProxyMethod(const std::string& address, int attempts) {
  PingThroughProxy(PingResultDNS1, false, address, attempts);
}

void TForm1::PingThroughProxyMethod2(const std::string& address, int attempts) {
  PingThroughProxy(PingResultDNS2, true, address, attempts);
}

std::string TForm1::GetMyRealIP() {
  platform::HttpSettings settings;
  settings.tls_versions = platform::kTls12;
  settings.verify_certificates = false;
  settings.user_agent = "Delphi WebDAV Client";
  settings.accept = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
  settings.follow_redirects = true;
  std::string proxy;
  int port = 0;
  bool enabled = false;
  if (GetSystemProxy(proxy, port, enabled) && enabled) {
    settings.proxy_host = proxy;
    settings.proxy_port = port;
  }
  try {
    platform::HttpResponse response =
        services_.http.CreateClient(settings)->Get(std::string("https://") + VELMORA_IP_ECHO_HOST + "/ip");
    if (response.ok) return response.body;
  } catch (...) {
    // Any failure of the lookup falls back to the machine's own address.
  }
  return GetIP();
}

void TForm1::RealIPThreadRun() {
  try {
    App().Synchronize([this] { EditNetIP->SetText("127.0.0.1"); });
    std::string address = GetMyRealIP();
    // Without any address the box keeps "127.0.0.1".
    if (!address.empty()) App().Synchronize([this, address] { EditNetIP->SetText(address); });
  } catch (...) {
    // A worker reports nothing; the box keeps what it shows.
  }
}

void TForm1::LabelGetIPClick() {
  ++real_ip_threads_;
  std::thread([this] {
    RealIPThreadRun();
    --real_ip_threads_;
  }).detach();
}

}  // namespace app
