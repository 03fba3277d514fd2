#include <gtest/gtest.h>

#include <map>

#include "fakes/FakeHttp.h"
#include "update/UpdateCheck.h"

namespace {

TEST(UpdateCheck, CompareVersions) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {"4.5.26.229", "4.5.26.228", 1},
      {"4.5.26.228", "4.5.26.229", -1},
      {"4.5.26.228\r\n", "4.5.26.228", 0},
      {"4.5.26", "4.5.26.0", 0},
      {"4.5", "4.5.0.0", 0},
      {"4.6", "4.5.26.228", 1},
      {"4.10", "4.9", 1},
      {"  4.5.26.228  ", "4.5.26.228", 0},
      {"4 5 26\n229", "4.5.26.228", 1},      // blanks and line breaks separate too
      {"4.5.x.229", "4.5.0.229", 0},         // a part that is not a number counts as 0
      {"4.5.26.228-beta", "4.5.26.0", 0},
      {"", "0.0", 0},
      {"", "0.0.1", -1},
      {"4.007", "4.7", 0},
      // Far beyond 64 bits: compared by value, no wrap-around.
      {"4.99999999999999999999999999", "4.99999999999999999999999998", 1},
      {"4.18446744073709551616", "4.18446744073709551615", 1},
      {"4.000000000000000000000000001", "4.1", 0},
      {"4.100000000000000000000", "4.99999999999999999999", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(update::CompareVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(update::CompareVersions(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(UpdateCheck, FileNamesAndUrls) {
  EXPECT_EQ(update::GetUpdateBaseName(), "Velmora");
  EXPECT_EQ(update::GetSetupFileName(), "Velmora-setup.exe");
  EXPECT_EQ(update::GetZipFileName(), "Velmora.zip");

  const std::pair<const char*, const char*> names[] = {
      {"http://127.0.0.1/download/Velmora/Velmora.zip", "Velmora.zip"},
      {"http://127.0.0.1/download/Velmora/", "http://127.0.0.1/download/Velmora/"},
      {"Velmora-setup.exe", "Velmora-setup.exe"},
      {"", ""},
  };
  for (auto [url, name] : names) EXPECT_EQ(update::FileNameFromUrl(url), name) << url;

  const std::pair<const char*, const char*> encoded[] = {
      {"http://h:8080/download/Velmora/Velmora.zip", "http://h:8080/download/Velmora/Velmora.zip"},
      {"http://h/dl/my file.zip", "http://h/dl/my%20file.zip"},
      {"http://h/dl/%20ready.zip", "http://h/dl/%20ready.zip"},
      {"http://h/обн/a.zip", "http://h/%D0%BE%D0%B1%D0%BD/a.zip"},
      {"http://h", "http://h"},
  };
  for (auto [url, expected] : encoded) EXPECT_EQ(update::EncodeUrlPath(url), expected) << url;
}

TEST(UpdateCheck, RequestProfile) {
  update::ProxyChoice proxy{true, true, "proxy.local", 3128};
  platform::HttpSettings version = update::VersionRequestSettings(proxy);
  EXPECT_EQ(version.tls_versions, unsigned{platform::kTls12});
  EXPECT_TRUE(version.verify_certificates);
  EXPECT_EQ(version.proxy_host, "proxy.local");
  EXPECT_EQ(version.proxy_port, 3128);
  EXPECT_EQ(version.user_agent, "Mozilla/5.0 (Windows NT 6.1; WOW64;rv:12.0) Gecko/20100101 Firefox/12.0");
  EXPECT_EQ(version.accept, "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
  EXPECT_EQ(version.authorization, "Basic Og==");
  EXPECT_EQ(version.connect_timeout_ms, 3000u);
  EXPECT_EQ(version.read_timeout_ms, 5000u);
  EXPECT_TRUE(version.follow_redirects);

  platform::HttpSettings download = update::DownloadSettings(proxy);
  EXPECT_TRUE(download.verify_certificates);
  EXPECT_EQ(download.connect_timeout_ms, 0u);
  EXPECT_EQ(download.read_timeout_ms, 0u);
  EXPECT_EQ(download.authorization, "Basic Og==");

  // A proxy that is switched off, or was not usable, is not taken.
  EXPECT_EQ(update::VersionRequestSettings({true, false, "proxy.local", 3128}).proxy_host, "");
  EXPECT_EQ(update::VersionRequestSettings({false, true, "proxy.local", 3128}).proxy_host, "");
}

struct Fetch : ::testing::Test {
  fakes::FakeHttp http;
  std::map<std::string, platform::HttpResponse> routes;
  const std::vector<std::string> servers{"http://127.0.0.1:1/download/", "http://127.0.0.2:2/download/"};
  // A signature file is "good" for any data here; the signature rules have their own tests.
  update::SignatureCheck check = [](const std::vector<uint8_t>&, const std::vector<uint8_t>& sig) {
    return std::string(sig.begin(), sig.end()) == "good";
  };

  Fetch() {
    http.handler = [this](const fakes::FakeHttp::Request& r) {
      auto it = routes.find(r.url);
      return it == routes.end() ? fakes::FakeHttp::Fail("HTTP/1.1 404 Not Found", 404) : it->second;
    };
  }
  void Serve(const std::string& server, const std::string& version, const std::string& sig = "good") {
    routes[server + "Velmora/version.txt"] = fakes::FakeHttp::Ok(version);
    routes[server + "Velmora/version.txt.sig"] = fakes::FakeHttp::Ok(sig);
  }
  std::vector<std::string> Urls() const {
    std::vector<std::string> urls;
    for (const auto& r : http.requests) urls.push_back(r.url);
    return urls;
  }
};

TEST_F(Fetch, ThePrimaryAnswering404LeadsToTheFallback) {
  Serve(servers[1], "4.5.26.229\r\n");
  update::ServerVersion result;
  ASSERT_TRUE(update::FetchServerVersion(http, update::VersionRequestSettings({}), servers, false, check, result));
  EXPECT_EQ(result.version, "4.5.26.229");
  EXPECT_EQ(result.download_url, "http://127.0.0.2:2/download/Velmora/Velmora-setup.exe");
  EXPECT_EQ(Urls(), (std::vector<std::string>{"http://127.0.0.1:1/download/Velmora/version.txt",
                                               "http://127.0.0.2:2/download/Velmora/version.txt",
                                               "http://127.0.0.2:2/download/Velmora/version.txt.sig"}));
  EXPECT_EQ(http.clients_created, 2);
  EXPECT_EQ(http.clients_alive, 0);
  for (const auto& r : http.requests) EXPECT_EQ(r.settings.authorization, "Basic Og==");
}

TEST_F(Fetch, PortableCopiesGetTheArchive) {
  Serve(servers[0], "4.6");
  update::ServerVersion result;
  ASSERT_TRUE(update::FetchServerVersion(http, {}, servers, true, check, result));
  EXPECT_EQ(result.download_url, "http://127.0.0.1:1/download/Velmora/Velmora.zip");
  EXPECT_EQ(http.clients_created, 1);
}

TEST_F(Fetch, AServerWithoutAUsableSignedAnswerIsPassedOver) {
  struct Case {
    const char* what;
    std::function<void(Fetch&)> primary;
  };
  const Case cases[] = {
      {"connection refused", [](Fetch&) {}},
      {"empty file", [](Fetch& f) { f.Serve(f.servers[0], " \r\n"); }},
      {"signature wrong", [](Fetch& f) { f.Serve(f.servers[0], "9.9", "bad"); }},
      {"signature missing", [](Fetch& f) {
         f.Serve(f.servers[0], "9.9");
         f.routes.erase(f.servers[0] + "Velmora/version.txt.sig");
       }},
      {"status other than 200", [](Fetch& f) {
         f.Serve(f.servers[0], "9.9");
         f.routes[f.servers[0] + "Velmora/version.txt"].status = 203;
       }},
  };
  for (const Case& c : cases) {
    routes.clear();
    c.primary(*this);
    update::ServerVersion result;
    // The fallback has nothing either: the check fails as a whole.
    EXPECT_FALSE(update::FetchServerVersion(http, {}, servers, false, check, result)) << c.what;
    // With a good fallback, its answer is taken.
    Serve(servers[1], "4.5.26.229");
    ASSERT_TRUE(update::FetchServerVersion(http, {}, servers, false, check, result)) << c.what;
    EXPECT_EQ(result.version, "4.5.26.229") << c.what;
    EXPECT_EQ(result.download_url.rfind(servers[1], 0), 0u) << c.what;
  }
}

TEST(UpdateCheck, InstallerParameters) {
  EXPECT_EQ(update::InstallerParameters("English"),
            "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG=English /MERGETASKS=\"runcmd1\"");
  EXPECT_EQ(update::InstallerParameters(""),
            "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG= /MERGETASKS=\"runcmd1\"");
}

TEST(UpdateCheck, UpdateScriptNameAndBytes) {
  EXPECT_EQ(update::UpdateScriptName({7, 5, 9}), "update_070509.bat");
  EXPECT_EQ(update::UpdateScriptName({23, 59, 0}), "update_235900.bat");

  const std::string expected =
      "@echo off\r\n"
      "cd /d \"D:\\Tools\\Velmora\\\"\r\n"
      "\r\n"
      "echo Killing app...\r\n"
      "taskkill /F /IM \"Velmora.exe\" >nul 2>&1\r\n"
      "timeout /t 2 >nul\r\n"
      "\r\n"
      "echo Extracting...\r\n"
      "powershell -Command \"Add-Type -AssemblyName System.IO.Compression.FileSystem; $zip = "
      "[System.IO.Compression.ZipFile]::OpenRead('Velmora.zip'); foreach ($entry in $zip.Entries) { $target = "
      "$entry.FullName; if (-not $entry.Name) { [System.IO.Directory]::CreateDirectory($target) | Out-Null; } else "
      "{ try { [System.IO.Compression.ZipFileExtensions]::ExtractToFile($entry, $target, $true) } catch { "
      "Write-Host ('Skipping: ' + $entry.FullName) } } }; $zip.Dispose(); Write-Host 'Extraction complete'\"\r\n"
      "\r\n"
      "echo Deleting ZIP...\r\n"
      "del \"Velmora.zip\"\r\n"
      "\r\n"
      "echo Starting app...\r\n"
      "start \"\" \"Velmora.exe\"\r\n"
      "\r\n"
      "echo Done\r\n"
      "timeout /t 2 >nul\r\n"
      "del \"%~f0\"\r\n";
  EXPECT_EQ(update::PortableUpdateScript("D:\\Tools\\Velmora\\", "Velmora.exe", "Velmora.zip"), expected);
}

}  // namespace
