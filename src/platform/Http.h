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

// A proxy server as the HTTP client takes it: a host (an IPv6 address in brackets) and
// a port.
struct HttpProxy {
  std::string host;
  int port = 0;
  bool operator==(const HttpProxy&) const = default;
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
  // False: a redirect from an https address to an http one fails the request.
  bool allow_https_to_http = true;
  // The most bytes a body may have; a longer one (or a longer announced length) fails
  // the request. 0: no bound.
  uint64_t max_body_bytes = 0;
  // The whole request, from connecting to the body's last byte, ends within this
  // time however slowly the server answers. 0: no bound beyond the ones above.
  uint32_t total_timeout_ms = 0;
  // Value of an Authorization header sent with every request; empty: none.
  std::string authorization;
};

struct HttpResponse {
  // False for a network or TLS failure and for a status of 400 and above.
  bool ok = false;
  int status = 0;  // 0 when no reply arrived
  std::string body;
  // What went wrong, for people; empty when ok.
  std::string error;
};

// Progress of a download, reported on the thread that runs it.
class HttpProgress {
 public:
  virtual ~HttpProgress() = default;
  // The reply has arrived; `expected` is the size the server announced, 0 when none.
  virtual void WorkBegin(int64_t expected) = 0;
  // `received` bytes of the body so far; false stops the transfer, which then fails.
  virtual bool Work(int64_t received) = 0;
  // The transfer has ended, whether or not it succeeded.
  virtual void WorkEnd() = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  virtual HttpResponse Get(const std::string& url) = 0;
  // A GET that reports its progress while the body arrives. A client that cannot
  // report pieces reports the whole body at once.
  virtual HttpResponse Download(const std::string& url, HttpProgress& progress) {
    HttpResponse response = Get(url);
    if (response.status) progress.WorkBegin(static_cast<int64_t>(response.body.size()));
    if (response.ok && !progress.Work(static_cast<int64_t>(response.body.size()))) {
      response = {false, response.status, {}, "Operation aborted"};
    }
    progress.WorkEnd();
    return response;
  }
};

class Http {
 public:
  virtual ~Http() = default;
  virtual std::unique_ptr<HttpClient> CreateClient(const HttpSettings& settings) = 0;
};

}  // namespace platform
