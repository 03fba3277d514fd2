#include "platform/win32/Win32Http.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdio>

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
    platform::HttpResponse response;
    if (!session_) return Failed(open_error_);
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
    Handle request(WinHttpOpenRequest(connection.h, L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request.h) return Failed(GetLastError());
    if (secure && !settings_.proxy_host.empty()) {
      // A tunnel through the proxy leads to one server only; Wine would hand a kept
      // tunnel to the next request for another server.
      DWORD feature = WINHTTP_DISABLE_KEEP_ALIVE;
      WinHttpSetOption(request.h, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof(feature));
    }
    if (!settings_.verify_certificates) {
      DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
      WinHttpSetOption(request.h, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
    }
    DWORD redirects = settings_.follow_redirects ? WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS
                                                 : WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.h, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof(redirects));
    if (settings_.read_timeout_ms) {
      // The receive time-out alone does not cover the wait for the response headers.
      DWORD wait = settings_.read_timeout_ms;
      WinHttpSetOption(request.h, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &wait, sizeof(wait));
    }
    if (!settings_.authorization.empty()) {
      std::wstring header = L"Authorization: " + Widen(settings_.authorization);
      WinHttpAddRequestHeaders(request.h, header.c_str(), static_cast<DWORD>(-1L),
                               WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    if (!settings_.accept.empty()) {
      std::wstring header = L"Accept: " + Widen(settings_.accept);
      WinHttpAddRequestHeaders(request.h, header.c_str(), static_cast<DWORD>(-1L),
                               WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    if (!WinHttpSendRequest(request.h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.h, nullptr))
      return Failed(GetLastError());

    DWORD status = 0, size = sizeof(status);
    WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &size, WINHTTP_NO_HEADER_INDEX);
    response.status = static_cast<int>(status);
    if (progress) {
      DWORD length = 0, length_size = sizeof(length);
      if (!WinHttpQueryHeaders(request.h, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &length, &length_size, WINHTTP_NO_HEADER_INDEX))
        length = 0;
      *begun = true;
      progress->WorkBegin(static_cast<int64_t>(length));
    }
    for (;;) {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(request.h, &available)) return Failed(GetLastError(), response.status);
      if (available == 0) break;
      std::string chunk(available, '\0');
      DWORD read = 0;
      if (!WinHttpReadData(request.h, chunk.data(), available, &read)) return Failed(GetLastError(), response.status);
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
    if (status >= 400) {
      wchar_t reason[256] = {};
      DWORD reason_size = sizeof(reason);
      WinHttpQueryHeaders(request.h, WINHTTP_QUERY_STATUS_TEXT, WINHTTP_HEADER_NAME_BY_INDEX, reason, &reason_size,
                          WINHTTP_NO_HEADER_INDEX);
      response.error = "HTTP/1.1 " + std::to_string(status) + (reason[0] ? " " + Narrow(reason) : std::string());
      response.body.clear();
      return response;
    }
    response.ok = true;
    return response;
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
