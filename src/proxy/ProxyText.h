// The ProxyServer value as the proxy band shows it and as the program's own requests
// use it. The value is split at its first ":" only, so the per-scheme form
// ("http=host:3128;https=host:3129") shows its first scheme and host in the address box
// and everything after the first ":" in the port box, and goes back unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace proxy {

struct ProxyServerParts {
  std::string address;  // before the first ":"; empty when there is none
  std::string port;     // after the first ":"; the whole value when there is none
  bool operator==(const ProxyServerParts&) const = default;
};
ProxyServerParts SplitProxyServer(std::string_view server);
// The value the apply stores for the two boxes.
std::string JoinProxyServer(std::string_view address, std::string_view port);

// A whole decimal number that fits an int, with an optional sign.
std::optional<int> ParseInt(std::string_view text);

// The proxy the program's own requests use for a stored ProxyServer: nullopt unless the
// value holds a ":" (and so an address and a port); the port is 8080 when its text is
// not a number.
struct ProxyEndpoint {
  std::string address;
  int port = 0;
};
std::optional<ProxyEndpoint> EndpointOf(std::string_view server);

}  // namespace proxy
