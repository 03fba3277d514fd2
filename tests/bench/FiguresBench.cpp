// The benchmark figures measured inside one main window made by the real Win32 peers:
//  - one address of a DNS test run over loopback, against the bare echo requests
//    (IcmpSendEcho) the run sends for it;
//  - the longest stretch the UI thread goes without handling messages during a DNS
//    test run, a load of 2,000 network profiles and a repair run;
//  - switching the style with a repaint of every window, against a plain repaint.
// Echo requests go to the real system (127.0.0.1 only); the registry, the files, the
// tools a repair run starts and the HTTP client are the test fakes, so nothing on the
// machine changes. Not a test: nothing here passes or fails; scripts/bench.sh runs it
// under Wine and prints its table rows ("| ..." lines) with the others.
//
// Usage: velmora_figures_bench [runs]
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "StallProbe.h"
#include "app/MainForm.h"
#include "common/Text.h"
#include "fakes/FakePlatform.h"
#include "platform/win32/Win32Echo.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Wmi.h"
#include "theme/WindowsDarkMode.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/StyleDrawing.h"
#include "ui/win32/Win32Host.h"

namespace {

double Now() { return bench::NowMs(); }

constexpr char kProfiles[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkList\\Profiles";
constexpr char kLoopback[] = "127.0.0.1";

// The real echo service, counting the requests it sends.
class CountingEcho : public platform::Echo {
 public:
  explicit CountingEcho(platform::Echo& real) : real_(real) {}
  std::unique_ptr<platform::EchoSession> Open() override {
    return std::make_unique<Session>(real_.Open(), sent_);
  }
  long Sent() const { return sent_; }

 private:
  class Session : public platform::EchoSession {
   public:
    Session(std::unique_ptr<platform::EchoSession> real, std::atomic<long>& sent) : real_(std::move(real)), sent_(sent) {}
    std::optional<platform::EchoReply> Send(const std::string& address, uint16_t buffer_size) override {
      ++sent_;
      return real_->Send(address, buffer_size);
    }

   private:
    std::unique_ptr<platform::EchoSession> real_;
    std::atomic<long>& sent_;
  };
  platform::Echo& real_;
  std::atomic<long> sent_{0};
};

// The fakes, with the real clock and the real echo service.
struct Platform {
  fakes::FakePlatform fake;
  platform::win32::Win32Clock clock;
  platform::win32::Win32Wmi wmi;
  platform::win32::Win32Echo real_echo{wmi};
  CountingEcho echo{real_echo};
  shell::Services services{fake.registry, fake.system, fake.versions, fake.files, fake.processes,
                         clock, wmi, echo, fake.http};
};

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
  return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

// `count` bare echo requests to `address`, as the system's own ping sends them.
double BareEchoes(const char* address, long count) {
  HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) return -1;
  char data[32] = {};
  char reply[sizeof(ICMP_ECHO_REPLY) + sizeof data + 8];
  const IPAddr to = inet_addr(address);
  const double start = Now();
  for (long i = 0; i < count; ++i)
    IcmpSendEcho(icmp, to, data, sizeof data, nullptr, reply, sizeof reply, 1000);
  const double elapsed = Now() - start;
  IcmpCloseHandle(icmp);
  return elapsed;
}

struct Window {
  Platform platform;
  ui::win32::Win32Host host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  HWND window = nullptr;

  explicit Window(int profiles) {
    for (int i = 0; i < profiles; ++i) {
      char guid[32];
      std::snprintf(guid, sizeof guid, "{%06d}", i);
      std::string key = std::string(kProfiles) + "\\" + guid;
      platform.fake.registry.CreateKey(platform::RegRoot::LocalMachine, key);
      platform.fake.registry.SetString(platform::RegRoot::LocalMachine, key, "ProfileName", "Network " + std::to_string(i));
      platform.fake.registry.SetString(platform::RegRoot::LocalMachine, key, "Description", "Wired");
      platform.fake.registry.SetDWord(platform::RegRoot::LocalMachine, key, "Category", 1);
    }
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(platform.services);
    window = host.WindowOf(*form);
    host.PeerOf(*form)->Show();
    Pump();
  }

  // Pumps until the workers are done (at most `limit_ms`).
  bool WaitForWorkers(double limit_ms) {
    const double start = Now();
    while (application->GetWorkers().Running() > 0) {
      if (Now() - start > limit_ms) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      Pump();
    }
    Pump();
    return true;
  }
};

void Row(const std::string& figure, const std::string& value, const std::string& reference, const std::string& goal) {
  std::printf("| %s | %s | %s | %s |\n", figure.c_str(), value.c_str(), reference.c_str(), goal.c_str());
  std::fflush(stdout);
}

std::string Ms(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, ms < 10 ? "%.2f ms" : "%.1f ms", ms);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bench::StallProbe probe;
  probe.SetLog(std::getenv("VELMORA_BENCH_STRETCHES") != nullptr);

  {
    // DNS test runs of a one-row and an eleven-row list (every address 127.0.0.1) on
    // the shown page: the difference is what ten rows (twenty addresses) cost, without
    // what a run costs once (its start and end, the table's reset).
    Window w(0);
    auto run_list = [&](int rows, std::vector<double>& times, std::vector<double>& longest) {
      std::string text = "[Ipv4_Default]\r\n";
      for (int row = 0; row < rows; ++row)
        text += "Loopback" + std::to_string(row) + "=" + kLoopback + "," + kLoopback + "\r\n";
      w.platform.fake.files.SetFile(w.form->PortablePathDNS(), common::EncodeFile(text, common::Encoding::Utf16LeBom, 1252));
      w.form->DnsTest().LoadFiltersReload();
      Pump();
      w.form->DnsTest().ButtonTestDNSClick();  // warms up
      Pump();
      for (int i = 0; i < runs; ++i) {
        probe.Start();
        const double start = Now();
        w.form->DnsTest().ButtonTestDNSClick();
        times.push_back(Now() - start);
        Pump();
        probe.Stop();
        longest.push_back(probe.LongestMs());
      }
    };
    w.form->ButtonDNSClick();
    Pump();
    constexpr int kRows = 11;
    std::vector<double> one_row, many_rows;
    std::vector<double> longest;
    const long sent_before = w.platform.echo.Sent();
    run_list(1, one_row, longest);
    run_list(kRows, many_rows, longest);
    // Two warm-up runs and `runs` timed runs of each list, two addresses a row.
    const long echoes = w.platform.echo.Sent() - sent_before;
    const long addresses = 2L * (1 + kRows) * (runs + 1);
    const long echoes_per_address = std::max(1L, echoes / addresses);
    std::vector<double> bare;
    for (int i = 0; i < runs; ++i) bare.push_back(BareEchoes(kLoopback, echoes_per_address));
    const double run = (Median(many_rows) - Median(one_row)) / (2.0 * (kRows - 1));
    const double reference = Median(bare);
    char ratio[96];
    std::snprintf(ratio, sizeof ratio, "bare IcmpSendEcho x%ld %s: +%s", echoes_per_address, Ms(reference).c_str(),
                  Ms(run - reference).c_str());
    Row("one DNS test-run address over loopback (runs of 1 and " + std::to_string(kRows) + " rows, medians of " +
            std::to_string(runs) + ")",
        Ms(run), ratio, "-");
    Row("longest UI stretch during a DNS test run (median of " + std::to_string(longest.size()) + " runs)",
        Ms(Median(longest)), "worst run " + Ms(Worst(longest)), "<= 50 ms");

    // Switching the style with every page made: each window takes the new colours and
    // repaints; a plain repaint of the main window for comparison.
    for (auto* button : {w.form->ButtonNetworkProfiles, w.form->ButtonUsefulCommands, w.form->ButtonProxy})
      button->Click();
    Pump();
    std::vector<double> switches, plain;
    for (int i = 0; i < runs; ++i) {
      double start = Now();
      ui::win32::styling::SetActive(i % 2 ? &theme::LightPalette() : &theme::DarkPalette());
      // The switch invalidates what it changes; this paints it now.
      RedrawWindow(w.window, nullptr, nullptr, RDW_ALLCHILDREN | RDW_UPDATENOW);
      GdiFlush();
      switches.push_back(Now() - start);
      start = Now();
      RedrawWindow(w.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      GdiFlush();
      plain.push_back(Now() - start);
    }
    ui::win32::styling::SetActive(nullptr);
    Row("switching style, every window repainted (median of " + std::to_string(runs) + ")", Ms(Median(switches)),
        "plain repaint of the main window " + Ms(Median(plain)), "-");
  }
  constexpr int kRounds = 3;
  {
    // Loads of 2,000 network profiles on the shown page.
    Window w(2000);
    w.form->ButtonNetworkProfilesClick();
    Pump();
    std::vector<double> longest, loads;
    for (int round = 0; round < kRounds; ++round) {
      probe.Start();
      const double start = Now();
      w.form->Profiles().UpdateNetClick();
      loads.push_back(Now() - start);
      Pump();
      probe.Stop();
      longest.push_back(probe.LongestMs());
    }
    Row("longest UI stretch during a load of 2,000 profiles (median of " + std::to_string(kRounds) + " loads)",
        Ms(Median(longest)),
        "worst load " + Ms(Worst(longest)) + "; a load takes " + Ms(Median(loads)) + " (" +
            std::to_string(w.form->Profiles().ListViewNetworkProfiles->Rows().size()) + " rows)",
        "<= 50 ms");
  }
  {
    // Repair runs (DNS cache: four tools and a two-second pause); the tools are fakes
    // that end at once, the pause is real.
    Window w(0);
    w.form->ButtonUsefulCommandsClick();
    Pump();
    w.form->Commands().CheckBoxFlushDNS->SetChecked(true);
    std::vector<double> longest, took;
    bool ended = true;
    for (int round = 0; round < kRounds; ++round) {
      probe.Start();
      const double start = Now();
      w.form->Commands().ButtonApplayClick();
      ended = w.WaitForWorkers(30000) && ended;
      took.push_back(Now() - start);
      probe.Stop();
      longest.push_back(probe.LongestMs());
    }
    Row("longest UI stretch during a repair run (median of " + std::to_string(kRounds) + " runs)", Ms(Median(longest)),
        "worst run " + Ms(Worst(longest)) + std::string(ended ? "; a run takes " : "; a run did not end in ") +
            Ms(Median(took)) + ", " + std::to_string(w.platform.fake.processes.started.size()) + " tools started",
        "<= 50 ms");
  }
  CoUninitialize();
  return 0;
}
