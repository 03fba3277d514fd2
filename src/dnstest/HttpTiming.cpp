// HTTP requests of the DNS check: timing a server by fetching a page from its address
// through the system proxy, and the public address from the echo service.
#include "shell/Catalogue.h"
#include "adapter/AdapterPage.h"
#include "dnstest/DnsCheckGroup.h"
#include "dnstest/DnsTestPage.h"
#include "proxy/ProxyBand.h"
#include "proxy/ProxyText.h"
#include "build_settings.h"

namespace dnstest {

void DnsTestPage::PingThroughProxy(std::string& result, bool second, const std::string& address, int attempts) {
  // Each scheme's request goes through the proxy the system names for it.
  auto client_for = [&](std::string_view scheme) {
    platform::HttpSettings settings;
    settings.tls_versions = platform::kTls10 | platform::kTls11 | platform::kTls12;
    settings.verify_certificates = false;
    if (std::optional<platform::HttpProxy> proxy = shell_.SystemProxyFor(scheme)) {
      settings.proxy_host = proxy->host;
      settings.proxy_port = proxy->port;
    }
    settings.user_agent = "Mozilla/5.0";
    settings.connect_timeout_ms = 5000;
    settings.read_timeout_ms = 5000;
    settings.follow_redirects = true;
    return services_.http.CreateClient(settings);
  };
  std::unique_ptr<platform::HttpClient> https_client = client_for("https");
  std::unique_ptr<platform::HttpClient> http_client = client_for("http");
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    if (StopDNSTest) return;
    uint32_t start = services_.clock.TickCount();
    platform::HttpResponse response = https_client->Get("https://" + address);
    if (!response.ok) response = http_client->Get("http://" + address);
    if (response.ok) {
      // The time includes the failed HTTPS try when plain HTTP was needed.
      uint32_t elapsed = services_.clock.TickCount() - start;
      result = std::to_string(elapsed) + " ms";
    } else if (second) {
      result = "Ошибка: " + response.error;
    } else {
      result = Msg("LangError") + " " + response.error;
    }
    if (attempt < attempts) services_.clock.Sleep(1000);
  }
}

void DnsTestPage::PingThroughProxyMethod(const std::string& address, int attempts) {
  PingThroughProxy(PingResultDNS1, false, address, attempts);
}

void DnsTestPage::PingThroughProxyMethod2(const std::string& address, int attempts) {
  PingThroughProxy(PingResultDNS2, true, address, attempts);
}

std::string GetMyRealIP(shell::Services& services) {
  platform::HttpSettings settings;
  settings.tls_versions = platform::kTls12;
  settings.verify_certificates = false;
  settings.user_agent = "Delphi WebDAV Client";
  settings.accept = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
  settings.follow_redirects = true;
  const std::string url = std::string("https://") + VELMORA_IP_ECHO_HOST + "/ip";
  if (std::optional<platform::HttpProxy> proxy = proxy::SystemProxyFor(services.registry, proxy::SchemeOf(url))) {
    settings.proxy_host = proxy->host;
    settings.proxy_port = proxy->port;
  }
  try {
    platform::HttpResponse response = services.http.CreateClient(settings)->Get(url);
    if (response.ok) return response.body;
  } catch (...) {
    // Any failure of the lookup falls back to the machine's own address.
  }
  return adapter::GetIP(services.system);
}

void DnsCheckGroup::LabelGetIPClick() {
  // The worker holds the services and the way to the window, never the window: the
  // box is only touched by the hand-overs, which are dropped once the window is gone.
  shell::Services& services = services_;
  ui::Edit* box = EditNetIP;
  App().GetWorkers().Start("RealIPThread", [&services, box](const ui::WorkerLink& ui_thread) {
    ui_thread.Synchronize([box] { box->SetText("127.0.0.1"); });
    std::string address = dnstest::GetMyRealIP(services);
    // Without any address the box keeps "127.0.0.1".
    if (!address.empty()) ui_thread.Synchronize([box, address] { box->SetText(address); });
  });
}

int DnsCheckGroup::RealIPThreadsRunning() const { return App().GetWorkers().Running("RealIPThread"); }

}  // namespace dnstest
