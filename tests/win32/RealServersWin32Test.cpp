// The HTTP timing, the public-address lookup and the updater against servers nobody here
// wrote: nginx (plain HTTP and TLS) and tinyproxy from the system's packages, started by
// these tests with configuration of their own (tests/win32/servers/real_servers.sh) on
// loopback only. scripts/wine-real-servers.sh runs them in a network namespace of their
// own, where the test builds' echo host (127.0.0.1:47443) is nginx, and with the test CA
// in the certificate bundle of a mount namespace of their own.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <regex>
#include <string>

#include "app/MainForm.h"
#include "build_settings.h"
#include "common/IniFile.h"
#include "fakes/HeadlessHost.h"
#include "platform/win32/Win32Crypto.h"
#include "platform/win32/Win32Desktop.h"
#include "win32/RecordingDesktop.h"
#include "platform/win32/Wide.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "update/UpdateForm.h"
#include "win32/ProxyValues.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

constexpr char kWeb[] = "127.0.0.1:47180";
constexpr char kTls[] = "127.0.0.1:47443";
constexpr char kProxy[] = "127.0.0.3:47138";
constexpr char kEchoAnswer[] = "198.51.100.23";

// A Windows path on Wine's Z: drive as the Unix path it stands for.
std::string UnixPath(std::wstring path) {
  if (path.size() >= 2 && (path[0] == L'Z' || path[0] == L'z') && path[1] == L':') path.erase(0, 2);
  for (wchar_t& c : path)
    if (c == L'\\') c = L'/';
  return Narrow(path);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadText(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

// The servers, started once for all tests here and stopped after them.
class RealServers {
 public:
  static RealServers& Get() {
    static RealServers servers;
    return servers;
  }
  // Empty when they run; otherwise why not.
  const std::string& Failure() const { return failure_; }
  std::wstring Folder() const { return folder_; }
  // nginx's access log lines since the last call.
  std::vector<std::string> NewAccessLines() {
    const std::string log = ReadText(folder_ + L"nginx-access.log");
    std::vector<std::string> lines;
    size_t at = std::min(seen_, log.size());
    while (at < log.size()) {
      const size_t end = log.find('\n', at);
      if (end == std::string::npos) break;
      lines.push_back(log.substr(at, end - at));
      at = end + 1;
    }
    seen_ = at;
    return lines;
  }
  void Stop() {
    if (started_) Run("stop");
    started_ = false;
  }

 private:
  RealServers() {
    folder_ = win32_test::ExeFolder() + L"real-servers\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    DeleteFileW((folder_ + L"ready").c_str());
    DeleteFileW((folder_ + L"failed").c_str());
    if (!Run("start " + UnixPath(win32_test::ExeFolder()) + "update-server")) return;
    // Wine starts Unix programs without a handle to wait on: the script leaves a file.
    for (int i = 0; i < 600 && !Exists(folder_ + L"ready") && !Exists(folder_ + L"failed"); ++i) Sleep(50);
    if (Exists(folder_ + L"failed"))
      failure_ = "the real servers did not start: " + ReadText(folder_ + L"failed");
    else if (!Exists(folder_ + L"ready"))
      failure_ = "the real servers did not start within 30 s (see " + UnixPath(folder_) + ")";
    started_ = failure_.empty();
  }
  bool Run(const std::string& arguments) {
    std::wstring line = L"Z:\\bin\\bash " + Widen(std::string(VELMORA_SOURCE_DIR) + "/tests/win32/servers/real_servers.sh ") +
                        Widen(arguments.substr(0, arguments.find(' '))) + L" " + Widen(UnixPath(folder_)) +
                        Widen(arguments.find(' ') == std::string::npos ? "" : arguments.substr(arguments.find(' ')));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      failure_ = "could not start /bin/bash through Wine: error " + std::to_string(GetLastError());
      return false;
    }
    if (process.hProcess) {
      WaitForSingleObject(process.hProcess, 30000);
      CloseHandle(process.hProcess);
    }
    if (process.hThread) CloseHandle(process.hThread);
    return true;
  }

  std::wstring folder_;
  std::string failure_;
  size_t seen_ = 0;
  bool started_ = false;
};

using win32_test::ProxyValues;

struct RealServersWin32 : ::testing::Test {
  win32_test::RealPlatform real;

  void SetUp() override {
    if (!std::getenv("VELMORA_REAL_SERVERS")) {
      GTEST_SKIP() << "runs under scripts/wine-real-servers.sh";
    }
    ASSERT_EQ(RealServers::Get().Failure(), "");
    RealServers::Get().NewAccessLines();
  }
  static void TearDownTestSuite() {
    if (std::getenv("VELMORA_REAL_SERVERS")) RealServers::Get().Stop();
  }
  // The peer and the User-Agent of each request nginx logged since the last call.
  std::vector<std::string> Logged() {
    std::vector<std::string> out;
    const std::regex line(R"re(^(\S+) \S+ \S+ \[[^\]]*\] "([^"]*)" (\d+) \d+ "[^"]*" "([^"]*)")re");
    for (const std::string& text : RealServers::Get().NewAccessLines()) {
      std::smatch m;
      out.push_back(std::regex_search(text, m, line) ? m[1].str() + " " + m[2].str() + " " + m[3].str() + " " + m[4].str()
                                                     : "unreadable: " + text);
    }
    return out;
  }
};

// The client the timing uses, against nginx and through tinyproxy: what nginx saw and
// what came back.
TEST_F(RealServersWin32, TheHttpClientDirectAndThroughTheProxy) {
  platform::HttpSettings direct;
  direct.user_agent = "Mozilla/5.0";
  direct.connect_timeout_ms = 5000;
  direct.read_timeout_ms = 5000;
  platform::HttpSettings proxied = direct;
  proxied.proxy_host = "127.0.0.3";
  proxied.proxy_port = 47138;

  struct Case {
    const platform::HttpSettings* settings;
    std::string url;
    bool ok;
    int status;
    const char* body;  // a prefix; nullptr: not compared
  };
  const std::string web = std::string("http://") + kWeb;
  const std::string tls = std::string("https://") + kTls;
  const Case cases[] = {
      {&direct, web + "/whoami", true, 200, "127.0.0.1 Mozilla/5.0|"},
      {&direct, tls + "/whoami", true, 200, "127.0.0.1 Mozilla/5.0|"},
      {&direct, web + "/redirect", true, 200, "127.0.0.1 Mozilla/5.0|"},
      {&direct, web + "/missing", false, 404, nullptr},
      {&proxied, "http://127.0.0.5/whoami", true, 200, "127.0.0.3 Mozilla/5.0|"},
      {&proxied, "https://127.0.0.5/whoami", true, 200, "127.0.0.3 Mozilla/5.0|"},
      {&proxied, "http://127.0.0.5/redirect", true, 200, "127.0.0.3 Mozilla/5.0|"},
      {&proxied, "https://127.0.0.5/redirect", true, 200, "127.0.0.3 Mozilla/5.0|"},
      {&proxied, "http://127.0.0.5/missing", false, 404, nullptr},
      // tinyproxy cannot reach 127.0.0.6:443 and answers the tunnel request with an error.
      {&proxied, "https://127.0.0.6/whoami", false, 0, nullptr},
  };
  for (const Case& c : cases) {
    // Two requests on one client: nginx keeps the connection alive between them.
    std::unique_ptr<platform::HttpClient> client = real.http.CreateClient(*c.settings);
    for (int round = 0; round < 2; ++round) {
      platform::HttpResponse response = client->Get(c.url);
      EXPECT_EQ(response.ok, c.ok) << c.url << " round " << round << ": " << response.error;
      if (c.status) {
        EXPECT_EQ(response.status, c.status) << c.url;
      }
      if (c.body) {
        EXPECT_EQ(response.body.rfind(c.body, 0), 0u) << c.url << ": " << response.body;
      }
    }
  }
  for (const std::string& line : Logged()) std::printf("nginx: %s\n", line.c_str());
}

// The timing of a DNS server address: HTTPS alone, HTTP after a refused HTTPS, and an
// address that answers neither, direct and through tinyproxy.
TEST_F(RealServersWin32, TheTimingOfAnAddressDirectAndThroughTheProxy) {
  ProxyValues proxy(real.registry);
  fakes::HeadlessHost host;
  ui::Application application(host);
  application.SetTitle("Velmora");
  auto* form = application.CreateForm<app::TForm1>(real.services);
  dnstest::DnsTestPage& page = form->DnsTest();
  const std::regex time("[0-9]+ ms");
  for (const bool through_proxy : {false, true}) {
    proxy.Set(through_proxy ? 1 : 0, through_proxy ? kProxy : "");
    const std::string peer = through_proxy ? "127.0.0.3" : "127.0.0.1";
    Logged();
    page.PingThroughProxyMethod("127.0.0.5", 1);
    EXPECT_TRUE(std::regex_match(page.PingResultDNS1, time)) << page.PingResultDNS1;
    std::vector<std::string> logged = Logged();
    ASSERT_EQ(logged.size(), 1u) << "HTTPS alone";
    // Inside a tunnel Wine's WinHTTP names the whole address in the request line;
    // nginx takes either form.
    EXPECT_TRUE(std::regex_match(logged[0], std::regex(peer + R"re( GET (https://127\.0\.0\.5:443)?/ HTTP/1\.[01] 200 Mozilla/5\.0)re")))
        << logged[0];

    page.PingThroughProxyMethod2("127.0.0.6", 1);
    EXPECT_TRUE(std::regex_match(page.PingResultDNS2, time)) << page.PingResultDNS2;
    logged = Logged();
    ASSERT_EQ(logged.size(), 1u) << "plain HTTP after the HTTPS try failed";
    EXPECT_EQ(logged[0], peer + " GET / HTTP/1.1 200 Mozilla/5.0");

    page.PingThroughProxyMethod("127.0.0.7", 1);
    page.PingThroughProxyMethod2("127.0.0.7", 1);
    EXPECT_EQ(page.PingResultDNS1.rfind("Ошибка! ", 0), 0u) << page.PingResultDNS1;
    EXPECT_EQ(page.PingResultDNS2.rfind("Ошибка: ", 0), 0u) << page.PingResultDNS2;
    std::printf("%s: %s / %s\n", through_proxy ? "through tinyproxy" : "direct", page.PingResultDNS1.c_str(),
                page.PingResultDNS2.c_str());
  }
}

// The public address from the echo host, which here is nginx over TLS, direct and
// through tinyproxy's tunnel.
TEST_F(RealServersWin32, ThePublicAddressFromNginxDirectAndThroughTheProxy) {
  ASSERT_EQ(std::string(VELMORA_IP_ECHO_HOST), kTls) << "test builds point the echo service at loopback";
  ProxyValues proxy(real.registry);
  fakes::HeadlessHost host;
  ui::Application application(host);
  auto* form = application.CreateForm<app::TForm1>(real.services);
  for (const bool through_proxy : {false, true}) {
    proxy.Set(through_proxy ? 1 : 0, through_proxy ? kProxy : "");
    Logged();
    EXPECT_EQ(form->DnsCheck().GetMyRealIP(), kEchoAnswer);
    const std::vector<std::string> logged = Logged();
    ASSERT_EQ(logged.size(), 1u);
    const std::string peer = through_proxy ? "127.0.0.3" : "127.0.0.1";
    EXPECT_TRUE(std::regex_match(
        logged[0], std::regex(peer + R"re( GET (https://127\.0\.0\.1:47443)?/ip HTTP/1\.[01] 200 Delphi WebDAV Client)re")))
        << logged[0];
  }
}

class TestUpdateForm : public update::TForm10 {
 public:
  using TForm10::TForm10;
  std::string LocalVersion() override { return VELMORA_VERSION; }
};

// The update check and the installer download from nginx: plain HTTP direct, in chunks
// with no size announced, and over TLS (the certificate checked against the test CA)
// through tinyproxy.
TEST_F(RealServersWin32, TheUpdateCheckAndDownloadFromNginx) {
  ASSERT_TRUE(win32_test::HaveDisplay()) << "the update window runs under Xvfb";
  ProxyValues proxy(real.registry);
  win32_test::RecordingDesktop desktop;
  platform::win32::Win32SignatureVerifier verifier;
  struct Case {
    std::string server;
    bool through_proxy;
    int progress;  // where the bar ends: without an announced size it does not move
  };
  const Case cases[] = {{std::string("http://") + kWeb + "/updates/newer/download/", false, 100},
                        {std::string("http://") + kWeb + "/chunked/newer/download/", false, 0},
                        {"https://localhost:47443/updates/newer/download/", true, 100}};
  const auto original = real.files.ReadFile(Narrow(win32_test::ExeFolder()) +
                                            "update-server\\newer\\download\\Velmora\\Velmora-setup.exe");
  ASSERT_TRUE(original);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    proxy.Set(c.through_proxy ? 1 : 0, c.through_proxy ? kProxy : "");
    update::UpdaterPlatform updater{desktop, verifier, {{c.server}, VELMORA_UPDATE_PUBLIC_KEY}};
    ui::win32::Win32Host host;
    ui::Application application(host);
    application.SetTitle("Velmora");
    auto* main = application.CreateForm<app::TForm1>(real.services);
    // The start-up check stays off: it would ask in a box of its own.
    const std::string settings_path = main->PortablePath();
    const auto saved_settings = real.files.ReadFile(settings_path);
    auto document = common::IniDocument::Load(real.files, settings_path, real.system.AnsiCodePage(),
                                              common::IniOptions::Settings());
    ASSERT_TRUE(document);
    document->ini.WriteBool("Option", "CheckBoxAutoCheck", false);
    ASSERT_TRUE(document->Save(real.files, settings_path, real.system.AnsiCodePage()));
    struct Restore {
      win32_test::RealPlatform& real;
      const std::string& path;
      const std::optional<std::vector<uint8_t>>& saved;
      ~Restore() {
        if (saved) real.files.WriteFile(path, *saved);
        else real.files.RemoveFile(path);
      }
    } restore{real, settings_path, saved_settings};
    auto* form = application.CreateForm<TestUpdateForm>(real.services, &updater);
    auto drain = [&] {
      for (int i = 0; i < 4000; ++i) {
        win32_test::Pump();
        if (application.GetWorkers().Running() == 0 && application.GetWorkers().Waiting() == 0) break;
        Sleep(5);
      }
      win32_test::Pump();
    };
    form->FormShow();
    host.PeerOf(*form)->Show();
    drain();
    EXPECT_EQ(form->LabelServerVersion->Caption(), "4.5.26.229");
    ASSERT_TRUE(form->ButtonDownload->Enabled()) << form->LabelUpDate->Caption();

    form->CheckBoxQuickUpdate->SetChecked(false);
    desktop.started.clear();
    form->ButtonDownloadClick();
    drain();
    EXPECT_EQ(form->LabelUpDate->Caption(), "Файлы обновления загружены!");
    ASSERT_EQ(desktop.started.size(), 1u);
    EXPECT_EQ(desktop.started[0].bytes, std::string(original->begin(), original->end()))
        << "the installer arrives whole";

    EXPECT_EQ(form->ProgressBarUpdate->Position(), c.progress);
    const std::string peer = c.through_proxy ? "127.0.0.3 " : "127.0.0.1 ";
    for (const std::string& line : Logged()) {
      EXPECT_EQ(line.rfind(peer, 0), 0u) << line;
      EXPECT_NE(line.find(" 200 "), std::string::npos) << line;
      std::printf("nginx: %s\n", line.c_str());
    }
  }
}

}  // namespace
