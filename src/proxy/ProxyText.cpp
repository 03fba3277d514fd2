#include "proxy/ProxyText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace proxy {

ProxyServerParts SplitProxyServer(std::string_view server) {
  const size_t colon = server.find(':');
  if (colon == std::string_view::npos) return {{}, std::string(server)};
  return {std::string(server.substr(0, colon)), std::string(server.substr(colon + 1))};
}

std::string JoinProxyServer(std::string_view address, std::string_view port) {
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

std::optional<ProxyEndpoint> EndpointOf(std::string_view server) {
  if (server.find(':') == std::string_view::npos) return std::nullopt;
  ProxyServerParts parts = SplitProxyServer(server);
  return ProxyEndpoint{std::move(parts.address), ParseInt(parts.port).value_or(8080)};
}

}  // namespace proxy
