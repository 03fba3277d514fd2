// Benchmark of long lists in the real window: the main window's creation with a DNS
// list of N entries (the table is filled while the window is made), the refresh of the
// shown table (Ctrl+F5), the profiles page with N profiles, and a close request during
// a load of the table and of the profiles page (time from the request until the load
// has given up and the message loop has the quit message). The platform services are
// the in-memory fakes with the real clock, so only the program's own work and the
// windows are timed. Not a test; scripts/bench.sh --lists runs it under Wine.
//
// Usage: velmora_listbench [sizes...]  (default 10000 20000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "common/IniFile.h"
#include "dnstest/DnsList.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"
#include "platform/win32/Win32Processes.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/Win32TestSupport.h"
#include "BenchClock.h"

namespace {

constexpr char kProfiles[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkList\\Profiles";

double Now() { return bench::NowMs(); }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Drops a quit message left in the queue by a close, so the next case starts clean.
void DropQuit() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

std::string DnsList(int entries) {
  std::string text = "[Ipv4_Default]\r\n";
  for (int i = 0; i < entries; ++i)
    text += "Server " + std::to_string(i) + "=10." + std::to_string(i / 65536 % 256) + "." +
            std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + ",10.0.0.1\r\n";
  return text;
}

// The main window with its start-up steps callable one by one.
struct BenchForm : app::TForm1 {
  using app::TForm1::TForm1;
  using app::TForm1::ComboBoxDNSChange;
  using app::TForm1::LoadDNS;
  using app::TForm1::LoadFiltersReload;
};

// The fakes, with the real clock so paced message runs happen as in the program.
struct Platform {
  fakes::FakePlatform fake;
  platform::win32::Win32Clock clock;
  shell::Services services{fake.registry, fake.system, fake.versions, fake.files, fake.processes,
                         clock, fake.wmi, fake.echo, fake.http};
};

// Where the window looks for the list file, asked of a window without a screen.
std::string DnsPath() {
  Platform probe;
  fakes::HeadlessHost host;
  ui::Application application(host);
  application.SetTitle("Velmora");
  auto* form = application.CreateForm<app::TForm1>(probe.services);
  return form->PortablePathDNS();
}

struct Window {
  Platform platform;
  ui::win32::Win32Host host;
  std::unique_ptr<ui::Application> application;
  BenchForm* form = nullptr;
  HWND window = nullptr;

  // Writes the DNS list (and the profiles) before the window is made.
  Window(int dns_entries, int profiles) {
    for (int i = 0; i < profiles; ++i) {
      char guid[32];
      std::snprintf(guid, sizeof guid, "{%06d}", i);
      std::string key = std::string(kProfiles) + "\\" + guid;
      platform.fake.registry.CreateKey(platform::RegRoot::LocalMachine, key);
      platform.fake.registry.SetString(platform::RegRoot::LocalMachine, key, "ProfileName",
                                       "Network " + std::to_string(i));
      platform.fake.registry.SetString(platform::RegRoot::LocalMachine, key, "Description", "Wired");
      platform.fake.registry.SetDWord(platform::RegRoot::LocalMachine, key, "Category", 1);
    }
    if (dns_entries > 0)
      platform.fake.files.SetFile(DnsPath(), common::EncodeFile(DnsList(dns_entries), common::Encoding::Utf16LeBom, 1252));
  }

  // Makes the main window (its creation reads the DNS list), shows it and lets it paint.
  double Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    double start = Now();
    form = application->CreateForm<BenchForm>(platform.services);
    window = host.WindowOf(*form);
    host.PeerOf(*form)->Show();
    Pump();
    return Now() - start;
  }
};

int RowsShown(HWND window, const wchar_t* name) {
  HWND list = win32_test::FindControl(window, name);
  return list ? static_cast<int>(SendMessageW(list, 0x1004 /* LVM_GETITEMCOUNT */, 0, 0)) : -1;
}

// A timer that asks the main window to close while a load runs: the shortest a timer
// allows, so that even a load of a few tens of milliseconds is caught in the middle.
constexpr UINT kCloseAfterMs = USER_TIMER_MINIMUM;
HWND g_close_target = nullptr;
double g_close_requested = 0;
void CALLBACK RequestClose(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (g_close_target) {
    g_close_requested = Now();
    PostMessageW(g_close_target, WM_CLOSE, 0, 0);
  }
}

// The figures of the benchmark table: every measurement, by figure and list size.
std::vector<std::pair<std::string, std::map<int, std::vector<double>>>> g_figures;
int g_size = 0;  // the list size being measured
void Figure(const std::string& name, double ms) {
  for (auto& [figure, values] : g_figures)
    if (figure == name) {
      values[g_size].push_back(ms);
      return;
    }
  g_figures.push_back({name, {{g_size, {ms}}}});
}

double MedianOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Line(const char* what, int n, double ms, size_t rows) {
  std::printf("%-34s %6d  %9.1f ms  (%zu rows in the model)\n", what, n, ms, rows);
  std::fflush(stdout);
}

// One size: the main window with the DNS list, then the profiles page.
void RunSize(int n) {
  {
    Window w(n, 0);
    double opened = w.Open();
    Line("start-up with the DNS list", n, opened, w.form->DnsTest().ListViewDNS->Rows().size());

    double start = Now();
    size_t read = dnstest::ReadDnsList(w.platform.services, DnsPath()).size();
    Line("reading the list file alone", n, Now() - start, read);

    // The start-up's list work piece by piece, on the shown window: the table (its
    // page not yet shown), the server box and the choice of its first server.
    start = Now();
    w.form->LoadFiltersReload();
    const double table = Now() - start;
    Line("  table load, page not shown", n, table, w.form->DnsTest().ListViewDNS->Rows().size());
    start = Now();
    w.form->LoadDNS(DnsPath());
    const double box = Now() - start;
    Line("  server box load", n, box, read);
    start = Now();
    w.form->ComboBoxDNSChange();
    const double chosen = Now() - start;
    Line("  first server chosen", n, chosen, read);
    Figure("DNS list at start-up: table, server box and first server chosen", table + box + chosen);
    Pump();

    w.form->ButtonDNSClick();
    Pump();
    start = Now();
    w.form->DnsTest().MenuRefreshDNSClick();
    Pump();
    Figure("refresh of the shown DNS table (Ctrl+F5)", Now() - start);
    Line("refresh of the shown table", n, Now() - start, w.form->DnsTest().ListViewDNS->Rows().size());
    std::printf("%-34s %6s  %d rows in the list view\n", "", "", RowsShown(w.window, L"ListViewDNS"));

    g_close_target = w.window;
    g_close_requested = 0;
    SetTimer(nullptr, 0, kCloseAfterMs, RequestClose);
    start = Now();
    w.form->DnsTest().MenuRefreshDNSClick();
    double ended = Now();
    Figure("close during a DNS table refresh", g_close_requested > 0 ? ended - g_close_requested : -1);
    Line("close during a table refresh", n, g_close_requested > 0 ? ended - g_close_requested : -1,
         w.form->DnsTest().ListViewDNS->Rows().size());
    DropQuit();
    w.form->DnsTest().ListViewDNS->Clear();
  }
  {
    Window w(0, n);
    w.Open();
    double start = Now();
    w.form->ButtonNetworkProfilesClick();
    Pump();
    Line("profiles page shown", n, Now() - start, w.form->Profiles().ListViewNetworkProfiles->Rows().size());

    // The registry reads of a load alone (the fake registry), for comparison.
    start = Now();
    size_t read = 0;
    if (auto root = w.platform.services.registry.Open(platform::RegRoot::LocalMachine, kProfiles,
                                                       platform::reg_access::kRead, false)) {
      for (const std::string& name : root->SubKeys()) {
        auto key = w.platform.services.registry.Open(platform::RegRoot::LocalMachine,
                                                      std::string(kProfiles) + "\\" + name,
                                                      platform::reg_access::kRead, false);
        if (!key) continue;
        read += key->ReadString("ProfileName").has_value() + key->ReadString("Description").has_value() +
                key->ReadDWord("Category").has_value();
      }
    }
    Line("  registry reads alone", n, Now() - start, read / 3);
    Pump();

    // The list alone: a refresh of the page already shown.
    start = Now();
    w.form->Profiles().UpdateNetClick();
    Pump();
    Figure("profiles page load (refresh of the shown page)", Now() - start);
    Line("refresh of the shown profiles", n, Now() - start, w.form->Profiles().ListViewNetworkProfiles->Rows().size());

    g_close_target = w.window;
    g_close_requested = 0;
    SetTimer(nullptr, 0, kCloseAfterMs, RequestClose);
    w.form->Profiles().UpdateNetClick();
    double ended = Now();
    Figure("close during a profiles load", g_close_requested > 0 ? ended - g_close_requested : -1);
    Line("close during a profiles load", n, g_close_requested > 0 ? ended - g_close_requested : -1,
         w.form->Profiles().ListViewNetworkProfiles->Rows().size());
    DropQuit();
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<int> sizes;
  // Every size is measured `rounds` times (VELMORA_BENCH_ROUNDS, default 3), the sizes
  // taking turns, so a passing load of the machine does not fall on one size only.
  for (int i = 1; i < argc; ++i) sizes.push_back(_wtoi(argv[i]));
  if (sizes.empty()) sizes = {10000, 20000};
  const char* rounds_text = std::getenv("VELMORA_BENCH_ROUNDS");
  const int rounds = rounds_text ? std::max(1, std::atoi(rounds_text)) : 3;
  std::printf("%-34s %6s  %12s\n", "case", "N", "time");
  {
    // What making and showing the window costs without a list, for comparison.
    Window w(0, 0);
    Line("start-up without a list", 0, w.Open(), 0);
  }
  for (int round = 0; round < rounds; ++round) {
    for (int n : sizes) {
      g_size = n;
      RunSize(n);
    }
  }
  // The rows of the benchmark table (scripts/bench.sh): the median of the rounds for
  // each size, and the ratio of the largest size to the smallest (linear work doubles
  // with the list).
  for (const auto& [figure, by_size] : g_figures) {
    const bool close = figure.rfind("close", 0) == 0;
    std::string value;
    for (const auto& [size, values] : by_size) {
      const double median = MedianOf(values);
      char text[96];
      if (median < 0)
        std::snprintf(text, sizeof text, "%s%d rows: ended first", value.empty() ? "" : ", ", size);
      else
        std::snprintf(text, sizeof text, "%s%d rows: %.1f ms", value.empty() ? "" : ", ", size, median);
      value += text;
    }
    std::string ratio = "-";
    const double first = MedianOf(by_size.begin()->second), last = MedianOf(by_size.rbegin()->second);
    if (!close && by_size.size() > 1 && first > 0) {
      char text[64];
      std::snprintf(text, sizeof text, "%d/%d rows: %.2f x", by_size.rbegin()->first, by_size.begin()->first,
                    last / first);
      ratio = text;
    }
    std::printf("| %s (median of %zu) | %s | %s | %s |\n", figure.c_str(), by_size.begin()->second.size(),
                value.c_str(), ratio.c_str(), close ? "<= 200 ms" : "<= 100 ms at 10000, <= 2.1 x");
  }
  return 0;
}
