// The benchmark window over the fake platform and the in-memory DNS network: a run on
// its worker, the ranking and flags shown, sorting, copying, apply and restore through
// the adapter page's registry values.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/MainForm.h"
#include "dnsbench/DnsBenchForm.h"
#include "dnsbench/FakeDnsNet.h"
#include "dnsbench/Plot.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

using namespace dnsbench;
using namespace dnsbench_test;

namespace {

constexpr char kCardKey[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\{card}";

// Counts the workers' requests to the UI thread (progress and the final results).
struct CountingHost : fakes::HeadlessHost {
  std::atomic<int> wakes{0};
  void WakeUiThread() override { ++wakes; }
};

struct BenchForm : ::testing::Test, fakes::FakePlatform {
  CountingHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* main = nullptr;
  MicroClock micro;
  FakeDnsNet net{micro};
  FakeClipboard clipboard;
  std::unique_ptr<BenchPlatform> bench;
  TFormDnsBench* form = nullptr;

  void SetUp() override {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    main = application->CreateForm<app::TForm1>(services);
    Options options;
    options.seed = 7;
    options.timeout_ms = 500;
    bench = std::make_unique<BenchPlatform>(BenchPlatform{net, micro, clipboard, options});
    form = application->CreateForm<TFormDnsBench>(main->Adapter(), main->DnsTest(), *bench);
    // The DNS test page's list, as loaded from the list file.
    auto& list = *main->DnsTest().ListViewDNS;
    list.AddRow({"Fast", {"127.0.0.2", "127.0.0.3", "0", "0"}});
    list.AddRow({"Slow", {"127.0.0.4", "", "0", "0"}});
    list.AddRow({"Liar", {"127.0.0.5", "127.0.0.6", "0", "0"}});
    list.AddRow({"Dead", {"127.0.0.7", "127.0.0.8", "0", "0"}});
    net.responders["127.0.0.2"] = Honest(1500, 9000);
    net.responders["127.0.0.3"] = Honest(2500, 12000);
    net.responders["127.0.0.4"] = Honest(40000, 90000);
    auto hijack = [](const Message& q, int) { return std::vector<Reply>{{300, AnswerTo(q, 0, {198, 51, 100, 1})}}; };
    net.responders["127.0.0.5"] = hijack;
    net.responders["127.0.0.6"] = hijack;
  }
  void TearDown() override { WaitForWorkers(); }

  void WaitForWorkers() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (application->GetWorkers().Running() > 0 && std::chrono::steady_clock::now() < deadline) {
      application->ProcessMessages();
      std::this_thread::yield();
    }
    application->ProcessMessages();
    ASSERT_EQ(application->GetWorkers().Running(), 0);
  }
  std::vector<std::string> Column(int sub_item) const {
    std::vector<std::string> out;
    for (const auto& row : form->ListViewBench->Rows())
      out.push_back(sub_item < 0 ? row.caption : row.sub_items[static_cast<size_t>(sub_item)]);
    return out;
  }
};

}  // namespace

TEST_F(BenchForm, RanksFlagsAndMarksTheResults) {
  form->ButtonBenchStartClick();
  EXPECT_TRUE(form->Running());
  EXPECT_EQ(form->ButtonBenchStart->Caption(), "Стоп");
  WaitForWorkers();
  EXPECT_FALSE(form->Running());
  EXPECT_EQ(form->ButtonBenchStart->Caption(), "Старт");
  EXPECT_EQ(form->LabelBenchStatus->Caption(), "Готово. Самый быстрый надёжный сервер отмечен.");
  // Reliable ones fastest first, then the hijackers, then the dead.
  EXPECT_EQ(Column(0), (std::vector<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5", "127.0.0.6",
                                                 "127.0.0.7", "127.0.0.8"}));
  EXPECT_EQ(Column(-1)[0], "Fast");
  EXPECT_EQ(Column(1)[0], "1.5 ms");
  EXPECT_EQ(Column(3)[0], "9.0 ms");
  EXPECT_EQ(Column(5)[0], "100 %");
  EXPECT_EQ(Column(7)[0], "самый быстрый");
  EXPECT_EQ(Column(1)[2], "40 ms");
  EXPECT_EQ(Column(6)[3], "да (198.51.100.1)");
  EXPECT_EQ(Column(7)[3], "");
  EXPECT_EQ(Column(7)[5], "нет ответа");
  EXPECT_EQ(Column(5)[5], "0 %");
  EXPECT_EQ(Column(1)[5], "-");

  // Sorting by the cached time: fastest first, addresses without a time last; a
  // second click turns it round, still leaving those without a time last.
  form->ListViewBenchColumnClick(2);
  EXPECT_EQ(Column(0)[0], "127.0.0.5");  // the hijackers answer fastest of all
  EXPECT_EQ(Column(0)[4], "127.0.0.4");
  form->ListViewBenchColumnClick(2);
  EXPECT_EQ(Column(0)[0], "127.0.0.4");
  EXPECT_TRUE(Column(1).back() == "-" && Column(1)[5] == "-" && Column(1)[4] != "-") << "addresses without a time stay last";
  form->ListViewBenchColumnClick(0);
  EXPECT_EQ(Column(-1), (std::vector<std::string>{"Dead", "Dead", "Fast", "Fast", "Liar", "Liar", "Slow"}));

  // Copy: a header line and one tab-separated line per row.
  form->ButtonBenchCopyClick();
  EXPECT_EQ(clipboard.text.substr(0, clipboard.text.find("\r\n")),
            "Сервер\tАдрес\tКэш\tРазброс\tБез кэша\tРазброс\tОтветы\tПодмена\tИтог\tПротокол\tРебиндинг");
  EXPECT_NE(clipboard.text.find("Slow\t127.0.0.4\t40 ms\t"), std::string::npos) << clipboard.text;
}

TEST_F(BenchForm, ProgressReachesTheWindowAtAReadingPaceNotPerQuery) {
  // 60 addresses answering after 1..60 ms: 600 queries over about a second of the
  // run's clock, with the window handling its messages all along. Each query takes a
  // little real time, so that the window keeps up with a hand-over per query if the
  // run sent one.
  auto& list = *main->DnsTest().ListViewDNS;
  list.Clear();
  net.responders.clear();
  for (int i = 0; i < 30; ++i) {
    const std::string a = "127.0.1." + std::to_string(2 * i + 1), b = "127.0.1." + std::to_string(2 * i + 2);
    list.AddRow({"Server " + std::to_string(i), {a, b, "0", "0"}});
    for (const std::string& address : {a, b}) {
      const uint64_t us = 1000u * std::stoul(address.substr(8));
      net.responders[address] = [us](const Message& q, int) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        return std::vector<Reply>{{us, AnswerTo(q)}};
      };
    }
  }
  const uint64_t began = micro.us;
  form->ButtonBenchStartClick();
  WaitForWorkers();
  const double run_ms = static_cast<double>(micro.us - began) / 1000.0;
  ASSERT_EQ(form->Results().size(), 60u);
  EXPECT_GT(run_ms, 500.0);
  // At most one progress update per 40 ms of the run, plus the first one and the results.
  EXPECT_LE(host.wakes.load(), run_ms / 40 + 2) << "over " << run_ms << " ms";
  EXPECT_GE(host.wakes.load(), 2) << "progress shows while the run goes";
  EXPECT_EQ(form->ProgressBarBench->Max(), 600);
  EXPECT_EQ(form->ProgressBarBench->Position(), 600);
}

TEST_F(BenchForm, StopEndsTheRunAndKeepsTheWindowUsable) {
  // Every query waits its whole time-out, so the run is long unless stopped.
  net.responders.clear();
  form->ButtonBenchStartClick();
  form->ButtonBenchStartClick();
  EXPECT_FALSE(form->ButtonBenchStart->Enabled());
  WaitForWorkers();
  EXPECT_EQ(form->LabelBenchStatus->Caption(), "Проверка прервана.");
  EXPECT_TRUE(form->ButtonBenchStart->Enabled());
  EXPECT_EQ(form->ButtonBenchStart->Caption(), "Старт");
  EXPECT_EQ(net.OpenSockets(), 0u);
  for (const auto& r : form->Results()) EXPECT_FALSE(r.fastest);
}

TEST_F(BenchForm, ApplyWritesBothAddressesVerifiesAndRestores) {
  registry.SetString(platform::RegRoot::LocalMachine, kCardKey, "NameServer", "10.1.1.1,10.1.1.2");
  main->Adapter().EditInterfaces->SetText("{card}");
  form->ButtonBenchStartClick();
  WaitForWorkers();
  // The second address of "Fast" chosen: the server's two addresses are written.
  form->ListViewBench->SetSelected(1);
  form->ButtonBenchApplyClick();
  WaitForWorkers();
  const auto* stored = registry.Find(platform::RegRoot::LocalMachine, kCardKey, "NameServer");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->text, "127.0.0.2,127.0.0.3");
  EXPECT_EQ(main->Adapter().EditPreferredDNS->Text(), "127.0.0.2");
  EXPECT_EQ(form->ApplyReport(),
            "Записано: 127.0.0.2, 127.0.0.3. Прочитано: 127.0.0.2, 127.0.0.3. "
            "Проверочный запрос через 127.0.0.2: ответ за 1.5 ms.");
  EXPECT_TRUE(form->ButtonBenchRestore->Enabled());

  // A second apply, then restore: back to what was there before the first.
  form->ListViewBench->SetSelected(2);
  form->ButtonBenchApplyClick();
  WaitForWorkers();
  EXPECT_EQ(registry.Find(platform::RegRoot::LocalMachine, kCardKey, "NameServer")->text, "127.0.0.4,");
  form->ButtonBenchRestoreClick();
  EXPECT_EQ(registry.Find(platform::RegRoot::LocalMachine, kCardKey, "NameServer")->text, "10.1.1.1,10.1.1.2");
  EXPECT_EQ(form->ApplyReport(), "Прежние DNS возвращены: 10.1.1.1, 10.1.1.2.");
  EXPECT_FALSE(form->ButtonBenchRestore->Enabled());
}

TEST_F(BenchForm, ApplyReportsAServerThatDoesNotAnswerAndRestoresAutomaticDns) {
  main->Adapter().EditInterfaces->SetText("{card}");
  registry.CreateKey(platform::RegRoot::LocalMachine, kCardKey);
  form->ButtonBenchStartClick();
  WaitForWorkers();
  form->ListViewBench->SetSelected(5);  // 127.0.0.7 of "Dead"
  form->ButtonBenchApplyClick();
  WaitForWorkers();
  EXPECT_EQ(registry.Find(platform::RegRoot::LocalMachine, kCardKey, "NameServer")->text, "127.0.0.7,127.0.0.8");
  EXPECT_NE(form->ApplyReport().find("Проверочный запрос через 127.0.0.7: no answer."), std::string::npos)
      << form->ApplyReport();
  form->ButtonBenchRestoreClick();
  EXPECT_EQ(registry.Find(platform::RegRoot::LocalMachine, kCardKey, "NameServer"), nullptr);
  EXPECT_EQ(form->ApplyReport(), "Прежние DNS возвращены: автоматически.");
}

TEST_F(BenchForm, ApplyNeedsACardAndAChosenRow) {
  form->ButtonBenchStartClick();
  WaitForWorkers();
  form->ListViewBench->SetSelected(-1);
  form->ButtonBenchApplyClick();
  EXPECT_EQ(form->LabelBenchStatus->Caption(), "Выберите сервер в списке.");
  form->ListViewBench->SetSelected(0);
  form->ButtonBenchApplyClick();
  EXPECT_EQ(form->LabelBenchStatus->Caption(), "Не выбран сетевой адаптер.");
  EXPECT_FALSE(form->ButtonBenchRestore->Enabled());
}

namespace {

struct RecordingCanvas : ui::Canvas {
  std::vector<std::pair<ui::Point, ui::Colour>> dots;
  std::vector<std::string> texts;
  void FillRect(const ui::Rect&, ui::Colour) override {}
  void Line(ui::Point, ui::Point, ui::Colour) override {}
  void Dot(ui::Point c, int, ui::Colour colour) override { dots.push_back({c, colour}); }
  void Text(ui::Point, const std::string& text, ui::Colour) override { texts.push_back(text); }
  ui::Point TextSize(const std::string& text) override { return {static_cast<int>(text.size()) * 6, 13}; }
};

}  // namespace

TEST(DnsBenchPlot, PutsFasterTimesLeftOnALogarithmicAxis) {
  AddressResult fast, slow, silent;
  fast.address = "10.0.0.1", fast.cached_ms = {0.4, 0.5}, fast.uncached_ms = {3};
  slow.address = "10.0.0.2", slow.cached_ms = {40}, slow.uncached_ms = {300};
  silent.address = "10.0.0.3";
  RecordingCanvas canvas;
  PlotColours colours;
  DrawPlot(canvas, {600, 200}, {&fast, &slow, &silent}, colours);
  ASSERT_EQ(canvas.dots.size(), 5u);
  // One line per address with times; the silent one has none.
  EXPECT_EQ(std::count(canvas.texts.begin(), canvas.texts.end(), "10.0.0.3"), 0);
  auto x_of = [&](ui::Colour colour, int line_y_order) {
    std::vector<int> xs;
    for (auto& [p, c] : canvas.dots)
      if (c == colour) xs.push_back(p.x);
    return xs.at(static_cast<size_t>(line_y_order));
  };
  EXPECT_LT(x_of(colours.cached, 0), x_of(colours.cached, 2));  // 0.4 ms left of 40 ms
  EXPECT_LT(x_of(colours.uncached, 0), x_of(colours.uncached, 1));
  // Decades from 0.1 to 1000 ms are evenly spaced.
  EXPECT_EQ(PlotX(1, 0.1, 1000, 0, 400) - PlotX(0.1, 0.1, 1000, 0, 400), 100);
  EXPECT_EQ(PlotX(1000, 0.1, 1000, 0, 400), 400);
  EXPECT_NE(std::find(canvas.texts.begin(), canvas.texts.end(), "0.1 ms"), canvas.texts.end());
}

// With "also over TCP" ticked, every address is timed a second time over TCP, as a row
// of its own that says so; a server that takes no connection fails only that row.
TEST_F(BenchForm, AlsoOverTcpAddsARowPerAddressAndProtocol) {
  net.tcp_responders["127.0.0.2"] = Honest(2000, 10000);
  net.tcp_responders["127.0.0.4"] = Honest(45000, 95000);
  form->CheckBoxBenchTcp->SetChecked(true);
  const std::vector<Target> targets = form->TargetsFromList();
  ASSERT_EQ(targets.size(), 14u);
  EXPECT_EQ(targets[7].address, "127.0.0.2");
  EXPECT_EQ(targets[7].protocol, Protocol::kTcp);
  form->ButtonBenchStartClick();
  WaitForWorkers();
  ASSERT_EQ(form->ListViewBench->Rows().size(), 14u);
  // The fastest is UDP to 127.0.0.2; its TCP row ranks right after it.
  EXPECT_EQ(Column(0)[0], "127.0.0.2");
  EXPECT_EQ(Column(8)[0], "UDP");
  EXPECT_EQ(Column(0)[1], "127.0.0.2");
  EXPECT_EQ(Column(8)[1], "TCP");
  EXPECT_EQ(Column(1)[1], "2.0 ms");
  size_t tcp_rows = 0, tcp_dead = 0;
  for (const auto& row : form->ListViewBench->Rows()) {
    if (row.sub_items[8] != "TCP") continue;
    ++tcp_rows;
    if (row.sub_items[0] != "127.0.0.2" && row.sub_items[0] != "127.0.0.4") {
      ++tcp_dead;
      EXPECT_NE(row.sub_items[7].find("connection refused"), std::string::npos) << row.sub_items[7];
    }
  }
  EXPECT_EQ(tcp_rows, 7u);
  EXPECT_EQ(tcp_dead, 5u);
  // Sorted by protocol, the UDP rows come first, each group in its ranking.
  form->ListViewBenchColumnClick(9);
  EXPECT_EQ(Column(8)[6], "UDP");
  EXPECT_EQ(Column(8)[7], "TCP");
  EXPECT_EQ(Column(0)[7], "127.0.0.2");
}

// A server's IPv6 addresses from the list's IPv6 section are measured beside its IPv4
// ones, as rows of their own.
TEST_F(BenchForm, TheListsIpv6AddressesAreMeasuredToo) {
  files.SetFile(main->PortablePathDNS(),
                common::EncodeFile("[Ipv4_Default]\r\nFast=127.0.0.2,\r\nNone=\r\n"
                                   "[Ipv6_Default]\r\nfast=::1,not-an-address\r\nNone=2001:db8::53\r\n",
                                   common::Encoding::Utf16LeBom, 1251));
  main->DnsTest().LoadFiltersReload();
  const std::vector<Target> targets = form->TargetsFromList();
  ASSERT_EQ(targets.size(), 3u);
  EXPECT_EQ(targets[0].address, "127.0.0.2");
  EXPECT_EQ(targets[1].address, "::1");
  EXPECT_EQ(targets[1].server, "Fast");
  EXPECT_EQ(targets[2].address, "2001:db8::53");
  EXPECT_EQ(targets[2].server, "None");
  net.responders["::1"] = Honest(800, 3000);
  form->ButtonBenchStartClick();
  WaitForWorkers();
  ASSERT_EQ(form->Results().size(), 3u);
  int measured_ipv6 = 0;
  for (const auto& r : form->Results()) {
    if (r.address != "::1") continue;
    ++measured_ipv6;
    EXPECT_EQ(r.answered, 9);
  }
  EXPECT_EQ(measured_ipv6, 1);
}

// The chart says in words what it shows, for screen readers and as its hint.
TEST_F(BenchForm, TheChartIsSummedUpInWords) {
  form->FormShow();
  EXPECT_EQ(form->PaintBoxBenchPlot->Hint(), "График времени ответа: результатов пока нет");
  form->ButtonBenchStartClick();
  WaitForWorkers();
  EXPECT_EQ(form->PaintBoxBenchPlot->Hint(),
            "График времени ответа, 7 адресов: самый быстрый 127.0.0.2 (Fast), кэш 1.5 ms, без кэша 9.0 ms");
  net.responders.clear();  // nobody answers now
  form->ButtonBenchStartClick();
  WaitForWorkers();
  EXPECT_EQ(form->PaintBoxBenchPlot->Hint(), "График времени ответа, 7 адресов: надёжного нет");
}
