#include "dnsbench/Benchmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>

#include "dnsbench/DnsMessage.h"

namespace dnsbench {
namespace {

constexpr uint64_t kSliceUs = 50000;  // longest wait between looks at the cancel flag

struct InFlight {
  size_t job = 0;
  int socket = -1;
  uint16_t id = 0;
  uint64_t sent_us = 0;
  uint64_t deadline_us = 0;
};

struct Job {
  size_t target = 0;
  QueryKind kind = QueryKind::kWarmup;
  std::string name;
};

bool IsIpv6(const std::string& address) { return address.find(':') != std::string::npos; }

// Quantile by linear interpolation between the closest ranks.
double Quantile(std::vector<double>& sorted, double q) {
  if (sorted.empty()) return -1;
  double pos = q * static_cast<double>(sorted.size() - 1);
  size_t lo = static_cast<size_t>(std::floor(pos));
  size_t hi = std::min(lo + 1, sorted.size() - 1);
  return sorted[lo] + (sorted[hi] - sorted[lo]) * (pos - static_cast<double>(lo));
}

std::string RcodeText(uint8_t rcode) {
  switch (rcode) {
    case kRcodeFormErr: return "format error";
    case kRcodeServFail: return "server failure";
    case kRcodeRefused: return "refused";
    default: return "error code " + std::to_string(rcode);
  }
}

}  // namespace

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return Quantile(values, 0.5);
}

double Spread(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return Quantile(values, 0.75) - Quantile(values, 0.25);
}

std::string FormatMs(double ms) {
  if (ms < 0) return "-";
  char buf[32];
  if (ms < 0.1) return "<0.1 ms";
  if (ms < 10) {
    std::snprintf(buf, sizeof buf, "%.1f ms", ms);
  } else {
    std::snprintf(buf, sizeof buf, "%.0f ms", ms);
  }
  return buf;
}

int MarkFastest(std::vector<AddressResult>& results) {
  int best = -1;
  for (size_t i = 0; i < results.size(); ++i) {
    results[i].fastest = false;
    if (!results[i].Reliable()) continue;
    if (best < 0 || results[i].Score() < results[static_cast<size_t>(best)].Score()) best = static_cast<int>(i);
  }
  if (best >= 0) results[static_cast<size_t>(best)].fastest = true;
  return best;
}

Benchmark::Benchmark(platform::DnsTransport& transport, platform::Clock& clock, Options options)
    : transport_(transport), clock_(clock), options_(std::move(options)) {
  rng_ = options_.seed ? options_.seed : clock_.Microseconds() ^ 0x9E3779B97F4A7C15ull;
  if (rng_ == 0) rng_ = 1;
}

uint32_t Benchmark::Next() {
  // xorshift64*: the same sequence on every compiler, unlike the standard distributions.
  rng_ ^= rng_ >> 12;
  rng_ ^= rng_ << 25;
  rng_ ^= rng_ >> 27;
  return static_cast<uint32_t>((rng_ * 0x2545F4914F6CDD1Dull) >> 32);
}

std::string Benchmark::RandomLabel(size_t length) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string out;
  for (size_t i = 0; i < length; ++i) out += kChars[Next() % 36];
  return out;
}

bool IsPrivateIpv4(const std::string& address) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  char tail = 0;
  if (std::sscanf(address.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 ||
      c > 255 || d > 255)
    return false;
  return a == 10 || a == 127 || a == 0 || (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168) ||
         (a == 169 && b == 254) || (a == 100 && b >= 64 && b <= 127);
}

Rebinding RebindingVerdict(uint8_t rcode, const std::vector<std::string>& addresses, std::string* passed_address) {
  if (rcode == kRcodeNxDomain || rcode == kRcodeRefused) return Rebinding::kBlocked;
  if (rcode != kRcodeNoError) return Rebinding::kUnknown;
  bool only_unspecified = true;
  for (const std::string& address : addresses) {
    if (address == "0.0.0.0") continue;
    only_unspecified = false;
    if (IsPrivateIpv4(address)) {
      if (passed_address) *passed_address = address;
      return Rebinding::kPassed;
    }
  }
  // No address at all, or only the "blocked" address, is a refusal; public addresses
  // only mean the answer was rewritten, which says nothing either way.
  return only_unspecified ? Rebinding::kBlocked : Rebinding::kUnknown;
}

const char* ProtocolName(Protocol protocol) { return protocol == Protocol::kTcp ? "TCP" : "UDP"; }

std::vector<AddressResult> Benchmark::Run(const std::vector<Target>& targets,
                                          const std::function<void(int, int)>& progress,
                                          const std::atomic<bool>& cancel) {
  cancelled_ = false;
  sent_.clear();
  std::vector<AddressResult> results(targets.size());
  std::vector<bool> measured(targets.size(), true);
  std::vector<std::map<std::string, int>> send_errors(targets.size());
  std::vector<std::map<std::string, int>> rejections(targets.size());
  std::vector<std::map<uint8_t, int>> rcodes(targets.size());
  std::map<std::string, bool> ipv6_reachable;  // asked once per address
  for (size_t i = 0; i < targets.size(); ++i) {
    results[i].server = targets[i].server;
    results[i].address = targets[i].address;
    results[i].protocol = targets[i].protocol;
    if (targets[i].address.empty()) {
      measured[i] = false;
      results[i].failure = "no address";
      results[i].failure_kind = Failure::kNoAddress;
    } else if (IsIpv6(targets[i].address)) {
      const auto [known, added] = ipv6_reachable.emplace(targets[i].address, false);
      if (added) known->second = transport_.CanReachIpv6(targets[i].address);
      if (!known->second) {
        measured[i] = false;
        results[i].failure = "no IPv6 on this machine";
        results[i].failure_kind = Failure::kNoIpv6;
      }
    }
  }

  // The passes: a warm-up, then per round the three kinds, each pass in its own order.
  std::vector<Job> jobs;
  const QueryKind kinds[] = {QueryKind::kCached, QueryKind::kUncached, QueryKind::kMissing};
  std::vector<size_t> order;
  for (size_t i = 0; i < targets.size(); ++i)
    if (measured[i]) order.push_back(i);
  auto add_pass = [&](QueryKind kind) {
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[Next() % i]);
    for (size_t t : order) {
      std::string name;
      if (kind == QueryKind::kWarmup || kind == QueryKind::kCached) {
        name = options_.cached_name;
      } else if (kind == QueryKind::kRebinding) {
        name = options_.rebinding_name;
      } else if (kind == QueryKind::kUncached) {
        name = "vb" + RandomLabel(12) + "." + options_.uncached_domain;
      } else {
        name = "vb" + RandomLabel(20) + "-nx." + options_.missing_zone;
      }
      jobs.push_back({t, kind, std::move(name)});
    }
  };
  add_pass(QueryKind::kWarmup);
  if (!options_.rebinding_name.empty()) add_pass(QueryKind::kRebinding);
  for (int r = 0; r < options_.rounds; ++r)
    for (QueryKind k : kinds) add_pass(k);

  const int total = static_cast<int>(jobs.size());
  int done = 0;
  std::deque<size_t> queue;
  for (size_t j = 0; j < jobs.size(); ++j) queue.push_back(j);
  std::vector<InFlight> flying;
  std::vector<bool> busy(targets.size(), false);
  const uint64_t timeout_us = static_cast<uint64_t>(options_.timeout_ms) * 1000u;
  const size_t max_in_flight = static_cast<size_t>(std::max(1, options_.max_in_flight));

  auto finish = [&](size_t flying_index) {
    const InFlight f = flying[flying_index];
    transport_.Close(f.socket);
    busy[jobs[f.job].target] = false;
    flying.erase(flying.begin() + static_cast<std::ptrdiff_t>(flying_index));
    ++done;
    if (progress) progress(done, total);
  };
  // The warm-up and the rebinding check are not part of the timing.
  auto counted = [&](const Job& job) { return job.kind != QueryKind::kWarmup && job.kind != QueryKind::kRebinding; };

  while (!queue.empty() || !flying.empty()) {
    if (cancel.load()) {
      cancelled_ = true;
      break;
    }
    // Fill free slots with the earliest jobs whose address has nothing in flight.
    for (auto it = queue.begin(); it != queue.end() && flying.size() < max_in_flight;) {
      const Job& job = jobs[*it];
      if (busy[job.target]) {
        ++it;
        continue;
      }
      size_t j = *it;
      it = queue.erase(it);
      AddressResult& res = results[job.target];
      if (counted(job)) ++res.sent;
      sent_.push_back({job.target, job.kind, job.name});
      std::string error;
      uint16_t id = static_cast<uint16_t>(Next());
      auto query = EncodeQuery(id, job.name, kTypeA, &error);
      const Target& to = targets[job.target];
      int socket = !query                             ? -1
                   : to.protocol == Protocol::kTcp ? transport_.OpenStream(to.address, options_.port, error)
                                                   : transport_.Open(to.address, options_.port, error);
      if (socket >= 0 && !transport_.Send(socket, *query, error)) {
        transport_.Close(socket);
        socket = -1;
      }
      if (socket < 0) {
        ++send_errors[job.target][error];
        ++done;
        if (progress) progress(done, total);
        continue;
      }
      uint64_t now = clock_.Microseconds();
      flying.push_back({j, socket, id, now, now + timeout_us});
      busy[job.target] = true;
    }
    if (flying.empty()) continue;

    uint64_t now = clock_.Microseconds();
    uint64_t deadline = flying.front().deadline_us;
    for (const auto& f : flying) deadline = std::min(deadline, f.deadline_us);
    uint64_t wait = deadline > now ? std::min(deadline - now, kSliceUs) : 0;
    auto datagram = wait ? transport_.Receive(wait) : std::nullopt;
    now = clock_.Microseconds();
    if (datagram) {
      auto it = std::find_if(flying.begin(), flying.end(),
                             [&](const InFlight& f) { return f.socket == datagram->socket; });
      if (it != flying.end()) {
        const Job& job = jobs[it->job];
        const Target& target = targets[job.target];
        AddressResult& res = results[job.target];
        Checked checked;
        if (datagram->from_address != target.address || datagram->from_port != options_.port) {
          checked.verdict = Verdict::kMalformed;
          checked.detail = "answer from another address";
        } else {
          checked = CheckResponse(it->id, job.name, kTypeA, datagram->data);
        }
        if (checked.verdict != Verdict::kAnswer) {
          // The query stays open: the right answer may still come.
          ++res.rejected;
          ++rejections[job.target][checked.detail.empty() ? VerdictName(checked.verdict) : checked.detail];
        } else {
          double ms = static_cast<double>(now - it->sent_us) / 1000.0;
          bool usable = checked.rcode == kRcodeNoError || checked.rcode == kRcodeNxDomain;
          if (job.kind == QueryKind::kRebinding)
            res.rebinding = RebindingVerdict(checked.rcode, checked.addresses, &res.rebinding_address);
          else if (!usable)
            ++rcodes[job.target][checked.rcode];
          if (counted(job)) {
            if (usable) ++res.answered;
            else ++res.failed;
          }
          if (usable && job.kind == QueryKind::kCached) res.cached_ms.push_back(ms);
          if (usable && job.kind == QueryKind::kUncached) res.uncached_ms.push_back(ms);
          if (job.kind == QueryKind::kMissing && checked.rcode == kRcodeNoError && !checked.addresses.empty()) {
            res.hijack = true;
            if (res.hijack_address.empty()) res.hijack_address = checked.addresses.front();
          }
          finish(static_cast<size_t>(it - flying.begin()));
        }
      }
    }
    for (size_t i = 0; i < flying.size();) {
      if (flying[i].deadline_us <= now) {
        if (counted(jobs[flying[i].job])) ++results[jobs[flying[i].job].target].lost;
        finish(i);
      } else {
        ++i;
      }
    }
  }
  for (const auto& f : flying) transport_.Close(f.socket);

  auto most = [](const auto& counts) {
    auto best = counts.begin();
    for (auto it = counts.begin(); it != counts.end(); ++it)
      if (it->second > best->second) best = it;
    return best;
  };
  for (size_t i = 0; i < results.size(); ++i) {
    AddressResult& r = results[i];
    r.cached_median = Median(r.cached_ms);
    r.cached_spread = Spread(r.cached_ms);
    r.uncached_median = Median(r.uncached_ms);
    r.uncached_spread = Spread(r.uncached_ms);
    if (!measured[i] || r.answered > 0 || r.sent == 0 || cancelled_) continue;
    if (!send_errors[i].empty()) {
      r.failure = "cannot send: " + most(send_errors[i])->first;
      r.failure_kind = Failure::kCannotSend;
    } else if (!rcodes[i].empty()) {
      r.failure = "answers only with an error: " + RcodeText(most(rcodes[i])->first);
      r.failure_kind = Failure::kServerError;
    } else if (!rejections[i].empty()) {
      r.failure = "answers rejected: " + most(rejections[i])->first;
      r.failure_kind = Failure::kRejected;
    } else {
      r.failure = "no answer";
      r.failure_kind = Failure::kNoAnswer;
    }
  }
  if (!cancelled_) MarkFastest(results);
  return results;
}

Probe ProbeOnce(platform::DnsTransport& transport, platform::Clock& clock, const std::string& address,
                uint16_t port, const std::string& name, uint32_t timeout_ms) {
  Probe probe;
  std::string error;
  uint16_t id = static_cast<uint16_t>(clock.Microseconds() * 2654435761u >> 7);
  auto query = EncodeQuery(id, name, kTypeA, &error);
  int socket = query ? transport.Open(address, port, error) : -1;
  if (socket >= 0 && !transport.Send(socket, *query, error)) {
    transport.Close(socket);
    socket = -1;
  }
  if (socket < 0) {
    probe.failure = "cannot send: " + error;
    return probe;
  }
  const uint64_t start = clock.Microseconds();
  const uint64_t deadline = start + static_cast<uint64_t>(timeout_ms) * 1000u;
  std::string rejected;
  for (uint64_t now = start; now < deadline; now = clock.Microseconds()) {
    auto datagram = transport.Receive(std::min(deadline - now, kSliceUs));
    if (!datagram || datagram->socket != socket) continue;
    Checked checked = datagram->from_address == address && datagram->from_port == port
                          ? CheckResponse(id, name, kTypeA, datagram->data)
                          : Checked{Verdict::kMalformed, 0, {}, "answer from another address"};
    if (checked.verdict != Verdict::kAnswer) {
      rejected = checked.detail.empty() ? VerdictName(checked.verdict) : checked.detail;
      continue;
    }
    probe.answered = checked.rcode == kRcodeNoError || checked.rcode == kRcodeNxDomain;
    probe.ms = static_cast<double>(clock.Microseconds() - start) / 1000.0;
    probe.rcode = checked.rcode;
    probe.addresses = checked.addresses;
    if (!probe.answered) probe.failure = "answers only with an error: " + RcodeText(checked.rcode);
    break;
  }
  transport.Close(socket);
  if (probe.ms < 0) probe.failure = rejected.empty() ? "no answer" : "answers rejected: " + rejected;
  return probe;
}

}  // namespace dnsbench
