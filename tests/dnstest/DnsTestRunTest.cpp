#include "dnstest/DnsFixture.h"

namespace {

using dnstest_support::DnsFixture;
using dnstest_support::Reply;
using Strings = std::vector<std::string>;

struct DnsTestRun : DnsFixture {
  // Rows n1..nN with DNS 1 = 10.0.i.1 and DNS 2 = 10.0.i.2; the time columns hold
  // "old" so that the reset at the start shows.
  void Rows(int count) {
    form->DnsTest().ListViewDNS->Clear();
    for (int i = 1; i <= count; ++i) {
      std::string n = std::to_string(i);
      form->DnsTest().ListViewDNS->AddRow({"n" + n, {"10.0." + n + ".1", "10.0." + n + ".2", "old", "old"}, false});
    }
  }
  struct Seen {
    std::string caption, status;
    intptr_t tag;
    bool list_enabled, nav_enabled;
  };
  std::vector<Seen> seen;
  void Watch() {
    on_ping = [this](const std::string&) {
      seen.push_back({form->DnsTest().ButtonTestDNS->Caption(), form->DnsTest().StatusBar1->SimpleText(), form->DnsTest().ButtonTestDNS->Tag(),
                      form->DnsTest().TabControlDNSList->Enabled(), form->TabControlPanelNetwork->Enabled()});
    };
  }
  void ExpectIdle() {
    EXPECT_EQ(form->DnsTest().ButtonTestDNS->Caption(), "Тест DNS");
    EXPECT_EQ(form->DnsTest().ButtonTestDNS->Tag(), 0);
    EXPECT_TRUE(form->DnsTest().TabControlDNSList->Enabled());
    EXPECT_TRUE(form->TabControlPanelNetwork->Enabled());
    EXPECT_EQ(form->DnsTest().StatusBar1->SimpleText(), "");
  }
};

TEST_F(DnsTestRun, TimesEveryAddressRowByRow) {
  Rows(2);
  replies["10.0.1.1"] = {{0, 11}, {0, 12}};
  replies["10.0.1.2"] = {{0, 21}, {0, 22}};
  replies["10.0.2.1"] = {{0, 31}, {0, 32}};
  // 10.0.2.2 does not answer at all.
  Watch();
  form->DnsTest().ButtonTestDNS->Click();
  EXPECT_EQ(Column(2), (Strings{"12 ms", "32 ms"}));
  EXPECT_EQ(Column(3), (Strings{"22 ms", "0"}));
  EXPECT_EQ(pinged, (Strings{"10.0.1.1", "10.0.1.1", "10.0.1.2", "10.0.1.2", "10.0.2.1", "10.0.2.1", "10.0.2.2",
                             "10.0.2.2"}));
  ASSERT_EQ(seen.size(), 8u);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].caption, "Стоп");
    EXPECT_EQ(seen[i].status, i < 4 ? "n1" : "n2");
    EXPECT_EQ(seen[i].tag, 1);
    EXPECT_FALSE(seen[i].list_enabled);
    EXPECT_FALSE(seen[i].nav_enabled);
  }
  ExpectIdle();
  EXPECT_TRUE(form->DnsTest().StopDNSTest);
  EXPECT_EQ(form->DnsTest().ListViewDNS->VisibleRequest(), 1);  // each timed row was scrolled into view
  EXPECT_EQ(wmi.queries.back(), "WQL|0|SELECT * FROM Win32_PingStatus where Address='10.0.2.2' AND BufferSize=32");
}

TEST_F(DnsTestRun, OnlyRepliesOfOneTo500MsCount) {
  struct Case {
    const char* what;
    std::deque<Reply> replies;
    std::string result;
    size_t queries;
  };
  const Case cases[] = {
      {"both accepted: the second", {{0, 40}, {0, 45}}, "45 ms", 2},
      {"exactly 500", {{0, 9}, {0, 500}}, "500 ms", 2},
      {"1 ms", {{0, 1}, {0, 1}}, "1 ms", 2},
      {"under a millisecond", {{0, 0}, {0, 30}}, "0", 1},
      {"600 ms", {{0, 600}}, "0", 1},
      {"501 ms after an accepted one keeps the first", {{0, 70}, {0, 501}}, "70 ms", 2},
      {"an error status", {{11010, 0}}, "0", 1},
      {"a null status", {{std::nullopt, 20}}, "0", 1},
      {"a status text is never shown", {{0, 30}, {11003, 0}}, "30 ms", 2},
      {"no object", {}, "0", 2},
  };
  for (const Case& c : cases) {
    pinged.clear();
    replies["10.0.0.1"] = c.replies;
    form->DnsTest().PingResultDNS1 = "stale";
    form->DnsTest().PingDNS1Gen("10.0.0.1", 2, 32);
    EXPECT_EQ(form->DnsTest().PingResultDNS1, c.result) << c.what;
    EXPECT_EQ(pinged.size(), c.queries) << c.what;
  }
}

TEST_F(DnsTestRun, StopDuringTheThirdRow) {
  Rows(5);
  for (int i = 1; i <= 5; ++i)
    for (int a = 1; a <= 2; ++a)
      replies["10.0." + std::to_string(i) + "." + std::to_string(a)] = {{0, 10 * i + a}, {0, 10 * i + a}};
  Seen at_stop{};
  on_ping = [&](const std::string& address) {
    if (address != "10.0.3.1" || pinged.size() != 9) return;  // its first attempt
    // The click arrives while the first attempt of row three's DNS 1 is out.
    host.Post([&] {
      form->DnsTest().ButtonTestDNS->Click();
      at_stop = {form->DnsTest().ButtonTestDNS->Caption(), form->DnsTest().StatusBar1->SimpleText(), form->DnsTest().ButtonTestDNS->Tag(),
                 form->DnsTest().TabControlDNSList->Enabled(), form->TabControlPanelNetwork->Enabled()};
    });
  };
  form->DnsTest().ButtonTestDNS->Click();
  // At once: the idle caption and state, the navigation back; the list waits for the wind-down.
  EXPECT_EQ(at_stop.caption, "Тест DNS");
  EXPECT_EQ(at_stop.tag, 0);
  EXPECT_TRUE(at_stop.nav_enabled);
  EXPECT_FALSE(at_stop.list_enabled);
  EXPECT_EQ(at_stop.status, "n3");

  EXPECT_EQ(Column(2), (Strings{"11 ms", "21 ms", "31 ms", "0", "0"}));
  EXPECT_EQ(Column(3), (Strings{"12 ms", "22 ms", "0", "0", "0"}));
  EXPECT_EQ(pinged.size(), 9u);  // rows one and two in full, one attempt of row three
  ExpectIdle();
}

TEST_F(DnsTestRun, AnEmptyListStartsAndEndsAtOnce) {
  Rows(0);
  form->DnsTest().ButtonTestDNS->Click();
  EXPECT_TRUE(pinged.empty());
  ExpectIdle();
}

TEST_F(DnsTestRun, TheSystemProxySwitchesToHttpTiming) {
  Rows(1);
  replies["10.0.1.1"] = {{0, 5}, {0, 5}};
  replies["10.0.1.2"] = {{0, 6}, {0, 6}};
  http.handler = [&](const fakes::FakeHttp::Request&) {
    clock.ticks += 90;
    return fakes::FakeHttp::Ok();
  };

  // Switched on, but ProxyServer empty or naming no proxy for the timing's requests:
  // echo requests.
  for (const char* stored : {"", "ftp=c.local:21"}) {
    SCOPED_TRACE(stored);
    replies["10.0.1.1"] = {{0, 5}, {0, 5}};
    replies["10.0.1.2"] = {{0, 6}, {0, 6}};
    SetProxy(1, stored);
    form->DnsTest().ButtonTestDNS->Click();
    EXPECT_EQ(Column(2), Strings{"5 ms"});
    EXPECT_EQ(Column(3), Strings{"6 ms"});
    EXPECT_TRUE(http.requests.empty());
  }

  // A proxy for https requests alone is enough.
  pinged.clear();
  SetProxy(1, "https=127.0.0.2:3129");
  form->DnsTest().ButtonTestDNS->Click();
  EXPECT_TRUE(pinged.empty());
  EXPECT_EQ(Column(2), Strings{"90 ms"});
  http.requests.clear();
  clock.sleeps.clear();

  pinged.clear();
  SetProxy(1, "127.0.0.2:3128");
  form->DnsTest().ButtonTestDNS->Click();
  EXPECT_TRUE(pinged.empty());
  EXPECT_EQ(Column(2), Strings{"90 ms"});
  EXPECT_EQ(Column(3), Strings{"90 ms"});
  ASSERT_EQ(http.requests.size(), 4u);
  EXPECT_EQ(http.requests[0].url, "https://10.0.1.1");
  EXPECT_EQ(http.requests[2].url, "https://10.0.1.2");
  EXPECT_EQ(http.requests[0].settings.proxy_host, "127.0.0.2");
  EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1000, 1000}));
  ExpectIdle();
}

TEST_F(DnsTestRun, AnErrorEndsTheRunWithALineInTheActivityLog) {
  Rows(2);
  form->DnsTest().StatusBar1->SetSimpleText("x");
  wmi.fail_connect = true;
  ui::Memo& log = *form->Commands().MemoLogCom;
  std::vector<std::string> expected = log.Lines();
  expected.push_back("08:30:00 - WmiError:Access denied");
  clock.now = {8, 30, 0};
  testing::internal::CaptureStdout();
  form->DnsTest().ButtonTestDNS->Click();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(log.Lines(), expected);
  ExpectIdle();
  EXPECT_TRUE(form->DnsTest().StopDNSTest);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(Column(2), (Strings{"0", "0"}));
}

TEST_F(DnsTestRun, CaptionsComeFromTheCatalogue) {
  Rows(1);
  form->Find("LangStop")->SetCaption("Stop");
  form->Find("LangTestDNS")->SetCaption("DNS test");
  Watch();
  form->DnsTest().ButtonTestDNS->Click();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].caption, "Stop");
  EXPECT_EQ(form->DnsTest().ButtonTestDNS->Caption(), "DNS test");

  // Any other state value does nothing.
  form->DnsTest().ButtonTestDNS->SetTag(7);
  pinged.clear();
  form->DnsTest().ButtonTestDNS->Click();
  EXPECT_TRUE(pinged.empty());
  EXPECT_EQ(form->DnsTest().ButtonTestDNS->Tag(), 7);
}

}  // namespace
