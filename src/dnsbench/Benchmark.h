// Times DNS servers by real queries: for every address a warm-up query, then several
// rounds of three kinds of query (a popular name the server likely has cached, a
// unique name under a real domain it must resolve upstream, and a name that cannot
// exist), addresses interleaved in a fresh order in every pass, a bounded number of
// queries in flight and at most one per address, a time-out per query.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/DnsTransport.h"

namespace dnsbench {

struct Options {
  uint16_t port = 53;
  std::string cached_name = "www.microsoft.com";
  // Unique names are a random label under this domain.
  std::string uncached_domain = "wikipedia.org";
  // Names that cannot exist: a random label of their own directly under this zone.
  std::string missing_zone = "com";
  // A public name that resolves to a private address: whether a server passes such an
  // answer on says whether it guards the network behind it against DNS rebinding.
  // Empty: no such check.
  std::string rebinding_name;
  int rounds = 3;
  int max_in_flight = 16;
  uint32_t timeout_ms = 2000;
  // 0: seeded from the clock. Tests fix it to get the same order and names.
  uint32_t seed = 0;
};

// How a query travels: a datagram, or a message on a TCP connection of its own (what
// a client falls back to for a long answer, and what some networks leave as the only
// way out).
enum class Protocol { kUdp, kTcp };
const char* ProtocolName(Protocol protocol);

struct Target {
  std::string server;
  std::string address;
  Protocol protocol = Protocol::kUdp;
};

enum class QueryKind { kWarmup, kCached, kUncached, kMissing, kRebinding };

// What a server does with an answer that points into a private network.
enum class Rebinding {
  kUnknown,  // not checked, no usable answer, or the name came back rewritten to a public address
  kPassed,   // the private address was passed on
  kBlocked,  // the server withheld it (no such name, refused, no address, or 0.0.0.0)
};
// Loopback, private, link-local, shared (carrier) and unspecified IPv4 addresses.
bool IsPrivateIpv4(const std::string& address);
// The verdict on one answer to the rebinding name.
Rebinding RebindingVerdict(uint8_t rcode, const std::vector<std::string>& addresses, std::string* passed_address);

// Why an address never gave a usable answer.
enum class Failure { kNone, kNoAddress, kNoIpv6, kCannotSend, kServerError, kRejected, kNoAnswer };

struct AddressResult {
  std::string server;
  std::string address;
  Protocol protocol = Protocol::kUdp;
  int sent = 0;       // counted queries (warm-up excluded)
  int answered = 0;   // counted queries with a usable answer (no error, or no such name)
  int lost = 0;       // counted queries that timed out
  int rejected = 0;   // datagrams refused: malformed, wrong id, other question, truncated
  int failed = 0;     // answers with a server error (refused, server failure, ...)
  std::vector<double> cached_ms, uncached_ms;
  double cached_median = -1, cached_spread = -1;  // -1: no value
  double uncached_median = -1, uncached_spread = -1;
  bool hijack = false;         // a name that cannot exist got an address
  std::string hijack_address;  // the address it got
  std::string failure;         // why it never answered; empty when it did
  Failure failure_kind = Failure::kNone;
  bool fastest = false;        // the fastest reliable address of the run
  Rebinding rebinding = Rebinding::kUnknown;
  std::string rebinding_address;  // the private address passed on

  double AnsweredShare() const { return sent ? static_cast<double>(answered) / sent : 0.0; }
  bool Reliable() const { return failure.empty() && !hijack && AnsweredShare() >= 0.8 && cached_median >= 0; }
  // Lower is faster; only meaningful for reliable addresses.
  double Score() const { return cached_median + (uncached_median >= 0 ? uncached_median : cached_median); }
};

// One query as it went out (for tests and the log).
struct SentQuery {
  size_t target = 0;
  QueryKind kind = QueryKind::kWarmup;
  std::string name;
};

class Benchmark {
 public:
  Benchmark(platform::DnsTransport& transport, platform::Clock& clock, Options options);

  // Runs to the end or until `cancel` is set (then returns what it had, the run marked
  // cancelled). `progress` gets (queries done, queries in all) after each query ends.
  std::vector<AddressResult> Run(const std::vector<Target>& targets,
                                 const std::function<void(int, int)>& progress,
                                 const std::atomic<bool>& cancel);

  bool Cancelled() const { return cancelled_; }
  const std::vector<SentQuery>& Sent() const { return sent_; }

 private:
  uint32_t Next();
  std::string RandomLabel(size_t length);

  platform::DnsTransport& transport_;
  platform::Clock& clock_;
  Options options_;
  uint64_t rng_ = 0;
  bool cancelled_ = false;
  std::vector<SentQuery> sent_;
};

// One query to one address, for checking a server just configured.
struct Probe {
  bool answered = false;
  double ms = -1;
  uint8_t rcode = 0;
  std::vector<std::string> addresses;
  std::string failure;  // why there is no answer
};
Probe ProbeOnce(platform::DnsTransport& transport, platform::Clock& clock, const std::string& address,
                uint16_t port, const std::string& name, uint32_t timeout_ms);

// Median and interquartile range of a sample (-1 for an empty one).
double Median(std::vector<double> values);
double Spread(std::vector<double> values);
// "0.4 ms", "4.2 ms", "42 ms"; never a bare "0"; "-" for no value.
std::string FormatMs(double ms);
// Marks the fastest reliable address; returns its index or -1.
int MarkFastest(std::vector<AddressResult>& results);

}  // namespace dnsbench
