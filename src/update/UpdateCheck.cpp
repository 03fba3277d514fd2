#include "update/UpdateCheck.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace update {

namespace {

constexpr char kUserAgent[] = "Mozilla/5.0 (Windows NT 6.1; WOW64;rv:12.0) Gecko/20100101 Firefox/12.0";
constexpr char kAccept[] = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
// Basic scheme with an empty user name and password: Base64 of ":".
constexpr char kEmptyBasicAuth[] = "Basic Og==";

bool IsSeparator(char c) { return c == '.' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitVersion(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || IsSeparator(text[i])) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// The component's digits without leading zeros; "" for zero, for a missing component
// and for one that is not a plain decimal number.
std::string_view Magnitude(std::string_view part) {
  if (part.empty()) return {};
  for (char c : part)
    if (c < '0' || c > '9') return {};
  size_t first = part.find_first_not_of('0');
  return first == std::string_view::npos ? std::string_view() : part.substr(first);
}

int CompareMagnitudes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() > b.size() ? 1 : -1;
  int c = a.compare(b);
  return c > 0 ? 1 : (c < 0 ? -1 : 0);
}

platform::HttpSettings CommonSettings(const ProxyChoice& proxy) {
  platform::HttpSettings settings;
  settings.tls_versions = platform::kTls12;
  // Whatever is downloaded here may end up being run: the server's certificate is
  // always checked.
  settings.verify_certificates = true;
  if (proxy.found && proxy.enabled) {
    settings.proxy_host = proxy.host;
    settings.proxy_port = proxy.port;
  }
  settings.user_agent = kUserAgent;
  settings.accept = kAccept;
  settings.follow_redirects = true;
  settings.allow_https_to_http = false;
  settings.authorization = kEmptyBasicAuth;
  return settings;
}

}  // namespace

std::string GetUpdateBaseName() { return "Velmora"; }
std::string GetSetupFileName() { return GetUpdateBaseName() + "-setup.exe"; }
std::string GetZipFileName() { return GetUpdateBaseName() + ".zip"; }

int CompareVersions(std::string_view a, std::string_view b) {
  std::vector<std::string_view> pa = SplitVersion(TrimView(a)), pb = SplitVersion(TrimView(b));
  size_t count = std::max(pa.size(), pb.size());
  for (size_t i = 0; i < count; ++i) {
    std::string_view x = i < pa.size() ? Magnitude(pa[i]) : std::string_view();
    std::string_view y = i < pb.size() ? Magnitude(pb[i]) : std::string_view();
    if (int c = CompareMagnitudes(x, y)) return c;
  }
  return 0;
}

std::string FileNameFromUrl(const std::string& url) {
  size_t slash = url.rfind('/');
  if (slash == std::string::npos || slash + 1 == url.size()) return url;
  return url.substr(slash + 1);
}

std::string EncodeUrlPath(const std::string& url) {
  // Scheme and authority stay; the rest is the path (with query and fragment).
  size_t path_start = 0;
  size_t scheme = url.find("://");
  if (scheme != std::string::npos) {
    path_start = url.find('/', scheme + 3);
    if (path_start == std::string::npos) return url;
  }
  static const std::string kAllowed =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~!$&'()*+,;=:@/?#%";
  std::string out = url.substr(0, path_start);
  for (size_t i = path_start; i < url.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(url[i]);
    if (kAllowed.find(static_cast<char>(c)) != std::string::npos) {
      out += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof(escaped), "%%%02X", c);
      out += escaped;
    }
  }
  return out;
}

platform::HttpSettings VersionRequestSettings(const ProxyChoice& proxy) {
  platform::HttpSettings settings = CommonSettings(proxy);
  settings.connect_timeout_ms = 3000;
  settings.read_timeout_ms = 5000;
  return settings;
}

platform::HttpSettings DownloadSettings(const ProxyChoice& proxy) {
  platform::HttpSettings settings = CommonSettings(proxy);
  settings.connect_timeout_ms = 3000;
  settings.read_timeout_ms = 30000;
  return settings;
}

std::string InstallerParameters(const std::string& selected_language) {
  return "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG=" + selected_language +
         " /MERGETASKS=\"runcmd1\"";
}

std::string UpdateScriptName(const platform::LocalTime& now) {
  char name[32];
  std::snprintf(name, sizeof(name), "update_%02d%02d%02d.bat", now.hour % 100, now.minute % 100,
                now.second % 100);
  return name;
}

namespace {

// A path as a batch file must spell it: "%" would start a variable.
std::string BatchText(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

// A text inside single quotes of PowerShell.
std::string PowerShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

}  // namespace

std::string PortableUpdateScript(const std::string& program_dir, const std::string& exe_name,
                                 const std::string& zip_path, const std::string& system_folder) {
  const std::string dir = BatchText(program_dir), exe = BatchText(exe_name), zip = BatchText(zip_path),
                    tools = BatchText(system_folder);
  // Entries are unpacked one by one; an entry that leaves the folder or cannot be
  // written is listed, and the script then keeps the archive.
  const std::string extract =
      "$ErrorActionPreference = 'Stop'; Add-Type -AssemblyName System.IO.Compression.FileSystem; "
      "$failed = @(); $zip = [System.IO.Compression.ZipFile]::OpenRead(" +
      BatchText(PowerShellQuoted(zip_path)) +
      "); try { foreach ($entry in $zip.Entries) { $target = $entry.FullName; "
      "if ($target.Contains('..') -or [System.IO.Path]::IsPathRooted($target)) { $failed += $target; continue }; "
      "try { if (-not $entry.Name) { [System.IO.Directory]::CreateDirectory($target) | Out-Null } else { "
      "$parent = [System.IO.Path]::GetDirectoryName($target); "
      "if ($parent) { [System.IO.Directory]::CreateDirectory($parent) | Out-Null }; "
      "[System.IO.Compression.ZipFileExtensions]::ExtractToFile($entry, $target, $true) } } "
      "catch { $failed += $target } } } finally { $zip.Dispose() }; "
      "if ($failed.Count -gt 0) { $failed | Set-Content -Encoding UTF8 'Velmora-update-errors.txt'; "
      "$failed | ForEach-Object { Write-Host ('Not extracted: ' + $_) }; exit 1 }; "
      "Write-Host 'Extraction complete'; exit 0";
  const std::string lines[] = {
      "@echo off",
      "cd /d \"" + dir + "\" || exit /b 1",
      "",
      "echo Killing app...",
      "\"" + tools + "taskkill.exe\" /F /IM \"" + exe + "\" >nul 2>&1",
      "\"" + tools + "timeout.exe\" /t 2 /nobreak >nul",
      "",
      "echo Extracting...",
      "\"" + tools + "WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile -ExecutionPolicy Bypass -Command \"" +
          extract + "\"",
      "if errorlevel 1 goto kept",
      "",
      "echo Deleting ZIP...",
      "del \"" + zip + "\"",
      "goto started",
      "",
      ":kept",
      "echo Some entries were not extracted (Velmora-update-errors.txt); the archive stays: \"" + zip + "\"",
      "",
      ":started",
      "echo Starting app...",
      "start \"\" \"" + exe + "\"",
      "echo Done",
      "del \"%~f0\"",
  };
  std::string script;
  for (const std::string& line : lines) script += line + "\r\n";
  return script;
}

}  // namespace update
