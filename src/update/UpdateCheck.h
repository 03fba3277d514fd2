// The updater's portable rules: file names on the update server, version comparison,
// the version request over the primary and the fallback server, the installer's
// parameters and the portable copy's update script.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/Http.h"

namespace update {

// Base name of the product's files and of its folder on the update servers.
std::string GetUpdateBaseName();
// The installer of installed copies and the archive of portable ones.
std::string GetSetupFileName();
std::string GetZipFileName();

// 1 when version `a` is newer than `b`, -1 when older, 0 when equal. Components are
// separated by ".", blanks and line breaks; a missing or non-numeric component counts
// as 0. Numbers of any length compare by value, so "4.5" equals "4.5.0.0" and
// "4.10" is newer than "4.9".
int CompareVersions(std::string_view a, std::string_view b);

// The text after the URL's last "/"; the whole URL when it holds none or ends in one.
std::string FileNameFromUrl(const std::string& url);

// The URL with the characters that a URL path may not hold percent-encoded (UTF-8
// bytes); "%" stays as it is, so an encoded URL comes through unchanged.
std::string EncodeUrlPath(const std::string& url);

// The proxy that the update requests take: from the per-user settings when they name
// a usable, enabled proxy; direct otherwise.
struct ProxyChoice {
  bool found = false;
  bool enabled = false;
  std::string host;
  int port = 0;
};

// The version request: TLS 1.2 only with certificate checks, the proxy, redirects,
// the browser user agent and Accept header, 3 s to connect and 5 s to read, and an
// empty basic-authentication header.
platform::HttpSettings VersionRequestSettings(const ProxyChoice& proxy);
// The download: the same without time-outs.
platform::HttpSettings DownloadSettings(const ProxyChoice& proxy);

// Checks a file fetched from an update server against its signature file's bytes.
using SignatureCheck =
    std::function<bool(const std::vector<uint8_t>& data, const std::vector<uint8_t>& signature)>;

struct ServerVersion {
  std::string version;       // the trimmed text of version.txt
  std::string download_url;  // the archive (portable) or the installer (installed)
};

// Asks each server in turn for version.txt and its signature; the first signed,
// non-empty answer wins. A server that fails, answers anything but 200, sends an
// empty file or a file whose signature does not match is passed over. False when no
// server gave an answer.
bool FetchServerVersion(platform::Http& http, const platform::HttpSettings& settings,
                        const std::vector<std::string>& servers, bool portable,
                        const SignatureCheck& check, ServerVersion& result);

// Parameters of the installer for a quick installation.
std::string InstallerParameters(const std::string& selected_language);

// "update_" + hhnnss + ".bat".
std::string UpdateScriptName(const platform::LocalTime& now);
// The 19 lines of the portable copy's update script, each ended by CR LF, as UTF-8
// (written in the system's ANSI code page). `program_dir` ends in "\".
std::string PortableUpdateScript(const std::string& program_dir, const std::string& exe_name,
                                 const std::string& zip_name);

}  // namespace update
