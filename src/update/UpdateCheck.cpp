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

std::string Trim(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

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

platform::HttpSettings DownloadSettings(const ProxyChoice& proxy) { return CommonSettings(proxy); }

bool FetchServerVersion(platform::Http& http, const platform::HttpSettings& settings,
                        const std::vector<std::string>& servers, bool portable,
                        const SignatureCheck& check, ServerVersion& result) {
  for (const std::string& server : servers) {
    const std::string folder = server + GetUpdateBaseName() + "/";
    // A new client for every server.
    std::unique_ptr<platform::HttpClient> client = http.CreateClient(settings);
    platform::HttpResponse reply = client->Get(folder + "version.txt");
    if (!reply.ok || reply.status != 200) continue;
    std::string version = Trim(reply.body);
    if (version.empty()) continue;
    platform::HttpResponse signature = client->Get(folder + "version.txt.sig");
    if (!signature.ok || signature.status != 200) continue;
    if (!check || !check(Bytes(reply.body), Bytes(signature.body))) continue;
    result.version = version;
    result.download_url = folder + (portable ? GetZipFileName() : GetSetupFileName());
    return true;
  }
  return false;
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

std::string PortableUpdateScript(const std::string& program_dir, const std::string& exe_name,
                                 const std::string& zip_name) {
  const std::string lines[19] = {
      "@echo off",
      "cd /d \"" + program_dir + "\"",
      "",
      "echo Killing app...",
      "taskkill /F /IM \"" + exe_name + "\" >nul 2>&1",
      "timeout /t 2 >nul",
      "",
      "echo Extracting...",
      "powershell -Command \"Add-Type -AssemblyName System.IO.Compression.FileSystem; $zip = "
      "[System.IO.Compression.ZipFile]::OpenRead('" +
          zip_name +
          "'); foreach ($entry in $zip.Entries) { $target = $entry.FullName; if (-not $entry.Name) { "
          "[System.IO.Directory]::CreateDirectory($target) | Out-Null; } else { try { "
          "[System.IO.Compression.ZipFileExtensions]::ExtractToFile($entry, $target, $true) } catch { "
          "Write-Host ('Skipping: ' + $entry.FullName) } } }; $zip.Dispose(); Write-Host 'Extraction "
          "complete'\"",
      "",
      "echo Deleting ZIP...",
      "del \"" + zip_name + "\"",
      "",
      "echo Starting app...",
      "start \"\" \"" + exe_name + "\"",
      "",
      "echo Done",
      "timeout /t 2 >nul",
      "del \"%~f0\"",
  };
  std::string script;
  for (const std::string& line : lines) script += line + "\r\n";
  return script;
}

}  // namespace update
