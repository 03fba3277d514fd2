// The ProxyServer value as the proxy band shows it and as the program's own requests
// use it. The band splits the value at its first ":" only, so the per-scheme form
// ("http=host:3128;https=host:3129") shows its first scheme and host in the address box
// and everything after the first ":" in the port box, and goes back unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Http.h"

namespace proxy {

struct ProxyServerParts {
  std::string address;  // before the first ":"; empty when there is none
  std::string port;     // after the first ":"; the whole value when there is none
  bool operator==(const ProxyServerParts&) const = default;
};
ProxyServerParts SplitProxyServer(std::string_view server);
// The value the apply stores for the two boxes: address, ":" and port, or empty text
// when both boxes are empty (a lone ":" names no proxy).
std::string JoinProxyServer(std::string_view address, std::string_view port);

// A whole decimal number that fits an int, with an optional sign.
std::optional<int> ParseInt(std::string_view text);

// The scheme of a URL ("https" for "HTTPS://host/"), in lower case; empty when the
// text has none.
std::string SchemeOf(std::string_view url);

// The proxy that a request of `scheme` ("http" or "https") takes from a stored
// ProxyServer value, as the system's internet functions read the value:
// - "host:port" serves every scheme;
// - the per-scheme form, entries "scheme=host:port" separated by ";", gives an https
//   request the https entry, else the http one, and an http request the http entry; an
//   entry without "scheme=" serves a request that has no entry of its own;
// - a bracketed IPv6 address splits at the colon after its bracket and keeps the
//   brackets ("[::1]:8080" gives host "[::1]"), which the system's HTTP client needs
//   to tell the address from the port;
// - "http://" or "https://" before the host is skipped;
// - a port that is not a number gives 8080; an entry without ":" before its port, or
//   whose host is empty or holds "=", "/" or a blank, is no proxy.
// nullopt: the request goes direct.
std::optional<platform::HttpProxy> ProxyForScheme(std::string_view server, std::string_view scheme);

}  // namespace proxy
