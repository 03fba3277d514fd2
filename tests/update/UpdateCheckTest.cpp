#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "fakes/FakeHttp.h"
#include "fakes/FakeUpdater.h"
#include "update/ReleaseFixture.h"
#include "update/Signature.h"
#include "update/UpdateCheck.h"
#include "update/UpdateEngine.h"
#include "common/Text.h"

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
  EXPECT_FALSE(version.allow_https_to_http);

  platform::HttpSettings download = update::DownloadSettings(proxy);
  EXPECT_TRUE(download.verify_certificates);
  EXPECT_FALSE(download.allow_https_to_http);
  EXPECT_EQ(download.connect_timeout_ms, 3000u);
  EXPECT_EQ(download.read_timeout_ms, 30000u);
  EXPECT_EQ(download.authorization, "Basic Og==");

  // A proxy that is switched off, or was not usable, is not taken.
  EXPECT_EQ(update::VersionRequestSettings({true, false, "proxy.local", 3128}).proxy_host, "");
  EXPECT_EQ(update::VersionRequestSettings({false, true, "proxy.local", 3128}).proxy_host, "");
}

struct Fetch : ::testing::Test {
  fakes::FakeHttp http;
  fakes::FakeVerifier verifier;
  fakes::FakeDesktop desktop;
  update::UpdateEngine engine{http, verifier, desktop, update_test::kTestPublicKeyPem};
  std::mutex routes_mutex;
  std::map<std::string, platform::HttpResponse> routes;
  const std::vector<std::string> servers{"http://127.0.0.1:1/download/", "http://127.0.0.2:2/download/"};

  Fetch() {
    verifier.key = *update::ParsePublicKey(update_test::kTestPublicKeyPem);
    http.handler = [this](const fakes::FakeHttp::Request& r) {
      std::lock_guard lock(routes_mutex);
      auto it = routes.find(r.url);
      return it == routes.end() ? fakes::FakeHttp::Fail("HTTP/1.1 404 Not Found", 404) : it->second;
    };
  }
  // version.txt holding `text`, signed for the version it holds unless `signed_for` says otherwise.
  void Serve(const std::string& server, const std::string& text, std::string signed_for = "-") {
    std::string version = text;
    version.erase(version.find_last_not_of(" \r\n") + 1);
    version.erase(0, version.find_first_not_of(" \r\n") == std::string::npos ? version.size()
                                                                                : version.find_first_not_of(" \r\n"));
    if (signed_for == "-") signed_for = version;
    std::lock_guard lock(routes_mutex);
    routes[server + "Velmora/version.txt"] = fakes::FakeHttp::Ok(text);
    routes[server + "Velmora/version.txt.sig"] =
        fakes::FakeHttp::Ok(fakes::FakeReleaseSign(signed_for, "version.txt", text));
  }
  std::vector<std::string> Urls() const {
    std::vector<std::string> urls;
    for (const auto& r : http.requests) urls.push_back(r.url);
    return urls;
  }
};

TEST_F(Fetch, ThePrimaryAnswering404LeadsToTheFallback) {
  Serve(servers[1], "4.5.26.229\r\n");
  update::CheckResult result = engine.Check(servers, {}, false);
  ASSERT_TRUE(result.found);
  EXPECT_EQ(result.server.version, "4.5.26.229");
  EXPECT_EQ(result.server.download_url, "http://127.0.0.2:2/download/Velmora/Velmora-setup.exe");
  EXPECT_EQ(Urls(), (std::vector<std::string>{"http://127.0.0.1:1/download/Velmora/version.txt",
                                               "http://127.0.0.2:2/download/Velmora/version.txt",
                                               "http://127.0.0.2:2/download/Velmora/version.txt.sig"}));
  EXPECT_EQ(http.clients_alive, 0);
  for (const auto& r : http.requests) {
    EXPECT_EQ(r.settings.authorization, "Basic Og==");
    // Every answer has a size bound and the whole request a time bound.
    EXPECT_GT(r.settings.max_body_bytes, 0u);
    EXPECT_LE(r.settings.max_body_bytes, 512u);
    EXPECT_GT(r.settings.total_timeout_ms, 0u);
    EXPECT_FALSE(r.settings.allow_https_to_http);
  }
}

TEST_F(Fetch, PortableCopiesGetTheArchive) {
  Serve(servers[0], "4.6");
  update::CheckResult result = engine.Check(servers, {}, true);
  ASSERT_TRUE(result.found);
  EXPECT_EQ(result.server.download_url, "http://127.0.0.1:1/download/Velmora/Velmora.zip");
}

TEST_F(Fetch, AServerWithoutAUsableSignedAnswerIsPassedOver) {
  struct Case {
    const char* what;
    std::function<void(Fetch&)> primary;
    bool not_signed;
  };
  const Case cases[] = {
      {"connection refused", [](Fetch&) {}, false},
      {"empty file", [](Fetch& f) { f.Serve(f.servers[0], " \r\n"); }, false},
      {"signed for another version", [](Fetch& f) { f.Serve(f.servers[0], "9.9", "9.8"); }, true},
      {"signature of another file",
       [](Fetch& f) {
         f.Serve(f.servers[0], "9.9");
         f.routes[f.servers[0] + "Velmora/version.txt.sig"] =
             fakes::FakeHttp::Ok(fakes::FakeReleaseSign("9.9", "Velmora.zip", "9.9"));
       },
       true},
      {"signature missing",
       [](Fetch& f) {
         f.Serve(f.servers[0], "9.9");
         f.routes.erase(f.servers[0] + "Velmora/version.txt.sig");
       },
       false},
      {"status other than 200",
       [](Fetch& f) {
         f.Serve(f.servers[0], "9.9");
         f.routes[f.servers[0] + "Velmora/version.txt"].status = 203;
       },
       false},
      {"a file over the size bound", [](Fetch& f) { f.Serve(f.servers[0], "9.9" + std::string(300, '\n')); }, false},
  };
  for (const Case& c : cases) {
    routes.clear();
    c.primary(*this);
    // The fallback has nothing either: the check fails as a whole, and says whether a
    // server answered with something the release key did not sign.
    update::CheckResult failed = engine.Check(servers, {}, false);
    EXPECT_FALSE(failed.found) << c.what;
    EXPECT_EQ(failed.not_signed, c.not_signed) << c.what;
    // With a good fallback, its answer is taken.
    Serve(servers[1], "4.5.26.229");
    update::CheckResult result = engine.Check(servers, {}, false);
    ASSERT_TRUE(result.found) << c.what;
    EXPECT_FALSE(result.not_signed) << c.what;
    EXPECT_EQ(result.server.version, "4.5.26.229") << c.what;
    EXPECT_EQ(result.server.download_url.rfind(servers[1], 0), 0u) << c.what;
  }
}

TEST_F(Fetch, AServerThatNeverFinishesItsAnswerIsLeftAfterTheBound) {
  // The primary's version file never comes: its request is abandoned at the bound and
  // the fallback answers.
  update::UpdateLimits limits;
  limits.version_total_ms = 200;
  update::UpdateEngine bounded{http, verifier, desktop, update_test::kTestPublicKeyPem, limits};
  Serve(servers[1], "4.5.26.229");
  std::mutex gate_mutex;
  std::condition_variable gate_changed;
  bool open_gate = false;
  auto fallback = http.handler;
  http.handler = [&, fallback](const fakes::FakeHttp::Request& r) {
    if (r.url.rfind(servers[0], 0) == 0) {
      std::unique_lock lock(gate_mutex);
      gate_changed.wait(lock, [&] { return open_gate; });
    }
    return fallback(r);
  };
  auto start = std::chrono::steady_clock::now();
  update::CheckResult result = bounded.Check(servers, {}, false);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(result.found);
  EXPECT_EQ(result.server.version, "4.5.26.229");
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(update::AbandonedRequests(), 1);
  {
    std::lock_guard lock(gate_mutex);
    open_gate = true;
  }
  gate_changed.notify_all();
  // The abandoned request ends by itself once its server lets go.
  for (int i = 0; i < 500 && update::AbandonedRequests() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(update::AbandonedRequests(), 0);
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

  const std::string script = update::PortableUpdateScript("D:\\Tools\\100% Velmora\\", "Velmora.exe",
                                                          "C:\\Temp\\Velmora-update-1\\Velmora.zip",
                                                          "C:\\Windows\\System32\\");
  const std::vector<std::string> lines = common::SplitLines(script);
  const std::vector<std::string> expected_start = {
      "@echo off",
      // A failed change of folder ends the script before anything is touched; "%" is
      // doubled so the command processor reads it as itself.
      "cd /d \"D:\\Tools\\100%% Velmora\\\" || exit /b 1",
      "",
      "echo Killing app...",
      "\"C:\\Windows\\System32\\taskkill.exe\" /F /IM \"Velmora.exe\" >nul 2>&1",
      "\"C:\\Windows\\System32\\timeout.exe\" /t 2 /nobreak >nul",
      "",
      "echo Extracting...",
  };
  ASSERT_GT(lines.size(), expected_start.size() + 10);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected_start.size()), expected_start);
  const std::string& extract = lines[expected_start.size()];
  EXPECT_EQ(extract.rfind("\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile", 0), 0u);
  EXPECT_NE(extract.find("OpenRead('C:\\Temp\\Velmora-update-1\\Velmora.zip')"), std::string::npos);
  // A failed entry ends PowerShell with 1 and is listed; then the archive stays.
  EXPECT_NE(extract.find("$failed += $target"), std::string::npos);
  EXPECT_NE(extract.find("exit 1"), std::string::npos);
  const std::vector<std::string> expected_end = {
      "if errorlevel 1 goto kept",
      "",
      "echo Deleting ZIP...",
      "del \"C:\\Temp\\Velmora-update-1\\Velmora.zip\"",
      "goto started",
      "",
      ":kept",
      "echo Some entries were not extracted (Velmora-update-errors.txt); the archive stays: "
      "\"C:\\Temp\\Velmora-update-1\\Velmora.zip\"",
      "",
      ":started",
      "echo Starting app...",
      "start \"\" \"Velmora.exe\"",
      "echo Done",
      "del \"%~f0\"",
  };
  EXPECT_EQ(std::vector<std::string>(lines.begin() + expected_start.size() + 1, lines.end()), expected_end);
  // Every line ends in CR LF.
  EXPECT_EQ(script.size(), common::JoinLines(lines).size());
  EXPECT_EQ(script.substr(script.size() - 2), "\r\n");
}

TEST(UpdateCheck, OemCodePages) {
  // Cyrillic in 866, and what 437 cannot hold is refused rather than turned into "?".
  EXPECT_EQ(common::Utf8ToOem("D:\\Программы\\", 866), std::optional<std::string>("D:\\\x8F\xE0\xAE\xA3\xE0\xA0\xAC\xAC\xEB\\"));
  EXPECT_EQ(common::Utf8ToOem("Ёё №", 866), std::optional<std::string>("\xF0\xF1 \xFC"));
  EXPECT_EQ(common::Utf8ToOem("Café ü", 437), std::optional<std::string>("Caf\x82 \x81"));
  EXPECT_EQ(common::Utf8ToOem("Программы", 437), std::nullopt);
  EXPECT_EQ(common::Utf8ToOem("plain", 850), std::optional<std::string>("plain"));
  EXPECT_EQ(common::Utf8ToOem("Café", 850), std::nullopt);
}

}  // namespace
