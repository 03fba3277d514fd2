// An in-memory network of DNS responders for the benchmark's tests, on a clock of its
// own that only moves when the benchmark waits: nothing here sleeps.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dnsbench/DnsMessage.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/DnsTransport.h"

namespace dnsbench_test {

class MicroClock : public platform::Clock {
 public:
  uint64_t us = 5'000'000;
  platform::LocalTime Now() override { return {}; }
  uint32_t TickCount() override { return static_cast<uint32_t>(us / 1000); }
  void Sleep(uint32_t ms) override { us += ms * 1000ull; }
  uint64_t Microseconds() override { return us; }
};

// What a responder sends back for one query: datagrams with their delays.
struct Reply {
  Reply(uint64_t delay, dnsbench::Bytes bytes, std::string source = {}, uint16_t source_port = 0)
      : delay_us(delay), data(std::move(bytes)), from(std::move(source)), from_port(source_port) {}
  uint64_t delay_us = 0;
  dnsbench::Bytes data;
  std::string from;  // empty: the responder's own address
  uint16_t from_port = 0;  // 0: the port asked
};
using Responder = std::function<std::vector<Reply>(const dnsbench::Message& query, int nth)>;

// A normal answer to a query: the asked name with one address, or no such name.
inline dnsbench::Bytes AnswerTo(const dnsbench::Message& query, uint8_t rcode = 0,
                                std::vector<uint8_t> address = {192, 0, 2, 1}, int id_offset = 0) {
  dnsbench::Message m;
  m.id = static_cast<uint16_t>(query.id + id_offset);
  m.flags = static_cast<uint16_t>(dnsbench::kFlagQr | dnsbench::kFlagRd | dnsbench::kFlagRa | rcode);
  m.questions = query.questions;
  if (rcode == 0 && !address.empty())
    m.answers.push_back({query.questions[0].name, dnsbench::kTypeA, dnsbench::kClassIn, 60, address, ""});
  return *dnsbench::Encode(m);
}

inline bool IsMissingName(const std::string& name) { return name.find("-nx.") != std::string::npos; }
inline bool IsUniqueName(const std::string& name) { return name.rfind("vb", 0) == 0 && !IsMissingName(name); }

// An honest resolver: cached names after `cached_us`, others after `uncached_us`,
// names that cannot exist get "no such name".
inline Responder Honest(uint64_t cached_us, uint64_t uncached_us) {
  return [=](const dnsbench::Message& q, int) {
    const std::string& name = q.questions[0].name;
    if (IsMissingName(name)) return std::vector<Reply>{{uncached_us, AnswerTo(q, dnsbench::kRcodeNxDomain)}};
    return std::vector<Reply>{{IsUniqueName(name) ? uncached_us : cached_us, AnswerTo(q)}};
  };
}

class FakeClipboard : public platform::Clipboard {
 public:
  std::string text;
  bool SetText(const std::string& t) override {
    text = t;
    return true;
  }
};

class FakeDnsNet : public platform::DnsTransport {
 public:
  explicit FakeDnsNet(MicroClock& clock) : clock_(clock) {}

  std::map<std::string, Responder> responders;
  // Who answers on TCP; an address without one takes no connection.
  std::map<std::string, Responder> tcp_responders;
  bool ipv6 = true;           // a way to global IPv6 addresses
  bool ipv6_loopback = true;  // ::1 answers
  std::map<std::string, std::string> open_errors;  // address -> reason Open fails with
  int max_open = 0;
  std::map<std::string, int> max_open_per_address;
  std::vector<std::string> send_order;  // address of each query sent

  bool CanReachIpv6(const std::string& address) override { return address == "::1" ? ipv6_loopback : ipv6; }
  int Open(const std::string& address, uint16_t port, std::string& error) override {
    return OpenSocket(address, port, false, error);
  }
  int OpenStream(const std::string& address, uint16_t port, std::string& error) override {
    return OpenSocket(address, port, true, error);
  }
  int OpenSocket(const std::string& address, uint16_t port, bool tcp, std::string& error) {
    if (tcp && !tcp_responders.count(address)) {
      error = "connection refused";
      return -1;
    }
    if (auto it = open_errors.find(address); it != open_errors.end()) {
      error = it->second;
      return -1;
    }
    int handle = next_++;
    sockets_[handle] = {address, port, tcp};
    max_open = std::max(max_open, static_cast<int>(sockets_.size()));
    int& per = open_per_address_[address];
    ++per;
    max_open_per_address[address] = std::max(max_open_per_address[address], per);
    return handle;
  }
  bool Send(int socket, const std::vector<uint8_t>& data, std::string& error) override {
    const auto& s = sockets_.at(socket);
    send_order.push_back(s.tcp ? "tcp:" + s.address : s.address);
    auto query = dnsbench::Read(data);
    if (!query) {
      error = "bad query";
      return false;
    }
    auto& answering = s.tcp ? tcp_responders : responders;
    auto it = answering.find(s.address);
    if (it == answering.end()) return true;  // nobody there
    int nth = asked_[(s.tcp ? "tcp:" : "") + s.address]++;
    for (auto& reply : it->second(*query, nth))
      pending_.push_back({clock_.us + reply.delay_us, socket,
                          {socket, reply.data, reply.from.empty() ? s.address : reply.from,
                           reply.from_port ? reply.from_port : s.port}});
    return true;
  }
  std::optional<platform::DnsDatagram> Receive(uint64_t timeout_us) override {
    auto best = pending_.end();
    for (auto it = pending_.begin(); it != pending_.end(); ++it)
      if (best == pending_.end() || it->at < best->at) best = it;
    if (best == pending_.end() || best->at > clock_.us + timeout_us) {
      clock_.us += timeout_us;
      return std::nullopt;
    }
    clock_.us = std::max(clock_.us, best->at);
    auto datagram = best->datagram;
    pending_.erase(best);
    return datagram;
  }
  void Close(int socket) override {
    auto it = sockets_.find(socket);
    if (it == sockets_.end()) return;
    --open_per_address_[it->second.address];
    sockets_.erase(it);
    std::erase_if(pending_, [&](const Pending& p) { return p.socket == socket; });
  }
  size_t OpenSockets() const { return sockets_.size(); }

 private:
  struct Socket {
    std::string address;
    uint16_t port;
    bool tcp = false;
  };
  struct Pending {
    uint64_t at;
    int socket;
    platform::DnsDatagram datagram;
  };
  MicroClock& clock_;
  int next_ = 3;
  std::map<int, Socket> sockets_;
  std::map<std::string, int> open_per_address_;
  std::map<std::string, int> asked_;
  std::vector<Pending> pending_;
};

}  // namespace dnsbench_test
