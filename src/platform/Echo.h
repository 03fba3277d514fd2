// Echo requests (ping): one request per call, answered with a status code of the IP
// status code space (0 for success, 11001 to 11050 for the system's failures), the
// round-trip time in milliseconds and the address that answered.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

struct EchoReply {
  // nullopt when the service gave no status at all.
  std::optional<int64_t> status;
  int64_t response_time = 0;
  std::string address;
};

// One series of requests; what it needs (the management service's connection, say)
// lives as long as the session.
class EchoSession {
 public:
  virtual ~EchoSession() = default;
  // One request. nullopt when this attempt produced no reply object at all. Failures of
  // the service itself are thrown.
  virtual std::optional<EchoReply> Send(const std::string& address, uint16_t buffer_size) = 0;
};

class Echo {
 public:
  virtual ~Echo() = default;
  // Prepares a series; failures of the service (not available, refused) are thrown.
  virtual std::unique_ptr<EchoSession> Open() = 0;
};

}  // namespace platform
