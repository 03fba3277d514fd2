#include "dnstest/DnsFixture.h"

#include "platform/WmiEcho.h"

namespace {

using dnstest_support::DnsFixture;
using dnstest_support::Reply;

TEST(PingStatusText, TheTableAndEverythingElseUnknown) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "Success"},
      {11001, "Buffer Too Small"},
      {11002, "Destination Net Unreachable"},
      {11003, "Destination Host Unreachable"},
      {11004, "Destination Protocol Unreachable"},
      {11005, "Destination Port Unreachable"},
      {11006, "No Resources"},
      {11007, "Bad Option"},
      {11008, "Hardware Error"},
      {11009, "Packet Too Big"},
      {11010, "Request Timed Out"},
      {11011, "Bad Request"},
      {11012, "Bad Route"},
      {11013, "TimeToLive Expired Transit"},
      {11014, "TimeToLive Expired Reassembly"},
      {11015, "Parameter Problem"},
      {11016, "Source Quench"},
      {11017, "Option Too Big"},
      {11018, "Bad Destination"},
      {11032, "Negotiating IPSEC"},
      {11050, "General Failure"},
      {11019, "Unknow"},
      {11025, "Unknow"},
      {11031, "Unknow"},
      {11033, "Unknow"},
      {11049, "Unknow"},
      {11000, "Unknow"},
      {1, "Unknow"},
      {-1, "Unknow"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(dnstest::DnsCheckGroup::PingStatusText(code), text) << code;
}

TEST(PingStatusQuery, QuotesTheAddressAndDoublesItsQuotes) {
  EXPECT_EQ(platform::PingStatusQuery("8.8.8.8", 32),
            "SELECT * FROM Win32_PingStatus where Address='8.8.8.8' AND BufferSize=32");
  EXPECT_EQ(platform::PingStatusQuery("a'b''c", 65535),
            "SELECT * FROM Win32_PingStatus where Address='a''b''''c' AND BufferSize=65535");
  EXPECT_EQ(platform::PingStatusQuery("", 0), "SELECT * FROM Win32_PingStatus where Address='' AND BufferSize=0");
}

using Ping = DnsFixture;

TEST_F(Ping, TheSeriesRules) {
  struct Case {
    const char* what;
    std::deque<Reply> replies;
    std::string label;
    size_t queries;
  };
  const Case cases[] = {
      {"every attempt answers: the fourth time", {{0, 12}, {0, 20}, {0, 31}, {0, 44}}, "44 ms", 4},
      {"0 ms ends the series, the label stays empty", {{0, 0}, {0, 20}}, "", 1},
      {"0 ms after a time keeps that time", {{0, 15}, {0, 0}, {0, 30}}, "15 ms", 2},
      {"a negative time ends it too", {{0, -5}}, "", 1},
      {"an error status shows its text", {{0, 15}, {11010, 0}}, "Request Timed Out", 4},
      {"the last answer wins", {{11003, 0}, {0, 25}}, "25 ms", 4},
      {"a status outside the table", {{11025, 0}}, "Unknow", 4},
      {"a null status", {{std::nullopt, 0}}, "Error processing request", 4},
      {"no ping object at all", {}, "", 4},
  };
  for (const Case& c : cases) {
    replies.clear();
    pinged.clear();
    replies["10.0.0.1"] = c.replies;
    form->DnsCheck().LabelDNS1->SetCaption("");
    form->DnsCheck().PingDNS1("10.0.0.1", 4, 32);
    EXPECT_EQ(form->DnsCheck().LabelDNS1->Caption(), c.label) << c.what;
    EXPECT_EQ(pinged.size(), c.queries) << c.what;
    EXPECT_EQ(wmi.objects_alive, 0) << c.what;
  }
  EXPECT_EQ(wmi.queries.back(), "WQL|0|SELECT * FROM Win32_PingStatus where Address='10.0.0.1' AND BufferSize=32");
  EXPECT_EQ(wmi.connects.back(), "localhost|root\\CIMV2||");
}

TEST_F(Ping, ErrorsNameWhoAnsweredInTheHint) {
  replies["10.0.0.1"] = {{11013, 0, "192.168.1.1"}};
  form->DnsCheck().PingDNS2("10.0.0.1", 1, 32);
  EXPECT_EQ(form->DnsCheck().LabelDNS2->Caption(), "TimeToLive Expired Transit");
  EXPECT_EQ(form->DnsCheck().LabelDNS2->Hint(), "192.168.1.1: TimeToLive Expired Transit");
  replies["10.0.0.1"] = {{std::nullopt, 0, "192.168.1.1"}};
  form->DnsCheck().PingDNS2("10.0.0.1", 1, 32);
  EXPECT_EQ(form->DnsCheck().LabelDNS2->Hint(), "10.0.0.1: Error processing request");
}

TEST_F(Ping, TheButtonPingsBothAddressesWithThePageDisabled) {
  form->DnsCheck().EditPreferredDNS1->SetText("10.0.0.1");
  form->DnsCheck().EditAlternativeDNS1->SetText("10.0.0.2");
  form->DnsCheck().LabelDNS1->SetCaption("old");
  form->DnsCheck().LabelDNS2->SetCaption("old");
  replies["10.0.0.1"] = {{0, 5}, {0, 6}, {0, 7}, {0, 8}};
  replies["10.0.0.2"] = {{0, 0}};
  std::vector<bool> enabled_while_pinging;
  on_ping = [&](const std::string&) { enabled_while_pinging.push_back(form->TabProxy->Enabled()); };
  form->DnsCheck().ButtonPing->Click();
  EXPECT_EQ(pinged, (std::vector<std::string>{"10.0.0.1", "10.0.0.1", "10.0.0.1", "10.0.0.1", "10.0.0.2"}));
  EXPECT_EQ(enabled_while_pinging, std::vector<bool>(5, false));
  EXPECT_TRUE(form->TabProxy->Enabled());
  EXPECT_EQ(form->DnsCheck().LabelDNS1->Caption(), "8 ms");
  EXPECT_EQ(form->DnsCheck().LabelDNS2->Caption(), "");  // under one millisecond
}

// A window program has no standard output: a failure is a time-stamped line of the
// activity log, and no box.
TEST_F(Ping, AFailureGoesToTheActivityLogAndThePageComesBack) {
  form->DnsCheck().EditPreferredDNS1->SetText("10.0.0.1");
  form->DnsCheck().EditAlternativeDNS1->SetText("10.0.0.2");
  replies["10.0.0.1"] = {{0, 9}, {0, 9}, {0, 9}, {0, 9}};
  // The second series cannot query.
  on_ping = [&](const std::string& address) {
    if (address == "10.0.0.1" && pinged.size() == 4) wmi.fail_query = true;
  };
  ui::Memo& log = *form->Commands().MemoLogCom;
  const std::vector<std::string> before = log.Lines();
  clock.now = {14, 3, 9};
  testing::internal::CaptureStdout();
  form->DnsCheck().ButtonPing->Click();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  std::vector<std::string> expected = before;
  expected.push_back("14:03:09 - WmiError:Query failed");
  EXPECT_EQ(log.Lines(), expected);
  EXPECT_TRUE(form->TabProxy->Enabled());
  EXPECT_EQ(form->DnsCheck().LabelDNS1->Caption(), "9 ms");
  EXPECT_EQ(form->DnsCheck().LabelDNS2->Caption(), "");
  EXPECT_TRUE(host.boxes.empty());

  wmi.fail_query = false;
  wmi.fail_connect = true;
  clock.now = {14, 3, 10};
  form->DnsCheck().ButtonPing->Click();
  expected.push_back("14:03:10 - WmiError:Access denied");
  EXPECT_EQ(log.Lines(), expected);
  EXPECT_EQ(form->DnsCheck().LabelDNS1->Caption(), "");
  EXPECT_TRUE(form->TabProxy->Enabled());
  EXPECT_TRUE(host.boxes.empty());

  // A series without a failure adds nothing.
  wmi.fail_connect = false;
  replies["10.0.0.1"] = {{0, 9}};
  form->DnsCheck().ButtonPing->Click();
  EXPECT_EQ(log.Lines(), expected);
}

TEST_F(Ping, StartUpEmptiesTheLabels) {
  form->FormCreate();
  EXPECT_EQ(form->DnsCheck().LabelDNS1->Caption(), "");
  EXPECT_EQ(form->DnsCheck().LabelDNS2->Caption(), "");
  EXPECT_EQ(form->DnsCheck().EditNetIP->Text(), "127.0.0.1");
}

}  // namespace
