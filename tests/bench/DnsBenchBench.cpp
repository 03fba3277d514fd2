// Benchmark of the DNS benchmark window: a run over 30 servers x 2 addresses against
// loopback responders that always answer, each after a set latency of its own
// (tests/win32/servers/dns_responders.py --latencies, started by scripts/bench-dns.sh).
// The real window with its real Win32 peers, the Winsock transport and the real clock;
// the DNS list is the main window's own list file, written to a temporary folder of
// this program's own before the main window is made.
//
// The reference is the least time the engine's own schedule can take: the very same
// engine, seed and list replayed over an in-memory network on a virtual clock where
// every answer arrives exactly after its address's set latency and nothing else costs
// any time. Measured is the wall time from the click on "Start" until the message that
// puts the results in the window has returned. A probe on the window's thread notes the
// longest stretch in which that thread handled no messages. Not a test.
//
// Usage: velmora_dnsbench_bench LATENCIES-FILE [runs]   (default 5 runs)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "common/Text.h"
#include "dnsbench/Benchmark.h"
#include "dnsbench/DnsBenchForm.h"
#include "dnsbench/DnsMessage.h"
#include "dnsbench/FakeDnsNet.h"
#include "fakes/HeadlessHost.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32DnsTransport.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"
#include "BenchClock.h"
#include "StallProbe.h"

namespace {

constexpr int kServers = 30;
constexpr uint16_t kPort = 47053;
constexpr double kOverheadGoalPercent = 10;
constexpr double kStretchGoalMs = 50;

// The real system, except that the settings (and so the DNS list) live in a folder of
// the benchmark's own.
struct TempAppData : platform::win32::Win32System {
  std::string folder;
  std::string AppDataFolder() override { return folder; }
};

// The Winsock transport, noting when the engine opened its first socket and closed its
// last: the engine's own share of the measured time.
struct TimedTransport : platform::DnsTransport {
  platform::win32::Win32DnsTransport real;
  double first_open = 0, last_close = 0;
  int opened = 0;
  // Time the engine's thread spent in each call, summed over a run.
  double in_open = 0, in_send = 0, in_receive = 0, in_close = 0;
  void Reset() { opened = 0, in_open = in_send = in_receive = in_close = 0; }
  bool CanReachIpv6(const std::string& address) override { return real.CanReachIpv6(address); }
  int Open(const std::string& address, uint16_t port, std::string& error) override {
    double t = bench::NowMs();
    if (opened++ == 0) first_open = t;
    int socket = real.Open(address, port, error);
    in_open += bench::NowMs() - t;
    return socket;
  }
  bool Send(int socket, const std::vector<uint8_t>& data, std::string& error) override {
    double t = bench::NowMs();
    bool sent = real.Send(socket, data, error);
    in_send += bench::NowMs() - t;
    return sent;
  }
  std::optional<platform::DnsDatagram> Receive(uint64_t timeout_us) override {
    double t = bench::NowMs();
    auto datagram = real.Receive(timeout_us);
    in_receive += bench::NowMs() - t;
    return datagram;
  }
  void Close(int socket) override {
    double t = bench::NowMs();
    real.Close(socket);
    last_close = bench::NowMs();
    in_close += last_close - t;
  }
};

std::map<std::string, double> ReadLatencies(const std::wstring& path) {
  std::map<std::string, double> latencies;
  std::ifstream in(path.c_str());
  std::string address;
  double ms = 0;
  while (in >> address >> ms) latencies[address] = ms;
  return latencies;
}

// The engine's run over an in-memory network where every address answers after its
// set latency and nothing else takes time: the least time its schedule allows.
double ScheduleBoundMs(const std::vector<dnsbench::Target>& targets, const std::map<std::string, double>& latencies,
                       const dnsbench::Options& options) {
  dnsbench_test::MicroClock clock;
  dnsbench_test::FakeDnsNet net(clock);
  for (const auto& [address, ms] : latencies) {
    auto us = static_cast<uint64_t>(std::llround(ms * 1000));
    net.responders[address] = dnsbench_test::Honest(us, us);
  }
  dnsbench::Benchmark engine(net, clock, options);
  std::atomic<bool> never{false};
  const uint64_t start = clock.us;
  auto results = engine.Run(targets, {}, never);
  for (const auto& r : results)
    if (r.answered != r.sent) std::printf("warning: the replay lost queries of %s\n", r.address.c_str());
  return static_cast<double>(clock.us - start) / 1000.0;
}

// What no schedule under the bounds can beat, whatever its order: every address's
// queries one after another, and all queries spread over the slots in flight.
double WorkBoundMs(const std::vector<dnsbench::Target>& targets, const std::map<std::string, double>& latencies,
                   const dnsbench::Options& options) {
  const int per_address = 1 + 3 * options.rounds;  // the warm-up, then three kinds per round
  double longest = 0, sum = 0;
  for (const auto& t : targets) {
    double ms = latencies.at(t.address) * per_address;
    longest = std::max(longest, ms);
    sum += ms;
  }
  return std::max(longest, sum / options.max_in_flight);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Run {
  double measured = 0, bound = 0, work_bound = 0, engine = 0, stretch = 0;
  double Overhead() const { return 100.0 * (measured - bound) / bound; }
};

int Bench(const std::wstring& folder, const std::map<std::string, double>& latencies, int runs) {
  win32_test::RealPlatform real;
  TempAppData system;
  system.folder = platform::win32::Narrow(folder);
  shell::Services services{real.registry, system, real.versions, real.files, real.processes,
                         real.clock, real.wmi, real.echo, real.http};
  ui::win32::Win32Host host;
  ui::Application application(host);
  application.SetTitle("Velmora");
  std::string list = "[Ipv4_Default]\r\n";
  {
    auto it = latencies.begin();
    for (int i = 0; i < kServers; ++i) {
      const std::string first = (it++)->first, second = (it++)->first;
      list += "Loopback " + std::to_string(i + 1) + "=" + first + "," + second + "\r\n";
    }
  }
  std::string list_path;
  {
    // Where the main window looks for its list, asked of the same settings before it is made.
    fakes::HeadlessHost probe_host;
    ui::Application probe(probe_host);
    probe.SetTitle("Velmora");
    list_path = probe.CreateForm<app::TForm1>(services)->PortablePathDNS();
    if (!real.files.WriteFile(list_path, common::EncodeFile(list, common::Encoding::Utf16LeBom, 1252))) {
      std::fprintf(stderr, "cannot write %s\n", list_path.c_str());
      return 1;
    }
    std::printf("DNS list: %s\n", list_path.c_str());
  }

  TimedTransport transport;
  dnsbench::Options options;
  options.port = kPort;
  options.cached_name = "www.velmora.test";
  options.uncached_domain = "velmora.test";
  options.missing_zone = "test";
  platform::win32::Win32Clipboard clipboard;
  dnsbench::BenchPlatform bench{transport, real.clock, clipboard, options};
  auto* main = application.CreateForm<app::TForm1>(services);
  auto* form = application.CreateForm<dnsbench::TFormDnsBench>(main->Adapter(), main->DnsTest(), bench);
  host.PeerOf(*form)->Show();
  win32_test::Pump();
  HWND window = host.WindowOf(*form);
  HWND start = win32_test::FindControl(window, L"ButtonBenchStart");
  const std::vector<dnsbench::Target> targets = form->TargetsFromList();
  if (targets.size() != 2 * kServers || !start) {
    std::fprintf(stderr, "the window lists %zu addresses, expected %d\n", targets.size(), 2 * kServers);
    return 1;
  }
  const auto [fastest, slowest] = std::minmax_element(
      latencies.begin(), latencies.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  std::printf("%d servers x 2 addresses x %d rounds, set latencies %.1f..%.1f ms, at most %d in flight\n", kServers,
              options.rounds, fastest->second, slowest->second, options.max_in_flight);

  {
    // The transport alone, one query at a time to the fastest responder: what a query
    // costs the engine's thread besides its set latency.
    const std::string address = fastest->first;
    double open = 0, send = 0, over = 0, close = 0;
    int answered = 0;
    constexpr int kQueries = 100;
    for (int i = 0; i < kQueries; ++i) {
      std::string error;
      double t0 = bench::NowMs();
      int socket = transport.real.Open(address, kPort, error);
      double t1 = bench::NowMs();
      auto query = dnsbench::EncodeQuery(static_cast<uint16_t>(i), options.cached_name, dnsbench::kTypeA, &error);
      bool sent = socket >= 0 && query && transport.real.Send(socket, *query, error);
      double t2 = bench::NowMs();
      auto datagram = sent ? transport.real.Receive(500000) : std::nullopt;
      double t3 = bench::NowMs();
      if (socket >= 0) transport.real.Close(socket);
      double t4 = bench::NowMs();
      if (!datagram) continue;
      ++answered;
      open += t1 - t0, send += t2 - t1, over += t3 - t2 - fastest->second, close += t4 - t3;
    }
    if (answered)
      std::printf("transport alone, %d of %d queries to %s: open %.3f ms, send %.3f ms, answer %.3f ms over its set "
                  "latency, close %.3f ms (means)\n",
                  answered, kQueries, address.c_str(), open / answered, send / answered, over / answered,
                  close / answered);
  }

  bench::StallProbe probe;
  std::vector<Run> done;
  bool sound = true;
  for (int r = 0; r < runs; ++r) {
    bench.options.seed = 0x5EED0000u + static_cast<uint32_t>(r);  // a fresh order each run, replayable
    Run run;
    run.bound = ScheduleBoundMs(targets, latencies, bench.options);
    run.work_bound = WorkBoundMs(targets, latencies, bench.options);
    transport.Reset();

    // The longest the window's own handling took in one go, and when: the part of a
    // stretch that is the program's work rather than a thread waiting for a processor.
    double longest_dispatch = 0, longest_at = 0;
    UINT longest_message = 0;
    std::wstring longest_window;
    double finished_at = -1, finished_took = 0;  // the message that showed the results
    std::map<std::wstring, std::pair<int, double>> paints;  // while the run goes: count, time
    auto pump = [&](double since) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        double before = bench::NowMs();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        double took = bench::NowMs() - before;
        if (finished_at < 0 && !form->Running()) finished_at = before, finished_took = took;
        if (msg.message == WM_PAINT && form->Running()) {
          auto& [count, ms] = paints[msg.hwnd ? win32_test::ControlName(msg.hwnd) : L"?"];
          ++count, ms += took;
        }
        if (took > longest_dispatch) {
          longest_dispatch = took, longest_at = before - since, longest_message = msg.message;
          longest_window = msg.hwnd ? win32_test::ControlName(msg.hwnd) : L"";
        }
      }
    };
    probe.Start();
    const double began = bench::NowMs();
    SendMessageW(start, BM_CLICK, 0, 0);
    const double clicked = bench::NowMs() - began;
    while (form->Running()) {
      // As a message loop waits: also for messages that something already peeked at.
      MsgWaitForMultipleObjectsEx(0, nullptr, 100, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      pump(began);
    }
    // The run ends when the message that put the results in the window returns (the
    // painting that follows counts in the longest stretch, not here).
    run.measured = finished_at + finished_took - began;
    // A little longer, so that the painting of the results is watched too.
    for (double until = bench::NowMs() + 200; bench::NowMs() < until;) {
      MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      pump(began);
    }
    probe.Stop();
    std::printf(
        "run %d: the click took %.1f ms; the longest message (0x%04X to \"%ls\") took %.1f ms, %.0f ms after the click\n",
        r + 1, clicked, longest_message, longest_window.c_str(), longest_dispatch, longest_at);
    run.stretch = probe.LongestMs();
    run.engine = transport.last_close - transport.first_open;
    std::printf("run %d: paints while the run went:", r + 1);
    for (const auto& [name, paint] : paints) std::printf(" %ls %dx %.0f ms;", name.c_str(), paint.first, paint.second);
    std::printf(paints.empty() ? " none\n" : "\n");
    std::printf("run %d: the engine's thread spent %.0f ms opening %d sockets, %.0f ms sending, %.0f ms in receive "
                "(mostly waiting), %.0f ms closing, %.0f ms on its own work\n",
                r + 1, transport.in_open, transport.opened, transport.in_send, transport.in_receive, transport.in_close,
                run.engine - transport.in_open - transport.in_send - transport.in_receive - transport.in_close);
    std::printf("run %d: the first query went out %.1f ms after the click; the window began showing the results %.1f ms "
                "after the last answer, which took %.1f ms\n",
                r + 1, transport.first_open - began, finished_at - transport.last_close, finished_took);

    // Every query must have been answered, or the figure would time something else.
    std::vector<double> excess;
    for (const auto& res : form->Results()) {
      if (res.answered != res.sent || res.sent != 3 * options.rounds || !res.failure.empty()) {
        std::printf("run %d: %s answered %d of %d (%s)\n", r + 1, res.address.c_str(), res.answered, res.sent,
                    res.failure.c_str());
        sound = false;
      }
      for (const auto* times : {&res.cached_ms, &res.uncached_ms})
        for (double ms : *times) excess.push_back(ms - latencies.at(res.address));
    }
    if (form->Results().size() != targets.size()) sound = false;
    std::sort(excess.begin(), excess.end());
    std::printf(
        "run %d: %.0f ms (engine %.0f ms), schedule bound %.0f ms (+%.1f %%), order-free bound %.0f ms; "
        "longest UI stretch %.1f ms (%ld probe messages); per query over its set latency: median %.2f ms, "
        "worst %.2f ms\n",
        r + 1, run.measured, run.engine, run.bound, run.Overhead(), run.work_bound, run.stretch, probe.Handled(),
        Median(excess), excess.empty() ? 0 : excess.back());
    std::fflush(stdout);
    done.push_back(run);
  }
  form->Close();
  win32_test::Pump();
  if (!sound) {
    std::printf("the responders did not answer every query: no figures\n");
    return 1;
  }

  // The median and the worst run by overhead, and the median and worst stretch.
  std::vector<Run> by_overhead = done;
  std::sort(by_overhead.begin(), by_overhead.end(), [](const Run& a, const Run& b) { return a.Overhead() < b.Overhead(); });
  const Run& median = by_overhead[(by_overhead.size() - 1) / 2];
  const Run& worst = by_overhead.back();
  std::vector<double> stretches;
  for (const Run& run : done) stretches.push_back(run.stretch);
  const std::string what = std::to_string(kServers) + " servers x 2 addresses x " + std::to_string(options.rounds) + " rounds";
  auto row = [&](const char* which, const Run& run) {
    std::printf("| DNS benchmark, %s, %s of %d | %.0f ms | schedule bound %.0f ms (%+.1f %%) | <= +%.0f %% |\n",
                what.c_str(), which, runs, run.measured, run.bound, run.Overhead(), kOverheadGoalPercent);
  };
  row("median", median);
  row("worst", worst);
  std::printf("| longest UI stretch during the DNS benchmark, median of %d | %.0f ms | - | <= %.0f ms |\n", runs,
              Median(stretches), kStretchGoalMs);
  std::printf("| longest UI stretch during the DNS benchmark, worst of %d | %.0f ms | - | <= %.0f ms |\n", runs,
              *std::max_element(stretches.begin(), stretches.end()), kStretchGoalMs);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: velmora_dnsbench_bench LATENCIES-FILE [runs]\n");
    return 2;
  }
  const auto latencies = ReadLatencies(argv[1]);
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  if (latencies.size() < 2 * kServers) {
    std::fprintf(stderr, "need %d responder latencies in %ls, found %zu\n", 2 * kServers, argv[1], latencies.size());
    return 1;
  }
  // The settings folder of this run only; it goes when the windows have gone.
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring folder = std::wstring(temp) + L"velmora-dnsbench-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  int status = Bench(folder, latencies, runs);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return status;
}
