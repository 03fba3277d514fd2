// HTTP GET requests with the system's TLS. A client is made with its settings for one
// operation and may serve several requests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum TlsVersion : unsigned {
  kTls10 = 1,
  kTls11 = 2,
  kTls12 = 4,
};

struct HttpSettings {
  unsigned tls_versions = kTls10 | kTls11 | kTls12;
  bool verify_certificates = false;
  // The proxy as host and port; an empty host means a direct connection.
  std::string proxy_host;
  int proxy_port = 0;
  // Empty: the client's default.
  std::string user_agent;
  std::string accept;
  // 0: the client's default.
  uint32_t connect_timeout_ms = 0;
  uint32_t read_timeout_ms = 0;
  bool follow_redirects = true;
};

struct HttpResponse {
  // False for a network or TLS failure and for a status of 400 and above.
  bool ok = false;
  int status = 0;  // 0 when no reply arrived
  std::string body;
  // What went wrong, for people; empty when ok.
  std::string error;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  virtual HttpResponse Get(const std::string& url) = 0;
};

class Http {
 public:
  virtual ~Http() = default;
  virtual std::unique_ptr<HttpClient> CreateClient(const HttpSettings& settings) = 0;
};

}  // namespace platform
