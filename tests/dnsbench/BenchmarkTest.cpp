// The measurement engine over an in-memory network and clock: medians, the order of
// queries, loss, hijacking, wrong ids, silence and cancellation.
#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "dnsbench/Benchmark.h"
#include "dnsbench/FakeDnsNet.h"

using namespace dnsbench;
using namespace dnsbench_test;

namespace {

struct Bench {
  MicroClock clock;
  FakeDnsNet net{clock};
  Options options;
  std::atomic<bool> cancel{false};
  std::vector<SentQuery> sent;

  Bench() { options.seed = 42; }
  std::vector<AddressResult> Run(const std::vector<Target>& targets,
                                 std::function<void(int, int)> progress = nullptr) {
    Benchmark b(net, clock, options);
    auto results = b.Run(targets, progress, cancel);
    sent = b.Sent();
    cancelled = b.Cancelled();
    return results;
  }
  bool cancelled = false;
};

const AddressResult& Find(const std::vector<AddressResult>& rs, const std::string& address) {
  for (const auto& r : rs)
    if (r.address == address) return r;
  throw std::runtime_error("no result for " + address);
}

}  // namespace

TEST(DnsBenchmark, MediansSpreadAndTheFastestReliableServer) {
  Bench b;
  // Cached times vary by query: 1, 3, 2 ms over the three rounds -> median 2 ms.
  std::map<std::string, int> cached_seen;
  b.net.responders["10.0.0.1"] = [&](const Message& q, int) {
    static const uint64_t cached[] = {9000 /* warm-up */, 1000, 3000, 2000};
    const std::string& name = q.questions[0].name;
    if (IsMissingName(name)) return std::vector<Reply>{{500, AnswerTo(q, kRcodeNxDomain)}};
    if (IsUniqueName(name)) return std::vector<Reply>{{20000, AnswerTo(q)}};
    int n = cached_seen["a"]++;
    return std::vector<Reply>{{cached[std::min(n, 3)], AnswerTo(q)}};
  };
  b.net.responders["10.0.0.2"] = Honest(400, 900);      // a resolver on the local network
  b.net.responders["10.0.0.3"] = Honest(30000, 80000);  // far away
  auto rs = b.Run({{"A", "10.0.0.1"}, {"B", "10.0.0.2"}, {"C", "10.0.0.3"}});
  ASSERT_EQ(rs.size(), 3u);
  const auto& a = Find(rs, "10.0.0.1");
  EXPECT_EQ(a.sent, 9);
  EXPECT_EQ(a.answered, 9);
  EXPECT_DOUBLE_EQ(a.cached_median, 2.0);  // the slow warm-up is not counted
  EXPECT_DOUBLE_EQ(a.cached_spread, 1.0);  // quartiles 1.5 and 2.5
  EXPECT_DOUBLE_EQ(a.uncached_median, 20.0);
  EXPECT_DOUBLE_EQ(a.AnsweredShare(), 1.0);
  const auto& local = Find(rs, "10.0.0.2");
  EXPECT_EQ(FormatMs(local.cached_median), "0.4 ms");
  EXPECT_EQ(FormatMs(local.uncached_median), "0.9 ms");
  EXPECT_TRUE(local.fastest);
  EXPECT_FALSE(a.fastest);
  EXPECT_FALSE(Find(rs, "10.0.0.3").fastest);
  EXPECT_DOUBLE_EQ(Find(rs, "10.0.0.3").cached_median, 30.0);
  for (const auto& r : rs) EXPECT_TRUE(r.failure.empty()) << r.address << ": " << r.failure;
  EXPECT_EQ(b.net.OpenSockets(), 0u);
}

TEST(DnsBenchmark, InterleavesAddressesAndBoundsQueriesInFlight) {
  Bench b;
  b.options.max_in_flight = 3;
  std::vector<Target> targets;
  for (int i = 1; i <= 8; ++i) {
    std::string address = "10.0.1." + std::to_string(i);
    b.net.responders[address] = Honest(1000u * static_cast<unsigned>(i), 5000);
    targets.push_back({"S" + std::to_string(i), address});
  }
  b.Run(targets);
  // Ten passes (warm-up, then three kinds in three rounds), each holding every address once.
  ASSERT_EQ(b.sent.size(), 80u);
  std::set<size_t> firsts;
  for (size_t pass = 0; pass < 10; ++pass) {
    std::set<size_t> in_pass;
    QueryKind kind = b.sent[pass * 8].kind;
    for (size_t k = 0; k < 8; ++k) {
      in_pass.insert(b.sent[pass * 8 + k].target);
      EXPECT_EQ(b.sent[pass * 8 + k].kind, kind) << "pass " << pass;
    }
    EXPECT_EQ(in_pass.size(), 8u) << "pass " << pass;
    firsts.insert(b.sent[pass * 8].target);
  }
  EXPECT_GE(firsts.size(), 4u) << "the same few addresses keep going first";
  EXPECT_EQ(b.sent[0].kind, QueryKind::kWarmup);
  EXPECT_LE(b.net.max_open, 3);
  for (const auto& [address, n] : b.net.max_open_per_address) EXPECT_EQ(n, 1) << address;
  // Unique names are unique, and every name that cannot exist is new too.
  std::set<std::string> names;
  for (const auto& q : b.sent)
    if (q.kind == QueryKind::kUncached || q.kind == QueryKind::kMissing) {
      EXPECT_TRUE(names.insert(q.name).second);
    }
  EXPECT_EQ(names.size(), 48u);
}

TEST(DnsBenchmark, LossHijackWrongIdSilenceAndServerErrors) {
  Bench b;
  b.options.timeout_ms = 1000;
  auto good = Honest(2000, 3000);
  b.net.responders["127.0.0.2"] = good;
  b.net.responders["127.0.0.3"] = [good](const Message& q, int nth) {  // loses every other query
    return nth % 2 ? std::vector<Reply>{} : good(q, nth);
  };
  b.net.responders["127.0.0.4"] = [](const Message& q, int) {  // fast, but rewrites missing names
    return std::vector<Reply>{{100, AnswerTo(q, 0, {203, 0, 113, 9})}};
  };
  b.net.responders["127.0.0.5"] = [](const Message& q, int) {  // answers another id
    return std::vector<Reply>{{100, AnswerTo(q, 0, {192, 0, 2, 1}, 1)}};
  };
  b.net.responders["127.0.0.7"] = [](const Message& q, int) {
    return std::vector<Reply>{{100, AnswerTo(q, kRcodeServFail)}};
  };
  b.net.responders["127.0.0.8"] = [](const Message& q, int) {  // a spoof first, then the real answer
    return std::vector<Reply>{{50, AnswerTo(q, 0, {6, 6, 6, 6}, 7)},
                              {60, AnswerTo(q), "127.0.0.99"},
                              {70, AnswerTo(q), "", 5353},
                              {3000, AnswerTo(q)}};
  };
  // 127.0.0.6 has no responder: silent.
  b.net.open_errors["127.0.0.9"] = "network unreachable";
  uint64_t start = b.clock.us;
  auto rs = b.Run({{"good", "127.0.0.2"},
                   {"lossy", "127.0.0.3"},
                   {"hijack", "127.0.0.4"},
                   {"wrong id", "127.0.0.5"},
                   {"silent", "127.0.0.6"},
                   {"servfail", "127.0.0.7"},
                   {"spoofed", "127.0.0.8"},
                   {"unreachable", "127.0.0.9"}});
  const auto& lossy = Find(rs, "127.0.0.3");
  EXPECT_EQ(lossy.sent, 9);
  EXPECT_EQ(lossy.lost + lossy.answered, 9);
  EXPECT_GE(lossy.lost, 4);
  EXPECT_FALSE(lossy.Reliable());
  EXPECT_TRUE(lossy.failure.empty());

  const auto& hijack = Find(rs, "127.0.0.4");
  EXPECT_TRUE(hijack.hijack);
  EXPECT_EQ(hijack.hijack_address, "203.0.113.9");
  EXPECT_FALSE(hijack.fastest) << "a hijacker is never the one to pick";
  EXPECT_FALSE(Find(rs, "127.0.0.2").hijack);
  EXPECT_TRUE(Find(rs, "127.0.0.2").fastest);

  const auto& wrong = Find(rs, "127.0.0.5");
  EXPECT_EQ(wrong.answered, 0);
  EXPECT_EQ(wrong.rejected, 10);  // the warm-up's answer is refused too
  EXPECT_EQ(wrong.failure, "answers rejected: wrong id");

  const auto& silent = Find(rs, "127.0.0.6");
  EXPECT_EQ(silent.lost, 9);
  EXPECT_EQ(silent.failure, "no answer");
  EXPECT_EQ(FormatMs(silent.cached_median), "-");

  EXPECT_EQ(Find(rs, "127.0.0.7").failure, "answers only with an error: server failure");
  EXPECT_EQ(Find(rs, "127.0.0.7").failed, 9);

  const auto& spoofed = Find(rs, "127.0.0.8");
  EXPECT_EQ(spoofed.answered, 9) << "the real answer after the stray ones still counts";
  EXPECT_EQ(spoofed.rejected, 30);
  EXPECT_DOUBLE_EQ(spoofed.cached_median, 3.0);

  EXPECT_EQ(Find(rs, "127.0.0.9").failure, "cannot send: network unreachable");
  // Ten sequential time-outs of the silent address set the pace, all on the fake clock.
  EXPECT_GE(b.clock.us - start, 10'000'000u);
  EXPECT_LT(b.clock.us - start, 11'000'000u);
  EXPECT_EQ(b.net.OpenSockets(), 0u);
}

TEST(DnsBenchmark, CancelStopsAtOnceAndClosesEverything) {
  Bench b;
  b.net.responders["10.0.0.1"] = Honest(1000, 2000);
  b.net.responders["10.0.0.2"] = Honest(1000, 2000);
  int last_done = 0, total = 0;
  auto rs = b.Run({{"A", "10.0.0.1"}, {"B", "10.0.0.2"}}, [&](int done, int all) {
    last_done = done, total = all;
    if (done == 5) b.cancel = true;
  });
  EXPECT_TRUE(b.cancelled);
  EXPECT_EQ(total, 20);
  EXPECT_EQ(last_done, 5);
  EXPECT_LE(b.sent.size(), 7u);
  EXPECT_EQ(b.net.OpenSockets(), 0u);
  for (const auto& r : rs) {
    EXPECT_FALSE(r.fastest);
    EXPECT_TRUE(r.failure.empty());
  }
}

// Each IPv6 address is measured when it can be reached: the loopback address answers
// on a machine without any other IPv6, and a global one needs a way out.
TEST(DnsBenchmark, AnIpv6AddressIsMeasuredWhenItCanBeReached) {
  struct Case {
    const char* address;
    bool global_ipv6, loopback;
    bool measured;
  };
  const Case cases[] = {{"::1", false, true, true},          {"::1", true, true, true},
                        {"::1", true, false, false},         {"2001:db8::53", true, true, true},
                        {"2001:db8::53", false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.address) + (c.global_ipv6 ? " global" : "") + (c.loopback ? " loopback" : ""));
    Bench b;
    b.net.ipv6 = c.global_ipv6;
    b.net.ipv6_loopback = c.loopback;
    b.net.responders[c.address] = Honest(700, 1500);
    b.net.responders["127.0.0.1"] = Honest(900, 1500);
    auto rs = b.Run({{"v6", c.address}, {"v4", "127.0.0.1"}, {"none", ""}});
    EXPECT_EQ(Find(rs, "").failure, "no address");
    const auto& v6 = Find(rs, c.address);
    if (c.measured) {
      EXPECT_EQ(v6.answered, 9);
      EXPECT_TRUE(v6.failure.empty()) << v6.failure;
      EXPECT_TRUE(v6.fastest);
    } else {
      EXPECT_EQ(v6.sent, 0);
      EXPECT_EQ(v6.failure, "no IPv6 on this machine");
      EXPECT_TRUE(Find(rs, "127.0.0.1").fastest);
    }
  }
}

TEST(DnsBenchmark, TimesAreNeverShownAsZero) {
  struct Case {
    double ms;
    const char* text;
  } cases[] = {{0.0, "<0.1 ms"}, {0.04, "<0.1 ms"}, {0.4, "0.4 ms"}, {0.96, "1.0 ms"},
               {4.26, "4.3 ms"}, {42.4, "42 ms"},   {-1, "-"}};
  for (const auto& c : cases) EXPECT_EQ(FormatMs(c.ms), c.text) << c.ms;
  EXPECT_DOUBLE_EQ(Median({5, 1, 3, 2}), 2.5);
  EXPECT_DOUBLE_EQ(Median({}), -1);
  EXPECT_DOUBLE_EQ(Spread({7}), 0);
}

// The same server over UDP and TCP: each protocol is a row of its own, timed by its own
// queries, and a server that takes no TCP connection fails only its TCP row.
TEST(DnsBenchmark, EachProtocolIsMeasuredOnItsOwn) {
  Bench b;
  b.net.responders["10.0.0.1"] = Honest(1000, 4000);
  b.net.tcp_responders["10.0.0.1"] = Honest(3000, 9000);
  b.net.responders["10.0.0.2"] = Honest(2000, 5000);
  auto rs = b.Run({{"A", "10.0.0.1", Protocol::kUdp},
                   {"A", "10.0.0.1", Protocol::kTcp},
                   {"B", "10.0.0.2", Protocol::kUdp},
                   {"B", "10.0.0.2", Protocol::kTcp}});
  ASSERT_EQ(rs.size(), 4u);
  EXPECT_EQ(rs[0].protocol, Protocol::kUdp);
  EXPECT_EQ(rs[1].protocol, Protocol::kTcp);
  EXPECT_DOUBLE_EQ(rs[0].cached_median, 1.0);
  EXPECT_DOUBLE_EQ(rs[0].uncached_median, 4.0);
  EXPECT_DOUBLE_EQ(rs[1].cached_median, 3.0);
  EXPECT_DOUBLE_EQ(rs[1].uncached_median, 9.0);
  EXPECT_EQ(rs[1].answered, 9);
  EXPECT_TRUE(rs[0].fastest);
  EXPECT_EQ(rs[2].answered, 9);
  EXPECT_EQ(rs[3].answered, 0);
  EXPECT_NE(rs[3].failure.find("connection refused"), std::string::npos) << rs[3].failure;
  // Every TCP query went over a connection to the server asked, UDP ones as datagrams.
  const auto tcp_sent = std::count(b.net.send_order.begin(), b.net.send_order.end(), "tcp:10.0.0.1");
  EXPECT_EQ(tcp_sent, 10);  // the warm-up and nine counted queries
  EXPECT_EQ(std::count(b.net.send_order.begin(), b.net.send_order.end(), "10.0.0.1"), 10);
  EXPECT_EQ(b.net.OpenSockets(), 0u);
  EXPECT_STREQ(ProtocolName(Protocol::kTcp), "TCP");
  EXPECT_STREQ(ProtocolName(Protocol::kUdp), "UDP");
}

TEST(DnsBenchmark, TheRebindingVerdictOfOneAnswer) {
  struct Case {
    uint8_t rcode;
    std::vector<std::string> addresses;
    Rebinding verdict;
    const char* passed;
  };
  const Case cases[] = {
      {kRcodeNoError, {"10.11.12.13"}, Rebinding::kPassed, "10.11.12.13"},
      {kRcodeNoError, {"192.0.2.1", "192.168.1.1"}, Rebinding::kPassed, "192.168.1.1"},
      {kRcodeNoError, {"172.31.0.9"}, Rebinding::kPassed, "172.31.0.9"},
      {kRcodeNoError, {"127.0.0.1"}, Rebinding::kPassed, "127.0.0.1"},
      {kRcodeNoError, {"169.254.3.4"}, Rebinding::kPassed, "169.254.3.4"},
      {kRcodeNoError, {"100.64.0.1"}, Rebinding::kPassed, "100.64.0.1"},
      {kRcodeNoError, {"172.32.0.9"}, Rebinding::kUnknown, ""},  // public: the answer was rewritten
      {kRcodeNoError, {"192.0.2.53"}, Rebinding::kUnknown, ""},
      {kRcodeNoError, {}, Rebinding::kBlocked, ""},
      {kRcodeNoError, {"0.0.0.0"}, Rebinding::kBlocked, ""},
      {kRcodeNxDomain, {}, Rebinding::kBlocked, ""},
      {kRcodeRefused, {}, Rebinding::kBlocked, ""},
      {kRcodeServFail, {}, Rebinding::kUnknown, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.addresses) + " rcode " + std::to_string(c.rcode));
    std::string passed;
    EXPECT_EQ(RebindingVerdict(c.rcode, c.addresses, &passed), c.verdict);
    EXPECT_EQ(passed, c.passed);
  }
  for (const char* text : {"10.0.0.256", "10.0.0", "10.0.0.1x", "", "::1"}) EXPECT_FALSE(IsPrivateIpv4(text)) << text;
}

// With a rebinding name set, each address gets one more query for it, outside the
// timing; the verdict comes from its answer.
TEST(DnsBenchmark, EachAddressIsAskedTheRebindingNameOnce) {
  Bench b;
  b.options.rebinding_name = "rebind.example.test";
  auto private_answer = [](const Message& q, int) {
    if (q.questions[0].name == "rebind.example.test") return std::vector<Reply>{{500, AnswerTo(q, 0, {10, 1, 2, 3})}};
    return Honest(1000, 2000)(q, 0);
  };
  auto guarded = [](const Message& q, int) {
    if (q.questions[0].name == "rebind.example.test") return std::vector<Reply>{{500, AnswerTo(q, kRcodeNxDomain)}};
    return Honest(1000, 2000)(q, 0);
  };
  b.net.responders["10.0.0.1"] = private_answer;
  b.net.responders["10.0.0.2"] = guarded;
  b.net.responders["10.0.0.3"] = Honest(1000, 2000);  // a public address for every name
  auto rs = b.Run({{"A", "10.0.0.1"}, {"B", "10.0.0.2"}, {"C", "10.0.0.3"}, {"D", "10.0.0.4"}});
  EXPECT_EQ(Find(rs, "10.0.0.1").rebinding, Rebinding::kPassed);
  EXPECT_EQ(Find(rs, "10.0.0.1").rebinding_address, "10.1.2.3");
  EXPECT_EQ(Find(rs, "10.0.0.2").rebinding, Rebinding::kBlocked);
  EXPECT_EQ(Find(rs, "10.0.0.3").rebinding, Rebinding::kUnknown);
  EXPECT_EQ(Find(rs, "10.0.0.4").rebinding, Rebinding::kUnknown);  // never answered
  for (const auto& r : rs) {
    EXPECT_EQ(r.sent, 9) << r.address << ": the check is not counted";
    if (r.address != "10.0.0.4") {
      EXPECT_EQ(r.answered, 9);
    }
  }
  const auto asked = std::count_if(b.sent.begin(), b.sent.end(), [](const SentQuery& q) { return q.kind == QueryKind::kRebinding; });
  EXPECT_EQ(asked, 4);
}
