// The updater's portable rules: file names on the update server, version comparison,
// the version request over the primary and the fallback server, the installer's
// parameters and the portable copy's update script.
#pragma once

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

// The version request: TLS 1.2 only with certificate checks, the proxy, redirects
// (never from https to http), the browser user agent and Accept header, 3 s to
// connect and 5 s to read, and an empty basic-authentication header.
platform::HttpSettings VersionRequestSettings(const ProxyChoice& proxy);
// The download: the same, with 30 s to read a piece.
platform::HttpSettings DownloadSettings(const ProxyChoice& proxy);

struct ServerVersion {
  std::string version;       // the trimmed text of version.txt
  std::string download_url;  // the archive (portable) or the installer (installed)
};

// Parameters of the installer for a quick installation.
std::string InstallerParameters(const std::string& selected_language);

// "update_" + hhnnss + ".bat".
std::string UpdateScriptName(const platform::LocalTime& now);
// The portable copy's update script, each line ended by CR LF, as UTF-8 (written in
// the command processor's OEM code page). It changes to `program_dir` (ending in "\")
// or stops, ends the program, unpacks the archive `zip_path` over the folder, deletes
// the archive only when every entry was unpacked (else it keeps it and lists the
// entries that failed in "Velmora-update-errors.txt" in the program folder), and
// starts the program again. The system's tools are named by their full paths in
// `system_folder` (ending in "\").
std::string PortableUpdateScript(const std::string& program_dir, const std::string& exe_name,
                                 const std::string& zip_path, const std::string& system_folder);

}  // namespace update
