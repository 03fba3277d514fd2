#include "proxy/ProxyText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace proxy {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// One "host:port" (the host possibly a bracketed IPv6 address), after an optional
// "http://" or "https://".
std::optional<platform::HttpProxy> ParseHostPort(std::string_view entry) {
  for (std::string_view prefix : {std::string_view("http://"), std::string_view("https://")})
    if (entry.size() > prefix.size() && Lower(entry.substr(0, prefix.size())) == prefix) {
      entry.remove_prefix(prefix.size());
      break;
    }
  size_t colon;
  if (!entry.empty() && entry.front() == '[') {
    const size_t close = entry.find(']');
    if (close == std::string_view::npos || close + 1 >= entry.size() || entry[close + 1] != ':') return std::nullopt;
    colon = close + 1;
  } else {
    colon = entry.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
  }
  std::string_view host = Trim(entry.substr(0, colon));
  // A host name or address holds none of these; such an entry names no proxy.
  if (host.empty() || host == "[]" || host.find_first_of("=;/ \t") != std::string_view::npos) return std::nullopt;
  return platform::HttpProxy{std::string(host), ParseInt(Trim(entry.substr(colon + 1))).value_or(8080)};
}

}  // namespace

ProxyServerParts SplitProxyServer(std::string_view server) {
  const size_t colon = server.find(':');
  if (colon == std::string_view::npos) return {{}, std::string(server)};
  return {std::string(server.substr(0, colon)), std::string(server.substr(colon + 1))};
}

std::string JoinProxyServer(std::string_view address, std::string_view port) {
  if (address.empty() && port.empty()) return {};
  std::string joined(address);
  joined += ':';
  joined += port;
  return joined;
}

std::optional<int> ParseInt(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const size_t digits = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (digits == text.size()) return std::nullopt;
  for (size_t i = digits; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  const std::string copy(text);
  errno = 0;
  const long long value = std::strtoll(copy.c_str(), nullptr, 10);
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

std::string SchemeOf(std::string_view url) {
  const size_t colon = url.find("://");
  return colon == std::string_view::npos ? std::string() : Lower(url.substr(0, colon));
}

std::optional<platform::HttpProxy> ProxyForScheme(std::string_view server, std::string_view scheme) {
  const std::string wanted = Lower(scheme);
  std::optional<std::string_view> own, http, any;
  while (!server.empty()) {
    const size_t end = server.find(';');
    std::string_view entry = Trim(server.substr(0, end));
    server = end == std::string_view::npos ? std::string_view() : server.substr(end + 1);
    if (entry.empty()) continue;
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (!any) any = entry;
      continue;
    }
    const std::string name = Lower(Trim(entry.substr(0, equals)));
    std::string_view value = Trim(entry.substr(equals + 1));
    if (name == wanted && !own) own = value;
    if (name == "http" && !http) http = value;
  }
  std::optional<std::string_view> chosen = own;
  if (!chosen && wanted == "https") chosen = http;
  if (!chosen) chosen = any;
  if (!chosen) return std::nullopt;
  return ParseHostPort(*chosen);
}

}  // namespace proxy
