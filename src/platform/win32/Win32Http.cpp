#include "platform/win32/Win32Http.h"

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/win32/Wide.h"

namespace platform::win32 {

namespace {

std::string ErrorText(DWORD code) {
  const char* text = nullptr;
  switch (code) {
    case ERROR_WINHTTP_TIMEOUT: text = "The operation timed out"; break;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: text = "The server name could not be resolved"; break;
    case ERROR_WINHTTP_CANNOT_CONNECT: text = "A connection with the server could not be established"; break;
    case ERROR_WINHTTP_CONNECTION_ERROR: text = "The connection with the server was reset or terminated"; break;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: text = "The server returned an invalid or unrecognized response"; break;
    case ERROR_WINHTTP_SECURE_FAILURE: text = "A security error occurred"; break;
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: text = "An error occurred in the secure channel support"; break;
    case ERROR_WINHTTP_INVALID_URL: text = "The URL is invalid"; break;
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: text = "The URL scheme could not be recognized"; break;
    case ERROR_WINHTTP_REDIRECT_FAILED: text = "The redirection failed"; break;
    case 10060: text = "The connection timed out"; break;
    default: break;
  }
  char line[200];
  std::snprintf(line, sizeof(line), "Error %lu: %s", static_cast<unsigned long>(code),
                text ? text : "The request failed");
  return line;
}

constexpr int kMaxRedirects = 10;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size()) return false;
    char a = text[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

// The address a Location header leads to from `base`: absolute, scheme-relative,
// host-relative or relative to the base's folder.
std::string ResolveLocation(const std::string& base, const std::string& location) {
  if (StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://")) return location;
  size_t scheme_end = base.find("://");
  if (scheme_end == std::string::npos) return location;
  if (location.rfind("//", 0) == 0) return base.substr(0, scheme_end + 1) + location;
  size_t path_start = base.find('/', scheme_end + 3);
  std::string origin = path_start == std::string::npos ? base : base.substr(0, path_start);
  if (!location.empty() && location[0] == '/') return origin + location;
  std::string path = path_start == std::string::npos ? "/" : base.substr(path_start);
  size_t cut = path.find_first_of("?#");
  if (cut != std::string::npos) path.resize(cut);
  return origin + path.substr(0, path.rfind('/') + 1) + location;
}

// Ends a request that outlasts its overall bound by closing its handle from another
// thread, which makes the call waiting on it return with an error.
class Deadline {
 public:
  explicit Deadline(uint32_t timeout_ms) : timeout_ms_(timeout_ms), start_(GetTickCount64()) {
    if (timeout_ms_) watcher_ = std::thread([this] { Watch(); });
  }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;
  ~Deadline() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    changed_.notify_all();
    if (watcher_.joinable()) watcher_.join();
  }
  // The request handle the deadline closes; nullptr when none is open.
  void Watch(HINTERNET request) {
    std::lock_guard lock(mutex_);
    request_ = request;
  }
  // Closes the watched handle unless the deadline already did.
  void Close(HINTERNET request) {
    std::lock_guard lock(mutex_);
    if (request_ == request) request_ = nullptr;
    else if (expired_) return;  // closed by the watcher
    WinHttpCloseHandle(request);
  }
  bool Expired() {
    std::lock_guard lock(mutex_);
    return expired_ || (timeout_ms_ && GetTickCount64() - start_ >= timeout_ms_);
  }

 private:
  void Watch() {
    std::unique_lock lock(mutex_);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms_);
    if (changed_.wait_until(lock, until, [this] { return done_; })) return;
    expired_ = true;
    if (request_) {
      WinHttpCloseHandle(request_);
      request_ = nullptr;
    }
  }

  const uint32_t timeout_ms_;
  const ULONGLONG start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  bool expired_ = false;
  HINTERNET request_ = nullptr;
  std::thread watcher_;
};

// Closes a WinHTTP handle at the end of its scope.
struct Handle {
  HINTERNET h = nullptr;
  explicit Handle(HINTERNET handle) : h(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h) WinHttpCloseHandle(h);
  }
};

class Client : public platform::HttpClient {
 public:
  explicit Client(const platform::HttpSettings& settings) : settings_(settings) {
    std::wstring agent = Widen(settings.user_agent);
    if (settings.proxy_host.empty()) {
      session_ = WinHttpOpen(agent.empty() ? nullptr : agent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY,
                             WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    } else {
      // One "host:port": a list would be resolved as a host name.
      std::wstring proxy = Widen(settings.proxy_host + ":" + std::to_string(settings.proxy_port));
      session_ = WinHttpOpen(agent.empty() ? nullptr : agent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                             proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0);
    }
    open_error_ = session_ ? 0 : GetLastError();
    if (!session_) return;
    DWORD protocols = 0;
    if (settings.tls_versions & platform::kTls10) protocols |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1;
    if (settings.tls_versions & platform::kTls11) protocols |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1;
    if (settings.tls_versions & platform::kTls12) protocols |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    WinHttpSetOption(session_, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
    if (settings.connect_timeout_ms || settings.read_timeout_ms) {
      int connect = settings.connect_timeout_ms ? static_cast<int>(settings.connect_timeout_ms) : 60000;
      int read = settings.read_timeout_ms ? static_cast<int>(settings.read_timeout_ms) : 30000;
      WinHttpSetTimeouts(session_, 0, connect, read, read);
    }
  }
  ~Client() override {
    if (session_) WinHttpCloseHandle(session_);
  }

  platform::HttpResponse Get(const std::string& url) override { return Fetch(url, nullptr); }

  platform::HttpResponse Download(const std::string& url, platform::HttpProgress& progress) override {
    // The end is reported however the transfer ends.
    struct End {
      platform::HttpProgress& progress;
      bool begun = false;
      ~End() {
        if (begun) progress.WorkEnd();
      }
    } end{progress};
    return Fetch(url, &end.begun, &progress);
  }

 private:
  platform::HttpResponse Fetch(const std::string& url, bool* begun, platform::HttpProgress* progress = nullptr) {
    if (!session_) return Failed(open_error_);
    Deadline deadline(settings_.total_timeout_ms);
    std::string current = url;
    for (int hop = 0;; ++hop) {
      std::string location;
      platform::HttpResponse response = FetchOnce(current, deadline, begun, progress, location);
      if (location.empty()) return response;
      // Redirects are followed here, one by one, so that each step can be judged.
      if (hop >= kMaxRedirects) return Refused("Too many redirects");
      std::string next = ResolveLocation(current, location);
      if (!settings_.allow_https_to_http && StartsWithNoCase(current, "https://") &&
          !StartsWithNoCase(next, "https://"))
        return Refused("A redirect from https to http was refused");
      current = next;
    }
  }

  // One request. A redirect that is to be followed leaves its target in `location`.
  platform::HttpResponse FetchOnce(const std::string& url, Deadline& deadline, bool* begun,
                                   platform::HttpProgress* progress, std::string& location) {
    platform::HttpResponse response;
    std::wstring wide_url = Widen(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[256] = {}, path[2048] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = static_cast<DWORD>(std::size(path));
    if (!WinHttpCrackUrl(wide_url.c_str(), 0, 0, &parts)) return Failed(GetLastError());
    bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    std::wstring object = path[0] ? path : L"/";
    if (parts.lpszExtraInfo && parts.dwExtraInfoLength) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    Handle connection(WinHttpConnect(session_, host, parts.nPort, 0));
    if (!connection.h) return Failed(GetLastError());
    HINTERNET request = WinHttpOpenRequest(connection.h, L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
    if (!request) return Failed(GetLastError());
    deadline.Watch(request);
    struct Closer {
      Deadline& deadline;
      HINTERNET request;
      ~Closer() { deadline.Close(request); }
    } closer{deadline, request};
    // A failure after the overall bound passed is the bound's, whatever the call says.
    auto failed = [&](DWORD code, int status = 0) {
      return deadline.Expired() ? Failed(ERROR_WINHTTP_TIMEOUT, status) : Failed(code, status);
    };
    if (deadline.Expired()) return Failed(ERROR_WINHTTP_TIMEOUT);

    if (secure && !settings_.proxy_host.empty()) {
      // A tunnel through the proxy leads to one server only; Wine would hand a kept
      // tunnel to the next request for another server.
      DWORD feature = WINHTTP_DISABLE_KEEP_ALIVE;
      WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof(feature));
    }
    if (!settings_.verify_certificates) {
      DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
      WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
    }
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never));
    if (settings_.read_timeout_ms) {
      // The receive time-out alone does not cover the wait for the response headers.
      DWORD wait = settings_.read_timeout_ms;
      WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &wait, sizeof(wait));
    }
    if (!settings_.authorization.empty()) {
      std::wstring header = L"Authorization: " + Widen(settings_.authorization);
      WinHttpAddRequestHeaders(request, header.c_str(), static_cast<DWORD>(-1L),
                               WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    if (!settings_.accept.empty()) {
      std::wstring header = L"Accept: " + Widen(settings_.accept);
      WinHttpAddRequestHeaders(request, header.c_str(), static_cast<DWORD>(-1L),
                               WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request, nullptr))
      return failed(GetLastError());

    DWORD status = 0, size = sizeof(status);
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &size, WINHTTP_NO_HEADER_INDEX);
    response.status = static_cast<int>(status);
    if (settings_.follow_redirects &&
        (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)) {
      wchar_t target[2048] = {};
      DWORD target_size = sizeof(target);
      if (WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, target, &target_size,
                              WINHTTP_NO_HEADER_INDEX) &&
          target[0]) {
        location = Narrow(target);
        return response;
      }
    }
    DWORD length = 0, length_size = sizeof(length);
    bool announced = WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                         WINHTTP_HEADER_NAME_BY_INDEX, &length, &length_size,
                                         WINHTTP_NO_HEADER_INDEX);
    if (!announced) length = 0;
    if (settings_.max_body_bytes && length > settings_.max_body_bytes) return TooLarge(response.status);
    if (progress) {
      *begun = true;
      progress->WorkBegin(static_cast<int64_t>(length));
    }
    for (;;) {
      if (deadline.Expired()) return Failed(ERROR_WINHTTP_TIMEOUT, response.status);
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(request, &available)) return failed(GetLastError(), response.status);
      if (available == 0) break;
      if (settings_.max_body_bytes && response.body.size() + available > settings_.max_body_bytes)
        return TooLarge(response.status);
      std::string chunk(available, '\0');
      DWORD read = 0;
      if (!WinHttpReadData(request, chunk.data(), available, &read)) return failed(GetLastError(), response.status);
      response.body.append(chunk.data(), read);
      if (read == 0) break;
      // A stop asked for between two pieces closes the request.
      if (progress && !progress->Work(static_cast<int64_t>(response.body.size()))) {
        platform::HttpResponse aborted;
        aborted.status = response.status;
        aborted.error = "Operation aborted";
        return aborted;
      }
    }
    if (announced && response.body.size() != length && status < 400) {
      // A body cut short is no answer.
      return Refused("The answer ended before its announced length", response.status);
    }
    if (status >= 400) {
      wchar_t reason[256] = {};
      DWORD reason_size = sizeof(reason);
      WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_TEXT, WINHTTP_HEADER_NAME_BY_INDEX, reason, &reason_size,
                          WINHTTP_NO_HEADER_INDEX);
      response.error = "HTTP/1.1 " + std::to_string(status) + (reason[0] ? " " + Narrow(reason) : std::string());
      response.body.clear();
      return response;
    }
    response.ok = true;
    return response;
  }

  static platform::HttpResponse Refused(const std::string& why, int status = 0) {
    platform::HttpResponse response;
    response.status = status;
    response.error = why;
    return response;
  }
  static platform::HttpResponse TooLarge(int status) {
    return Refused("The answer is larger than allowed", status);
  }

  static platform::HttpResponse Failed(DWORD code, int status = 0) {
    platform::HttpResponse response;
    response.status = status;
    response.error = ErrorText(code);
    return response;
  }

  platform::HttpSettings settings_;
  HINTERNET session_ = nullptr;
  DWORD open_error_ = 0;
};

}  // namespace

std::unique_ptr<platform::HttpClient> Win32Http::CreateClient(const platform::HttpSettings& settings) {
  return std::make_unique<Client>(settings);
}

}  // namespace platform::win32
