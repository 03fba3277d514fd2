// The DNS benchmark window in a real window with real sockets, against the loopback
// responders that the test script starts (tests/win32/servers/dns_responders.py), one
// of them Debian's dnsmasq. Nothing here leaves 127.0.0.0/8.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "app/MainForm.h"
#include "dnsbench/DnsBenchForm.h"
#include "dnsbench/DnsMessage.h"
#include "platform/win32/Win32DnsTransport.h"
#include "platform/win32/Wide.h"
#include "theme/WindowsDarkMode.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr char kCard[] = "{0B3E5D2A-7C41-4F0E-9A55-BE9C0DE5B001}";

// "" when the responders run; otherwise why not. Skipped only outside the test
// script; a responder (dnsmasq included) that could not listen fails the test.
std::string RespondersStatus(bool& have_script) {
  const char* ready = std::getenv("VELMORA_DNS_READY");
  have_script = ready != nullptr;
  if (!ready) return "not started";
  std::ifstream in(ready);
  std::string status((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return status == "ok" ? "" : status.empty() ? "no status in " + std::string(ready) : status;
}

struct DnsBenchWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  platform::win32::Win32DnsTransport transport;
  platform::win32::Win32Clipboard clipboard;
  std::unique_ptr<dnsbench::BenchPlatform> bench;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* main = nullptr;
  dnsbench::TFormDnsBench* form = nullptr;
  HWND window = nullptr;

  void SetUp() override {
    bool have_script = false;
    std::string status = RespondersStatus(have_script);
    if (!have_script) GTEST_SKIP() << "needs the DNS responders of scripts/wine-ctest.sh";
    ASSERT_EQ(status, "") << "the loopback DNS responders did not start";
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    dnsbench::Options options;
    options.port = 47053;
    options.cached_name = "www.velmora.test";
    options.uncached_domain = "velmora.test";
    options.missing_zone = "test";
    options.rebinding_name = "rebind.velmora.test";
    options.timeout_ms = 400;
    bench = std::make_unique<dnsbench::BenchPlatform>(dnsbench::BenchPlatform{transport, real.clock, clipboard, options});
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    main = application->CreateForm<app::TForm1>(real.services);
    form = application->CreateForm<dnsbench::TFormDnsBench>(main->Adapter(), main->DnsTest(), *bench);
    window = host->WindowOf(*form);
    auto& list = *main->DnsTest().ListViewDNS;
    list.Clear();
    list.AddRow({"Loopback Fast", {"127.0.0.21", "127.0.0.23", "0", "0"}});
    list.AddRow({"Loopback Slow", {"127.0.0.22", "", "0", "0"}});
    list.AddRow({"Loopback Silent", {"127.0.0.24", "127.0.0.26", "0", "0"}});
    list.AddRow({"Loopback Hijack", {"127.0.0.25", "", "0", "0"}});
    list.AddRow({"Debian dnsmasq", {"127.0.0.27", "", "0", "0"}});
  }
  void TearDown() override {
    if (application) {
      auto deadline = GetTickCount64() + 10000;
      while (application->GetWorkers().Running() > 0 && GetTickCount64() < deadline) win32_test::Pump();
    }
    application.reset();
    host.reset();
  }
  // Lets the window run until the workers are done (the run takes the real time the
  // responders and time-outs take).
  void RunUntilIdle() {
    auto deadline = GetTickCount64() + 30000;
    while (application->GetWorkers().Running() > 0 && GetTickCount64() < deadline) {
      win32_test::Pump();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    win32_test::Pump();
    ASSERT_EQ(application->GetWorkers().Running(), 0);
  }
  const dnsbench::AddressResult& Result(const std::string& address) {
    for (const auto& r : form->Results())
      if (r.address == address) return r;
    throw std::runtime_error("no result for " + address);
  }
  int RowOf(HWND list, const std::wstring& address) {
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < rows; ++i)
      if (win32_test::ListCellText(list, i, 1) == address) return i;
    return -1;
  }
};

TEST_F(DnsBenchWin32, RanksTheRespondersFlagsTheHijackerAndAppliesTheChoice) {
  host->PeerOf(*form)->Show();
  win32_test::Pump();
  window = host->WindowOf(*form);
  HWND start = win32_test::FindControl(window, L"ButtonBenchStart");
  HWND list = win32_test::FindControl(window, L"ListViewBench");
  ASSERT_NE(start, nullptr);
  ASSERT_NE(list, nullptr);
  ULONGLONG began = GetTickCount64();
  SendMessageW(start, BM_CLICK, 0, 0);
  EXPECT_EQ(win32_test::ControlText(start), L"Стоп");
  RunUntilIdle();
  std::printf("benchmark of 7 loopback addresses: %llu ms\n", GetTickCount64() - began);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 7);
  for (int i = 0; i < 7; ++i)
    std::printf("  %ls | %ls | %ls | %ls | %ls | %ls\n", win32_test::ListCellText(list, i, 0).c_str(),
                win32_test::ListCellText(list, i, 1).c_str(), win32_test::ListCellText(list, i, 2).c_str(),
                win32_test::ListCellText(list, i, 4).c_str(), win32_test::ListCellText(list, i, 6).c_str(),
                win32_test::ListCellText(list, i, 8).c_str());

  // Fast and dnsmasq answer everything at once; the slow one after its 60 ms.
  EXPECT_EQ(Result("127.0.0.21").answered, 9);
  EXPECT_EQ(Result("127.0.0.27").answered, 9) << "dnsmasq's answers must all be read";
  EXPECT_FALSE(Result("127.0.0.27").hijack);
  // The rebinding check: the private address passed on, withheld, or no answer at all.
  EXPECT_EQ(Result("127.0.0.21").rebinding, dnsbench::Rebinding::kPassed);
  EXPECT_EQ(Result("127.0.0.21").rebinding_address, "10.11.12.13");
  EXPECT_EQ(Result("127.0.0.27").rebinding, dnsbench::Rebinding::kPassed) << "dnsmasq passes its local private answer";
  EXPECT_EQ(Result("127.0.0.22").rebinding, dnsbench::Rebinding::kBlocked);
  EXPECT_EQ(Result("127.0.0.24").rebinding, dnsbench::Rebinding::kUnknown);
  EXPECT_EQ(win32_test::ListCellText(list, RowOf(list, L"127.0.0.22"), 10), L"защищает");
  EXPECT_EQ(win32_test::ListCellText(list, RowOf(list, L"127.0.0.21"), 10), L"пропускает (10.11.12.13)");
  EXPECT_GE(Result("127.0.0.22").cached_median, 55.0);
  EXPECT_LT(RowOf(list, L"127.0.0.21"), RowOf(list, L"127.0.0.22"));
  EXPECT_LT(RowOf(list, L"127.0.0.27"), RowOf(list, L"127.0.0.22"));
  const int first = 0;
  EXPECT_EQ(win32_test::ListCellText(list, first, 8), L"самый быстрый");
  EXPECT_TRUE(win32_test::ListCellText(list, first, 1) == L"127.0.0.21" ||
              win32_test::ListCellText(list, first, 1) == L"127.0.0.27");
  // The lossy one loses queries and is never the pick; the hijacker is flagged.
  EXPECT_LT(Result("127.0.0.23").answered, 9);
  EXPECT_FALSE(Result("127.0.0.23").fastest);
  EXPECT_TRUE(Result("127.0.0.25").hijack);
  EXPECT_EQ(win32_test::ListCellText(list, RowOf(list, L"127.0.0.25"), 7), L"да (198.51.100.66)");
  EXPECT_EQ(win32_test::ListCellText(list, RowOf(list, L"127.0.0.24"), 8), L"нет ответа");
  EXPECT_EQ(win32_test::ListCellText(list, RowOf(list, L"127.0.0.26"), 8), L"ответы отвергнуты (wrong id)");
  // Copy: the clipboard belongs to a window of the program (a clipboard emptied without
  // an owner refuses the text on Windows) and holds the results as text.
  SendMessageW(win32_test::FindControl(window, L"ButtonBenchCopy"), BM_CLICK, 0, 0);
  const HWND owner = GetClipboardOwner();
  ASSERT_NE(owner, nullptr) << "opened without an owner";
  EXPECT_EQ(GetWindowThreadProcessId(owner, nullptr), GetCurrentThreadId());
  ASSERT_TRUE(OpenClipboard(window));
  std::wstring copied;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      copied = text;
      GlobalUnlock(data);
    }
  CloseClipboard();
  EXPECT_EQ(copied, platform::win32::Widen(form->ResultsText()));
  win32_test::SaveScreenshot(window, L"dns-benchmark-light");
  theme::SetAppStyle(*application, theme::kDarkStyle);
  win32_test::Pump();
  win32_test::SaveScreenshot(window, L"dns-benchmark-dark");
  theme::SetAppStyle(*application, theme::kLightStyle);
  win32_test::Pump();

  // Apply dnsmasq's address to a card of the test's own, read it back, query through it.
  const std::string card_key = std::string(kInterfaces) + kCard;
  auto key = real.registry.Open(platform::RegRoot::LocalMachine, card_key, platform::reg_access::kAllAccess | platform::reg_access::kWow64_64Key, true);
  ASSERT_TRUE(key);
  key->WriteString("NameServer", "10.9.9.9,10.9.9.8");
  main->Adapter().EditInterfaces->SetText(kCard);
  form->ListViewBench->SetSelected(RowOf(list, L"127.0.0.27"));
  SendMessageW(win32_test::FindControl(window, L"ButtonBenchApply"), BM_CLICK, 0, 0);
  RunUntilIdle();
  EXPECT_EQ(key->ReadString("NameServer").value_or("(none)"), "127.0.0.27,");
  const std::wstring report = win32_test::ControlText(win32_test::FindControl(window, L"LabelBenchStatus"));
  EXPECT_NE(report.find(L"Прочитано: 127.0.0.27."), std::wstring::npos);
  EXPECT_NE(report.find(L"Проверочный запрос через 127.0.0.27: ответ за"), std::wstring::npos);
  win32_test::SaveScreenshot(window, L"dns-benchmark-applied");
  SendMessageW(win32_test::FindControl(window, L"ButtonBenchRestore"), BM_CLICK, 0, 0);
  win32_test::Pump();
  EXPECT_EQ(key->ReadString("NameServer").value_or("(none)"), "10.9.9.9,10.9.9.8");
  key.reset();
  EXPECT_TRUE(real.registry.DeleteKey(platform::RegRoot::LocalMachine, card_key, platform::reg_access::kWow64_64Key));
}

// Ticked "also over TCP", the window times dnsmasq over both protocols and shows which
// row is which; the responder that takes no connection fails only its TCP row.
TEST_F(DnsBenchWin32, AlsoOverTcpTimesDnsmasqOverBothProtocols) {
  auto& rows = *main->DnsTest().ListViewDNS;
  rows.Clear();
  rows.AddRow({"Debian dnsmasq", {"127.0.0.27", "127.0.0.21", "0", "0"}});
  host->PeerOf(*form)->Show();
  win32_test::Pump();
  window = host->WindowOf(*form);
  HWND tcp = win32_test::FindControl(window, L"CheckBoxBenchTcp");
  HWND list = win32_test::FindControl(window, L"ListViewBench");
  ASSERT_NE(tcp, nullptr);
  SendMessageW(tcp, BM_CLICK, 0, 0);
  ASSERT_TRUE(form->CheckBoxBenchTcp->Checked());
  SendMessageW(win32_test::FindControl(window, L"ButtonBenchStart"), BM_CLICK, 0, 0);
  RunUntilIdle();
  ASSERT_EQ(form->Results().size(), 4u);
  auto answered = [&](const std::string& address, dnsbench::Protocol protocol) {
    for (const auto& r : form->Results())
      if (r.address == address && r.protocol == protocol) return r.answered;
    return -1;
  };
  EXPECT_EQ(answered("127.0.0.27", dnsbench::Protocol::kTcp), 9);
  EXPECT_EQ(answered("127.0.0.27", dnsbench::Protocol::kUdp), 9);
  EXPECT_EQ(answered("127.0.0.21", dnsbench::Protocol::kUdp), 9);
  EXPECT_EQ(answered("127.0.0.21", dnsbench::Protocol::kTcp), 0);
  int tcp_rows = 0;
  for (int i = 0; i < 4; ++i) tcp_rows += win32_test::ListCellText(list, i, 9) == L"TCP";
  EXPECT_EQ(tcp_rows, 2);
  win32_test::SaveScreenshot(window, L"dns-benchmark-tcp");
}

// The Winsock transport against the loopback responders of the test script.
struct DnsTransportLoopback : ::testing::Test {
  platform::win32::Win32DnsTransport transport;
  void SetUp() override {
    bool have_script = false;
    std::string status = RespondersStatus(have_script);
    if (!have_script) GTEST_SKIP() << "needs the DNS responders of scripts/wine-ctest.sh";
    ASSERT_EQ(status, "");
  }
};

// The Winsock transport on its own: more queries at once than one wait can watch, each
// answer on the socket of its own query; a closed port (an ICMP reply) neither ends
// the wait with a false answer nor holds up an answer on another socket.
TEST_F(DnsTransportLoopback, MatchesManyAnswersToTheirSocketsAndSurvivesAClosedPort) {
  auto query = [](uint16_t id) { return *dnsbench::EncodeQuery(id, "www.velmora.test", dnsbench::kTypeA); };
  auto id_of = [](const std::vector<uint8_t>& data) { return data.size() < 2 ? -1 : data[0] << 8 | data[1]; };

  for (int batch : {80, 10}) {  // beyond 64 sockets, then within
    std::map<int, uint16_t> sent;  // socket -> id
    for (int i = 0; i < batch; ++i) {
      std::string error;
      int socket = transport.Open("127.0.0.21", 47053, error);
      ASSERT_GE(socket, 0) << error;
      const auto id = static_cast<uint16_t>(0x4000 + batch * 100 + i);
      ASSERT_TRUE(transport.Send(socket, query(id), error)) << error;
      sent[socket] = id;
    }
    std::set<int> answered;
    while (answered.size() < sent.size()) {
      auto datagram = transport.Receive(3000000);
      ASSERT_TRUE(datagram) << answered.size() << " of " << batch << " answered";
      ASSERT_TRUE(sent.count(datagram->socket));
      EXPECT_EQ(id_of(datagram->data), sent[datagram->socket]) << "answer on another query's socket";
      EXPECT_EQ(datagram->from_address, "127.0.0.21");
      EXPECT_EQ(datagram->from_port, 47053);
      EXPECT_TRUE(answered.insert(datagram->socket).second) << "one answer per query";
    }
    for (const auto& [socket, id] : sent) transport.Close(socket);
  }

  std::string error;
  int closed = transport.Open("127.0.0.21", 47054, error);  // nobody listens there
  int open = transport.Open("127.0.0.21", 47053, error);
  ASSERT_GE(closed, 0);
  ASSERT_GE(open, 0);
  ASSERT_TRUE(transport.Send(closed, query(1), error));
  ASSERT_TRUE(transport.Send(open, query(2), error));
  auto datagram = transport.Receive(3000000);
  ASSERT_TRUE(datagram);
  EXPECT_EQ(datagram->socket, open);
  EXPECT_EQ(id_of(datagram->data), 2);
  EXPECT_FALSE(transport.Receive(300000)) << "nothing more comes: the closed port only times out";
  transport.Close(closed);
  transport.Close(open);
}


// Queries over TCP through the Winsock transport to Debian's dnsmasq: each connection
// gets the answer to its own query, read whole; a port that takes no connection only
// times out, without holding up the others.
TEST_F(DnsTransportLoopback, AsksDnsmasqOverTcpConnections) {
  auto query = [](uint16_t id) { return *dnsbench::EncodeQuery(id, "www.velmora.test", dnsbench::kTypeA); };
  std::string error;
  // The home-made responders listen on UDP only: nothing takes a connection there.
  int refused = transport.OpenStream("127.0.0.21", 47053, error);
  ASSERT_GE(refused, 0) << error;
  ASSERT_TRUE(transport.Send(refused, query(0x0100), error)) << error;
  std::map<int, uint16_t> sent;
  for (uint16_t i = 0; i < 5; ++i) {
    int socket = transport.OpenStream("127.0.0.27", 47053, error);
    ASSERT_GE(socket, 0) << error;
    ASSERT_TRUE(transport.Send(socket, query(static_cast<uint16_t>(0x2200 + i)), error)) << error;
    sent[socket] = static_cast<uint16_t>(0x2200 + i);
  }
  std::set<int> answered;
  while (answered.size() < sent.size()) {
    auto message = transport.Receive(3000000);
    ASSERT_TRUE(message) << answered.size() << " of " << sent.size() << " answered";
    ASSERT_TRUE(sent.count(message->socket)) << "an answer on the refused connection";
    auto checked = dnsbench::CheckResponse(sent[message->socket], "www.velmora.test", dnsbench::kTypeA, message->data);
    EXPECT_EQ(checked.verdict, dnsbench::Verdict::kAnswer) << checked.detail;
    EXPECT_EQ(message->from_address, "127.0.0.27");
    EXPECT_TRUE(answered.insert(message->socket).second) << "one answer per query";
    // As the benchmark does: a connection ends with its answer. (dnsmasq in the
    // foreground serves one connection at a time, until the client closes it.)
    transport.Close(message->socket);
  }
  EXPECT_FALSE(transport.Receive(300000)) << "the refused connection gives nothing";
  transport.Close(refused);
}

}  // namespace
