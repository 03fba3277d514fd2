#include <atomic>
#include <future>
#include <chrono>
#include <thread>

#include "build_settings.h"
#include "dnstest/DnsFixture.h"

namespace {

using dnstest_support::DnsFixture;
using Strings = std::vector<std::string>;

struct HttpTiming : DnsFixture {
  Strings urls() const {
    Strings out;
    for (const auto& request : http.requests) out.push_back(request.url);
    return out;
  }
};

TEST_F(HttpTiming, ResultTextsOfBothOperations) {
  SetProxy(1, "127.0.0.2:3128");
  struct Case {
    const char* what;
    bool https_ok, http_ok;
    std::string first, second;
    Strings urls_per_attempt;
  };
  const Case cases[] = {
      {"HTTPS answers: its time alone", true, false, "40 ms", "40 ms", {"https://10.0.0.1"}},
      {"only HTTP answers: both tries", false, true, "60 ms", "60 ms", {"https://10.0.0.1", "http://10.0.0.1"}},
      {"neither", false, false, "Ошибка! Error 12029: refused", "Ошибка: Error 12029: refused",
       {"https://10.0.0.1", "http://10.0.0.1"}},
  };
  for (const Case& c : cases) {
    http.handler = [&](const fakes::FakeHttp::Request& request) {
      bool secure = request.url.rfind("https://", 0) == 0;
      clock.ticks += secure ? 40 : 20;
      if (secure ? c.https_ok : c.http_ok) return fakes::FakeHttp::Ok("<html>");
      return fakes::FakeHttp::Fail("Error 12029: refused");
    };
    for (bool second : {false, true}) {
      http.requests.clear();
      clock.sleeps.clear();
      if (second)
        form->DnsTest().PingThroughProxyMethod2("10.0.0.1", 2);
      else
        form->DnsTest().PingThroughProxyMethod("10.0.0.1", 2);
      EXPECT_EQ(second ? form->DnsTest().PingResultDNS2 : form->DnsTest().PingResultDNS1, second ? c.second : c.first) << c.what;
      Strings expected = c.urls_per_attempt;
      expected.insert(expected.end(), c.urls_per_attempt.begin(), c.urls_per_attempt.end());
      EXPECT_EQ(urls(), expected) << c.what;
      EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{1000}) << c.what;  // between the two attempts only
    }
  }
  EXPECT_EQ(http.clients_alive, 0);
}

TEST_F(HttpTiming, TheErrorCaptionFollowsTheCatalogue) {
  form->Find("LangError")->SetCaption("Error!");
  http.handler = [](const fakes::FakeHttp::Request&) { return fakes::FakeHttp::Fail("HTTP/1.1 404 Not Found", 404); };
  form->DnsTest().PingThroughProxyMethod("10.0.0.1", 1);
  form->DnsTest().PingThroughProxyMethod2("10.0.0.1", 1);
  EXPECT_EQ(form->DnsTest().PingResultDNS1, "Error! HTTP/1.1 404 Not Found");
  EXPECT_EQ(form->DnsTest().PingResultDNS2, "Ошибка: HTTP/1.1 404 Not Found");
  EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(HttpTiming, ClientSettingsWithAndWithoutTheProxy) {
  http.handler = [](const fakes::FakeHttp::Request&) { return fakes::FakeHttp::Ok(); };
  SetProxy(1, "proxy.local:3128");
  form->DnsTest().PingThroughProxyMethod("10.0.0.1", 1);
  SetProxy(0, std::nullopt);
  form->DnsTest().PingThroughProxyMethod("10.0.0.1", 1);
  ASSERT_EQ(http.requests.size(), 2u);
  const platform::HttpSettings& s = http.requests[0].settings;
  EXPECT_EQ(s.proxy_host, "proxy.local");
  EXPECT_EQ(s.proxy_port, 3128);
  EXPECT_EQ(s.tls_versions, platform::kTls10 | platform::kTls11 | platform::kTls12);
  EXPECT_FALSE(s.verify_certificates);
  EXPECT_EQ(s.user_agent, "Mozilla/5.0");
  EXPECT_EQ(s.accept, "");
  EXPECT_EQ(s.connect_timeout_ms, 5000u);
  EXPECT_EQ(s.read_timeout_ms, 5000u);
  EXPECT_TRUE(s.follow_redirects);
  EXPECT_EQ(http.requests[1].settings.proxy_host, "");
}

// The https try goes through the https entry, the http try through the http entry;
// a scheme without an entry goes direct.
TEST_F(HttpTiming, EachTryGoesThroughTheProxyOfItsScheme) {
  struct Case {
    const char* stored;
    platform::HttpProxy https, http;  // an empty host: direct
  };
  const Case cases[] = {
      {"http=a.local:3128;https=b.local:3129", {"b.local", 3129}, {"a.local", 3128}},
      {"http=a.local:3128", {"a.local", 3128}, {"a.local", 3128}},
      {"https=b.local:3129", {"b.local", 3129}, {"", 0}},
      {"[::1]:3128", {"[::1]", 3128}, {"[::1]", 3128}},
  };
  http.handler = [](const fakes::FakeHttp::Request& request) {
    return request.url.rfind("https://", 0) == 0 ? fakes::FakeHttp::Fail("Error 12029: refused")
                                                 : fakes::FakeHttp::Ok();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    SetProxy(1, c.stored);
    http.requests.clear();
    form->DnsTest().PingThroughProxyMethod("10.0.0.1", 1);
    ASSERT_EQ(urls(), (Strings{"https://10.0.0.1", "http://10.0.0.1"}));
    EXPECT_EQ(http.requests[0].settings.proxy_host, c.https.host);
    EXPECT_EQ(http.requests[0].settings.proxy_port, c.https.port);
    EXPECT_EQ(http.requests[1].settings.proxy_host, c.http.host);
    EXPECT_EQ(http.requests[1].settings.proxy_port, c.http.port);
  }
}

TEST_F(HttpTiming, AStopDuringTheFirstAttemptSkipsTheSecond) {
  SetProxy(1, "127.0.0.2:3128");
  http.handler = [&](const fakes::FakeHttp::Request&) {
    clock.ticks += 70;
    form->DnsTest().StopDNSTest = true;  // "Стоп" pressed while the request runs
    return fakes::FakeHttp::Ok();
  };
  form->DnsTest().PingThroughProxyMethod("10.0.0.1", 2);
  EXPECT_EQ(form->DnsTest().PingResultDNS1, "70 ms");
  EXPECT_EQ(http.requests.size(), 1u);
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{1000});  // the pause still passes

  form->DnsTest().StopDNSTest = false;
  http.requests.clear();
  form->DnsTest().PingThroughProxyMethod2("10.0.0.1", 0);
  EXPECT_TRUE(http.requests.empty());
  EXPECT_EQ(http.clients_alive, 0);
}

TEST_F(HttpTiming, TheTickCounterMayWrap) {
  clock.ticks = 0xFFFFFFF0u;
  http.handler = [&](const fakes::FakeHttp::Request&) {
    clock.ticks += 0x20;
    return fakes::FakeHttp::Ok();
  };
  form->DnsTest().PingThroughProxyMethod("10.0.0.1", 1);
  EXPECT_EQ(form->DnsTest().PingResultDNS1, "32 ms");
}

using PublicIp = DnsFixture;

TEST_F(PublicIp, AsksTheEchoServiceThroughTheProxyWhenThereIsOne) {
  http.handler = [](const fakes::FakeHttp::Request&) { return fakes::FakeHttp::Ok("203.0.113.7"); };
  SetProxy(1, "127.0.0.2:8080");
  EXPECT_EQ(form->DnsCheck().GetMyRealIP(), "203.0.113.7");
  SetProxy(0, std::nullopt);
  EXPECT_EQ(form->DnsCheck().GetMyRealIP(), "203.0.113.7");
  // Switched on but without a port: not a usable proxy.
  SetProxy(1, "127.0.0.2");
  EXPECT_EQ(form->DnsCheck().GetMyRealIP(), "203.0.113.7");

  ASSERT_EQ(http.requests.size(), 3u);
  EXPECT_EQ(http.requests[0].url, std::string("https://") + VELMORA_IP_ECHO_HOST + "/ip");
  const platform::HttpSettings& s = http.requests[0].settings;
  EXPECT_EQ(s.proxy_host, "127.0.0.2");
  EXPECT_EQ(s.proxy_port, 8080);
  EXPECT_EQ(s.tls_versions, platform::kTls12);
  EXPECT_FALSE(s.verify_certificates);
  EXPECT_EQ(s.user_agent, "Delphi WebDAV Client");
  EXPECT_EQ(s.accept, "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
  EXPECT_EQ(s.connect_timeout_ms, 0u);
  EXPECT_EQ(s.read_timeout_ms, 0u);
  EXPECT_TRUE(s.follow_redirects);
  EXPECT_EQ(http.requests[1].settings.proxy_host, "");
  EXPECT_EQ(http.requests[2].settings.proxy_host, "");
}

// The lookup is an https request: the https entry of a per-scheme value, else the
// http one, else none.
TEST_F(PublicIp, TheLookupTakesTheHttpsEntryOfAPerSchemeProxy) {
  http.handler = [](const fakes::FakeHttp::Request&) { return fakes::FakeHttp::Ok("203.0.113.7"); };
  const std::pair<const char*, platform::HttpProxy> cases[] = {
      {"http=a.local:3128;https=b.local:3129", {"b.local", 3129}},
      {"https=b.local:3129;http=a.local:3128", {"b.local", 3129}},
      {"http=a.local:3128", {"a.local", 3128}},
      {"ftp=c.local:21", {"", 0}},
  };
  for (const auto& [stored, proxy] : cases) {
    SCOPED_TRACE(stored);
    SetProxy(1, stored);
    http.requests.clear();
    EXPECT_EQ(form->DnsCheck().GetMyRealIP(), "203.0.113.7");
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_EQ(http.requests[0].settings.proxy_host, proxy.host);
    EXPECT_EQ(http.requests[0].settings.proxy_port, proxy.port);
  }
}

TEST_F(PublicIp, AFailedLookupGivesTheMachinesOwnAddress) {
  system.host_address = "192.168.7.9";
  for (auto reply : {fakes::FakeHttp::Fail("Error 12029: refused"), fakes::FakeHttp::Fail("HTTP/1.1 404 Not Found", 404)}) {
    http.handler = [&](const fakes::FakeHttp::Request&) { return reply; };
    EXPECT_EQ(form->DnsCheck().GetMyRealIP(), "192.168.7.9");
  }
}

struct RealIpThread : DnsFixture {
  // Lets the UI thread carry out the worker's hand-overs until it has finished.
  void WaitForLookups() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (form->DnsCheck().RealIPThreadsRunning() > 0 && std::chrono::steady_clock::now() < deadline) {
      application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    application->ProcessMessages();
    ASSERT_EQ(form->DnsCheck().RealIPThreadsRunning(), 0);
  }
};

TEST_F(RealIpThread, TheBoxShowsLoopbackWhileTheWorkerAsksThenTheAnswer) {
  form->DnsCheck().EditNetIP->SetText("old");
  std::string shown_during_request;
  http.handler = [&](const fakes::FakeHttp::Request&) {
    // The first hand-over has been carried out before the request starts.
    shown_during_request = form->DnsCheck().EditNetIP->Text();
    return fakes::FakeHttp::Ok("198.51.100.4");
  };
  form->DnsCheck().LabelGetIP->Click();
  WaitForLookups();
  EXPECT_EQ(shown_during_request, "127.0.0.1");
  EXPECT_EQ(form->DnsCheck().EditNetIP->Text(), "198.51.100.4");
}

TEST_F(RealIpThread, WithoutAnyAddressTheBoxKeepsLoopback) {
  system.host_address = "";
  form->DnsCheck().EditNetIP->SetText("old");
  form->DnsCheck().LabelGetIPClick();
  WaitForLookups();
  EXPECT_EQ(form->DnsCheck().EditNetIP->Text(), "127.0.0.1");
}

TEST_F(RealIpThread, ClosingTheWindowDuringALookupDropsItsAnswer) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> asking{false};
  http.handler = [&](const fakes::FakeHttp::Request&) {
    asking = true;
    released.wait();
    return fakes::FakeHttp::Ok("198.51.100.4");
  };
  form->DnsCheck().LabelGetIP->Click();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!asking && std::chrono::steady_clock::now() < deadline) application->ProcessMessages();
  ASSERT_TRUE(asking);
  ui::WorkerLink link = application->GetWorkers().Link();
  application.reset();  // the window and its box are gone
  form = nullptr;
  release.set_value();
  while (link.Running() > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_EQ(link.Running(), 0) << "the worker ends although its answer has nowhere to go";
}

}  // namespace
