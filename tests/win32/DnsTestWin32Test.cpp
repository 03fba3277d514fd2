// The echo and HTTP services on the real system, and the DNS test page driven in a
// real window, against the loopback servers that the test script starts
// (tests/win32/servers/loopback_servers.py). Nothing here leaves 127.0.0.0/8.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <regex>

#include "app/MainForm.h"
#include "build_settings.h"
#include "common/IniFile.h"
#include "fakes/FakeWmi.h"
#include "fakes/HeadlessHost.h"
#include "platform/WmiEcho.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/ProxyValues.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

constexpr char kHttp[] = "127.0.0.1:47080";
constexpr char kHttps[] = "127.0.0.1:47443";
constexpr char kProxyHost[] = "127.0.0.2";
constexpr int kProxyPort = 47128;
constexpr char kSilent[] = "127.0.0.1:47099";
constexpr char kNobody[] = "127.0.0.1:47098";
constexpr char kUnreachable[] = "127.0.0.1:47097";  // connections are never established

bool HaveServers() { return std::getenv("VELMORA_LOOPBACK_SERVERS") != nullptr; }
#define REQUIRE_SERVERS() \
  if (!HaveServers()) GTEST_SKIP() << "needs the loopback servers of scripts/wine-ctest.sh"

using win32_test::ProxyValues;

TEST(EchoWin32, PingsLoopbackAndReportsATime) {
  win32_test::RealPlatform real;
  // Wine's management service answers the ping query with no object at all; the
  // service then sends the echo itself.
  for (const char* address : {"127.0.0.1", "127.0.0.2"}) {
    std::unique_ptr<platform::EchoSession> session = real.echo.Open();
    for (int attempt = 0; attempt < 2; ++attempt) {
      std::optional<platform::EchoReply> reply = session->Send(address, 32);
      ASSERT_TRUE(reply.has_value()) << address;
      ASSERT_TRUE(reply->status.has_value()) << address;
      EXPECT_EQ(*reply->status, 0) << address;
      EXPECT_GE(reply->response_time, 0) << address;
      EXPECT_LT(reply->response_time, 500) << address;
      EXPECT_EQ(reply->address, address);
      std::printf("echo %s: status %lld, %lld ms\n", address, static_cast<long long>(*reply->status),
                  static_cast<long long>(reply->response_time));
    }
  }
  std::unique_ptr<platform::EchoSession> session = real.echo.Open();
  std::optional<platform::EchoReply> reply = session->Send("not an address", 32);
  ASSERT_TRUE(reply.has_value());
  EXPECT_FALSE(reply->status.has_value());  // "Error processing request"
}

// A management service that answers the ping query with no object (as Wine's does) is
// asked once; later series go to the ICMP functions at once. One that answers keeps
// being asked in every series.
TEST(EchoWin32, AServiceThatDoesNotPingIsAskedOnceAndOneThatPingsAlways) {
  for (bool pings : {false, true}) {
    fakes::FakeWmi wmi;
    wmi.answer["Win32_PingStatus"] = [pings](const std::string&) {
      std::vector<fakes::FakeWmi::Instance> found;
      if (!pings) return found;
      fakes::FakeWmi::Instance instance;
      instance.class_name = "Win32_PingStatus";
      instance.Set("StatusCode", platform::Variant::Int(0));
      instance.Set("ResponseTime", platform::Variant::Int(7));
      instance.Set("ProtocolAddress", platform::Variant::Str("127.0.0.1"));
      found.push_back(instance);
      return found;
    };
    platform::win32::Win32Echo echo(wmi);
    for (int series = 0; series < 3; ++series) {
      std::unique_ptr<platform::EchoSession> session = echo.Open();
      for (int attempt = 0; attempt < 2; ++attempt) {
        std::optional<platform::EchoReply> reply = session->Send("127.0.0.1", 32);
        ASSERT_TRUE(reply && reply->status) << pings << series;
        EXPECT_EQ(*reply->status, 0);
        if (pings) {
          EXPECT_EQ(reply->response_time, 7);  // the service's answer, not an ICMP one
        }
      }
    }
    EXPECT_EQ(wmi.queries.size(), pings ? 6u : 1u) << pings;
    EXPECT_EQ(wmi.connects.size(), pings ? 3u : 1u) << pings;
    EXPECT_EQ(wmi.objects_alive, 0) << pings;
  }
}

TEST(EchoWin32, TheButtonPingsLoopbackThroughTheRealServices) {
  win32_test::RealPlatform real;
  fakes::HeadlessHost host;
  ui::Application application(host);
  auto* form = application.CreateForm<app::TForm1>(real.services);
  form->DnsCheck().EditPreferredDNS1->SetText("127.0.0.1");
  form->DnsCheck().EditAlternativeDNS1->SetText("127.0.0.3");
  form->DnsCheck().ButtonPingClick();
  // A loopback echo comes back in under a millisecond or in one: the label is then
  // empty (the series stops on 0 ms) or shows "1 ms"; never an error.
  for (ui::Label* label : {form->DnsCheck().LabelDNS1, form->DnsCheck().LabelDNS2})
    EXPECT_TRUE(label->Caption().empty() || std::regex_match(label->Caption(), std::regex("[0-9]+ ms")))
        << label->Caption();
  EXPECT_TRUE(form->TabProxy->Enabled());
}

struct HttpWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  platform::HttpResponse Get(const std::string& url, platform::HttpSettings settings = {}) {
    return real.http.CreateClient(settings)->Get(url);
  }
};

TEST_F(HttpWin32, PlainAndSelfSignedTlsDirectAndThroughTheProxy) {
  REQUIRE_SERVERS();
  platform::HttpSettings settings;
  settings.user_agent = "Mozilla/5.0";
  settings.accept = "text/plain";
  for (bool proxied : {false, true}) {
    if (proxied) {
      settings.proxy_host = kProxyHost;
      settings.proxy_port = kProxyPort;
    }
    const std::string peer = proxied ? "peer=127.0.0.2" : "peer=127.0.0.1";
    for (unsigned tls : {unsigned(platform::kTls12), platform::kTls10 | platform::kTls11 | platform::kTls12}) {
      settings.tls_versions = tls;
      for (const std::string& url : {std::string("http://") + kHttp + "/whoami", std::string("https://") + kHttps + "/whoami"}) {
        platform::HttpResponse response = Get(url, settings);
        EXPECT_TRUE(response.ok) << url << " " << response.error;
        EXPECT_EQ(response.status, 200) << url;
        EXPECT_EQ(response.body, peer + ";ua=Mozilla/5.0;accept=text/plain") << url << " proxied=" << proxied;
      }
    }
  }
  // The public-address lookup's form: TLS 1.2 only, a path, the body as received.
  settings.tls_versions = platform::kTls12;
  EXPECT_EQ(Get(std::string("https://") + kHttps + "/ip", settings).body, "203.0.113.9");
}

TEST_F(HttpWin32, ATunnelThroughTheProxyServesOneServerOnly) {
  REQUIRE_SERVERS();
  platform::HttpSettings settings;
  settings.proxy_host = kProxyHost;
  settings.proxy_port = kProxyPort;
  // The proxy tunnels to 127.0.0.1 and refuses 127.0.0.5: the second request must not
  // ride on the first one's tunnel.
  EXPECT_TRUE(Get("https://127.0.0.1/", settings).ok);
  platform::HttpResponse refused = Get("https://127.0.0.5/", settings);
  EXPECT_FALSE(refused.ok) << refused.body;
  EXPECT_FALSE(refused.error.empty());
  platform::HttpResponse plain = Get("http://127.0.0.5/", settings);
  EXPECT_FALSE(plain.ok);
  EXPECT_EQ(plain.status, 502);
}

TEST_F(HttpWin32, RedirectsErrorStatusesAndRefusedConnections) {
  REQUIRE_SERVERS();

  platform::HttpResponse redirected = Get(std::string("http://") + kHttp + "/redirect");
  EXPECT_TRUE(redirected.ok) << redirected.error;
  EXPECT_EQ(redirected.body.rfind("peer=127.0.0.1", 0), 0u) << redirected.body;
  platform::HttpSettings no_redirects;
  no_redirects.follow_redirects = false;
  EXPECT_EQ(Get(std::string("http://") + kHttp + "/redirect", no_redirects).status, 302);

  for (const std::string& url : {std::string("http://") + kHttp + "/missing", std::string("https://") + kHttps + "/missing"}) {
    platform::HttpResponse missing = Get(url);
    EXPECT_FALSE(missing.ok) << url;
    EXPECT_EQ(missing.status, 404) << url;
    EXPECT_EQ(missing.error, "HTTP/1.1 404 Not Found") << url;
  }

  platform::HttpResponse nobody = Get(std::string("http://") + kNobody + "/");
  EXPECT_FALSE(nobody.ok);
  EXPECT_EQ(nobody.status, 0);
  EXPECT_NE(nobody.error.find("Error 12029"), std::string::npos) << nobody.error;
}

TEST_F(HttpWin32, HonoursTheReadTimeOutAgainstAServerThatNeverAnswers) {
  REQUIRE_SERVERS();
  platform::HttpSettings settings;
  settings.connect_timeout_ms = 1000;
  settings.read_timeout_ms = 1000;
  for (const char* scheme : {"http://", "https://"}) {
    DWORD start = GetTickCount();
    platform::HttpResponse response = Get(std::string(scheme) + kSilent + "/", settings);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_FALSE(response.ok) << scheme;
    EXPECT_FALSE(response.error.empty()) << scheme;
    EXPECT_GE(elapsed, 900u) << scheme;
    EXPECT_LT(elapsed, 4000u) << scheme;
    std::printf("%s silent server: failed after %lu ms: %s\n", scheme, static_cast<unsigned long>(elapsed),
                response.error.c_str());
  }
}

TEST_F(HttpWin32, HonoursTheConnectTimeOut) {
  REQUIRE_SERVERS();
  platform::HttpSettings settings;
  settings.connect_timeout_ms = 1000;
  settings.read_timeout_ms = 5000;
  DWORD start = GetTickCount();
  platform::HttpResponse response = Get(std::string("http://") + kUnreachable + "/", settings);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_FALSE(response.ok);
  EXPECT_GE(elapsed, 900u);
  EXPECT_LT(elapsed, 4000u);
  std::printf("unreachable server: failed after %lu ms: %s\n", static_cast<unsigned long>(elapsed), response.error.c_str());
}

TEST(PublicIpWin32, ReadsTheEchoServiceAndFallsBackToTheOwnAddress) {
  REQUIRE_SERVERS();
  ASSERT_EQ(std::string(VELMORA_IP_ECHO_HOST), kHttps) << "test builds point the echo service at the loopback server";
  win32_test::RealPlatform real;
  ProxyValues proxy(real.registry);
  proxy.Set(0, "");
  fakes::HeadlessHost host;
  ui::Application application(host);
  auto* form = application.CreateForm<app::TForm1>(real.services);
  platform::win32::Win32Http http;

  EXPECT_EQ(form->DnsCheck().GetMyRealIP(), "203.0.113.9");
  // Through the system proxy when it is switched on.
  proxy.Set(1, std::string(kProxyHost) + ":" + std::to_string(kProxyPort));
  EXPECT_EQ(form->DnsCheck().GetMyRealIP(), "203.0.113.9");
  proxy.Set(0, "");

  ASSERT_TRUE(http.CreateClient({})->Get(std::string("http://") + kHttp + "/control/ip-down").ok);
  std::string fallback = form->DnsCheck().GetMyRealIP();
  http.CreateClient({})->Get(std::string("http://") + kHttp + "/control/ip-up");
  EXPECT_EQ(fallback, form->Adapter().GetIP());
  EXPECT_NE(fallback, "203.0.113.9");
}

struct DnsTestPageWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  HWND window = nullptr;
  std::string path;
  std::optional<std::vector<uint8_t>> saved_list;

  void SetUp() override {
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(real.services);
    window = host->WindowOf(*form);
    path = form->PortablePathDNS();
    saved_list = real.files.ReadFile(path);
  }
  void TearDown() override {
    if (saved_list)
      real.files.WriteFile(path, *saved_list);
    else
      real.files.RemoveFile(path);
    application.reset();
    host.reset();
  }
};

TEST_F(DnsTestPageWin32, ARunOverLoopbackThroughTheProxyFillsBothTimeColumns) {
  REQUIRE_SERVERS();
  ProxyValues proxy(real.registry);
  proxy.Set(1, std::string(kProxyHost) + ":" + std::to_string(kProxyPort));
  // Row 1: HTTPS answers through the proxy. Row 2: 127.0.0.4 serves plain HTTP
  // only, so its time covers both tries. Row 3: the proxy refuses 127.0.0.5 and up,
  // so both tries fail.
  ASSERT_TRUE(common::SaveTextFile(real.files, path,
                                   "[Ipv4_Default]\r\nLoopback One=127.0.0.1,127.0.0.3\r\n"
                                   "Loopback Two=127.0.0.4,127.0.0.1\r\nRefused=127.0.0.5,127.0.0.6\r\n",
                                   common::Encoding::Utf16LeBom, 1251));
  form->DnsTest().LoadFiltersReload();
  host->PeerOf(*form)->Show();
  form->ButtonDNSClick();
  win32_test::Pump();
  HWND list = win32_test::FindControl(window, L"ListViewDNS");
  HWND button = win32_test::FindControl(window, L"ButtonTestDNS");
  ASSERT_NE(list, nullptr);
  ASSERT_NE(button, nullptr);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);

  DWORD start = GetTickCount();
  SendMessageW(button, BM_CLICK, 0, 0);  // the run stays inside this click until done
  DWORD elapsed = GetTickCount() - start;
  win32_test::Pump();

  const std::wregex time(L"[0-9]+ ms");
  for (int row = 0; row < 2; ++row)
    for (int column : {3, 4}) EXPECT_TRUE(std::regex_match(win32_test::ListCellText(list, row, column), time)) << row << "," << column;
  EXPECT_EQ(win32_test::ListCellText(list, 2, 3).rfind(L"Ошибка! ", 0), 0u);
  EXPECT_EQ(win32_test::ListCellText(list, 2, 4).rfind(L"Ошибка: ", 0), 0u);
  EXPECT_EQ(form->DnsTest().ButtonTestDNS->Caption(), "Тест DNS");
  EXPECT_TRUE(IsWindowEnabled(win32_test::FindControl(window, L"TabControlDNSList")));
  // Two attempts a second apart per address, six addresses.
  EXPECT_GE(elapsed, 6000u);
  std::printf("DNS test run over 3 loopback rows through the proxy: %lu ms\n", static_cast<unsigned long>(elapsed));
  for (int row = 0; row < 3; ++row)
    std::printf("  %s | %s | %s\n", form->DnsTest().ListViewDNS->Rows()[row].caption.c_str(),
                form->DnsTest().ListViewDNS->Rows()[row].sub_items[2].c_str(), form->DnsTest().ListViewDNS->Rows()[row].sub_items[3].c_str());
  win32_test::SaveScreenshot(window, L"dns-test-page");
}

TEST_F(DnsTestPageWin32, ARunOverLoopbackWithEchoRequests) {
  ProxyValues proxy(real.registry);
  proxy.Set(0, "");
  ASSERT_TRUE(common::SaveTextFile(real.files, path, "[Ipv4_Default]\r\nLoopback=127.0.0.1,127.0.0.2\r\n",
                                   common::Encoding::Utf16LeBom, 1251));
  form->DnsTest().LoadFiltersReload();
  form->DnsTest().ButtonTestDNSClick();
  // Loopback answers in under a millisecond ("0", not accepted) or in one or two.
  const std::regex result("0|[0-9]+ ms");
  for (size_t column : {2u, 3u})
    EXPECT_TRUE(std::regex_match(form->DnsTest().ListViewDNS->Rows()[0].sub_items[column], result))
        << form->DnsTest().ListViewDNS->Rows()[0].sub_items[column];
  EXPECT_EQ(form->DnsTest().ButtonTestDNS->Tag(), 0);
  EXPECT_EQ(form->DnsTest().StatusBar1->SimpleText(), "");
}

// While the list's popup menu is open, a timer takes its picture and closes it.
HWND g_dns_menu = nullptr;
void CALLBACK CloseDnsMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  g_dns_menu = FindWindowW(L"#32768", nullptr);
  if (g_dns_menu) win32_test::SaveScreenshot(g_dns_menu, L"dns-popup-menu");
  EndMenu();
}

TEST_F(DnsTestPageWin32, TheListsMenuShortcutsAndTheIpLabelInTheRealWindow) {
  ProxyValues proxy(real.registry);
  proxy.Set(0, "");
  ASSERT_TRUE(common::SaveTextFile(real.files, path, "[Ipv4_Default]\r\nFirst=127.0.0.1,127.0.0.2\r\nSecond=127.0.0.3,\r\n",
                                   common::Encoding::Utf16LeBom, 1251));
  form->DnsTest().LoadFiltersReload();
  host->PeerOf(*form)->Show();
  form->ButtonDNSClick();
  win32_test::Pump();
  HWND list = win32_test::FindControl(window, L"ListViewDNS");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(win32_test::ListCellText(list, 1, 2), L"");
  LVCOLUMNW column{};
  column.mask = LVCF_FMT;
  ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, 3, reinterpret_cast<LPARAM>(&column)));
  EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_CENTER);
  // Columns do not shrink below their minimum width; wider is fine.
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  for (int width : {20, 120}) {
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    item.cxy = width;
    SendMessageW(header, HDM_SETITEMW, 3, reinterpret_cast<LPARAM>(&item));
  }
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), 120);
  HDITEMW narrow{};
  narrow.mask = HDI_WIDTH;
  narrow.cxy = 50;
  SendMessageW(header, HDM_SETITEMW, 3, reinterpret_cast<LPARAM>(&narrow));
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), 120);
  narrow.cxy = 70;
  SendMessageW(header, HDM_SETITEMW, 3, reinterpret_cast<LPARAM>(&narrow));
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), 70);

  // The user selects the first row and presses Delete.
  ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ASSERT_EQ(form->DnsTest().ListViewDNS->Selected(), 0);
  SetFocus(list);
  SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
  win32_test::Pump();
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(win32_test::ListCellText(list, 0, 0), L"Second");
  auto text = common::LoadTextFile(real.files, path, 1251);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->utf8, "[Ipv4_Default]\r\nSecond=127.0.0.3,\r\n");
  EXPECT_EQ(text->encoding, common::Encoding::Utf16LeBom);

  // Ctrl+R restores the default list.
  BYTE keys[256];
  GetKeyboardState(keys);
  BYTE control = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageW(list, WM_KEYDOWN, 'R', 0);
  keys[VK_CONTROL] = control;
  SetKeyboardState(keys);
  win32_test::Pump();
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 32);
  HWND combo = win32_test::FindControl(window, L"ComboBoxDNS");
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 32);

  // A right click opens the popup menu.
  g_dns_menu = nullptr;
  SetTimer(nullptr, 0, 300, CloseDnsMenu);
  RECT r;
  GetWindowRect(list, &r);
  SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(r.left + 40, r.top + 40));
  EXPECT_NE(g_dns_menu, nullptr) << "the popup menu was shown";

  // A click on "IP:" asks the loopback echo service on a worker.
  if (HaveServers()) {
    form->ButtonProxyClick();
    win32_test::Pump();
    HWND label = win32_test::FindControl(window, L"LabelGetIP");
    ASSERT_NE(label, nullptr);
    // Its hint shows on hover.
    EXPECT_EQ(win32_test::TooltipText(window, label), L"Получить внешний публичный IP");
    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    DWORD start = GetTickCount();
    while ((form->DnsCheck().RealIPThreadsRunning() > 0 || form->DnsCheck().EditNetIP->Text() == "127.0.0.1") && GetTickCount() - start < 10000) {
      win32_test::Pump();
      Sleep(5);
    }
    EXPECT_EQ(form->DnsCheck().EditNetIP->Text(), "203.0.113.9");
    wchar_t shown[64] = L"";
    GetWindowTextW(win32_test::FindControl(window, L"EditNetIP"), shown, 64);
    EXPECT_STREQ(shown, L"203.0.113.9");
    // A click into the box selects the whole address.
    HWND box = win32_test::FindControl(window, L"EditNetIP");
    SendMessageW(box, EM_SETSEL, 0, 0);
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    DWORD from = 1, to = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, wcslen(shown));
    win32_test::SaveScreenshot(window, L"dns-check-group");
  }
}

}  // namespace
