#include "dnsbench/DnsBenchForm.h"

#include <algorithm>
#include <cmath>

#include "adapter/AdapterPage.h"
#include "dnsbench/Plot.h"
#include "shell/Journal.h"
#include "dnstest/DnsTestPage.h"

namespace dnsbench {

namespace {

constexpr int kClientWidth = 920;
constexpr int kClientHeight = 540;
constexpr int kButtonStripHeight = 35;
constexpr int kStatusHeight = 34;
constexpr int kPlotHeight = 190;
// The least time between two progress updates of a run.
constexpr uint64_t kProgressIntervalUs = 40000;

// The protocol and rebinding columns came last so that language files made before it keep naming the
// other columns by the same numbers.
enum Column {
  kServer, kAddress, kCached, kCachedSpread, kUncached, kUncachedSpread, kAnswered, kHijack, kVerdict, kProtocol,
  kRebinding
};

// Replaces each "%s" or "%d" in turn with the next argument.
std::string Format(std::string pattern, const std::vector<std::string>& args) {
  size_t next = 0, at = 0;
  while (next < args.size() && (at = pattern.find('%', at)) != std::string::npos) {
    if (at + 1 < pattern.size() && (pattern[at + 1] == 's' || pattern[at + 1] == 'd')) {
      pattern.replace(at, 2, args[next]);
      at += args[next++].size();
    } else {
      ++at;
    }
  }
  return pattern;
}

std::string ShareText(const AddressResult& r) {
  if (r.sent == 0) return "-";
  return std::to_string(static_cast<int>(std::lround(r.AnsweredShare() * 100))) + " %";
}

// The order people want to read first: reliable addresses fastest first, then the
// others by how often they answered.
bool RankBefore(const AddressResult& a, const AddressResult& b) {
  if (a.Reliable() != b.Reliable()) return a.Reliable();
  if (a.Reliable()) return a.Score() < b.Score();
  if (a.failure.empty() != b.failure.empty()) return a.failure.empty();
  return a.AnsweredShare() > b.AnsweredShare();
}

}  // namespace

TFormDnsBench::TFormDnsBench(ui::Application& app, adapter::AdapterPage& adapter, dnstest::DnsTestPage& dns_test,
                             BenchPlatform& platform)
    : ui::Form(app, "FormDnsBench"), adapter_(adapter), dns_test_(dns_test), platform_(platform) {
  SetCaption("Тест DNS-серверов запросами");
  SetClientSize(kClientWidth, kClientHeight);
  SetMinSize(560, 420);
  SetPosition(ui::Position::DesktopCenter);
  SetOwnTaskbarButton(true);

  TabControlBenchButtons = Create<ui::Panel>(this, "TabControlBenchButtons");
  TabControlBenchButtons->SetAlign(ui::Align::Bottom);
  TabControlBenchButtons->SetBounds({0, kClientHeight - kButtonStripHeight, kClientWidth, kButtonStripHeight});

  LabelBenchStatus = Create<ui::Label>(this, "LabelBenchStatus");
  LabelBenchStatus->SetAlign(ui::Align::Bottom);
  LabelBenchStatus->SetBounds({0, kClientHeight - kButtonStripHeight - kStatusHeight, kClientWidth, kStatusHeight});

  PaintBoxBenchPlot = Create<ui::PaintBox>(this, "PaintBoxBenchPlot");
  PaintBoxBenchPlot->SetAlign(ui::Align::Bottom);
  PaintBoxBenchPlot->SetBounds(
      {0, kClientHeight - kButtonStripHeight - kStatusHeight - kPlotHeight, kClientWidth, kPlotHeight});
  PaintBoxBenchPlot->OnPaint = [this](ui::Canvas& canvas, ui::Point size) { Paint(canvas, size); };

  ListViewBench = Create<ui::ListView>(this, "ListViewBench");
  ListViewBench->SetAlign(ui::Align::Client);
  // The columns fit the window beside a vertical scroll bar.
  ListViewBench->SetColumns({{"Сервер", 124, 100},
                             {"Адрес", 95, 80},
                             {.caption = "Кэш", .width = 60, .min_width = 50, .centered = true},
                             {.caption = "Разброс", .width = 56, .min_width = 50, .centered = true},
                             {.caption = "Без кэша", .width = 64, .min_width = 50, .centered = true},
                             {.caption = "Разброс", .width = 56, .min_width = 50, .centered = true},
                             {.caption = "Ответы", .width = 56, .min_width = 50, .centered = true},
                             {"Подмена", 90, 60},
                             {.caption = "Итог", .width = 90, .min_width = 80, .auto_size = true},
                             {.caption = "Протокол", .width = 66, .min_width = 50, .centered = true},
                             {.caption = "Ребиндинг", .width = 140, .min_width = 60, .centered = true}});
  ListViewBench->OnColumnClick = [this](int column) { ListViewBenchColumnClick(column); };

  struct ButtonSpec {
    ui::Button** field;
    const char* name;
    const char* caption;
    void (TFormDnsBench::*click)();
  };
  const ButtonSpec buttons[] = {
      {&ButtonBenchStart, "ButtonBenchStart", "Старт", &TFormDnsBench::ButtonBenchStartClick},
      {&ButtonBenchCopy, "ButtonBenchCopy", "Копировать", &TFormDnsBench::ButtonBenchCopyClick},
      {&ButtonBenchApply, "ButtonBenchApply", "Применить", &TFormDnsBench::ButtonBenchApplyClick},
      {&ButtonBenchRestore, "ButtonBenchRestore", "Вернуть прежние DNS", &TFormDnsBench::ButtonBenchRestoreClick},
  };
  int left = 4;
  for (const ButtonSpec& spec : buttons) {
    ui::Button* button = Create<ui::Button>(TabControlBenchButtons, spec.name);
    button->SetCaption(spec.caption);
    int width = spec.field == &ButtonBenchRestore ? 150 : 100;
    button->SetBounds({left, 5, width, 25});
    auto click = spec.click;
    button->OnClick = [this, click] { (this->*click)(); };
    *spec.field = button;
    left += width + 6;
  }
  ButtonBenchCopy->SetEnabled(false);
  ButtonBenchApply->SetEnabled(false);
  ButtonBenchRestore->SetEnabled(false);
  // Each address can be timed over TCP too, as rows of their own; off by default, as it
  // doubles the run.
  CheckBoxBenchTcp = Create<ui::CheckBox>(TabControlBenchButtons, "CheckBoxBenchTcp");
  CheckBoxBenchTcp->SetCaption("Также по TCP");
  CheckBoxBenchTcp->SetBounds({left + 4, 9, 104, 17});
  left += 112;
  ProgressBarBench = Create<ui::ProgressBar>(TabControlBenchButtons, "ProgressBarBench");
  ProgressBarBench->SetBounds({left + 6, 9, kClientWidth - left - 16, 17});

  // Texts the window shows at run time, translated with everything else.
  PopupMenuBenchTexts = CreateNonVisual<ui::PopupMenu>("PopupMenuBenchTexts");
  const std::pair<const char*, const char*> texts[] = {
      {"LangBenchStart", "Старт"},
      {"LangBenchStop", "Стоп"},
      {"LangBenchRunning", "Идёт проверка: %d из %d запросов"},
      {"LangBenchDone", "Готово. Самый быстрый надёжный сервер отмечен."},
      {"LangBenchCancelled", "Проверка прервана."},
      {"LangBenchFastest", "самый быстрый"},
      {"LangBenchYes", "да"},
      {"LangBenchRebindBlocked", "защищает"},
      {"LangBenchRebindPassed", "пропускает"},
      {"LangBenchNoAnswer", "нет ответа"},
      {"LangBenchRejected", "ответы отвергнуты"},
      {"LangBenchServerError", "отвечает только ошибкой"},
      {"LangBenchCannotSend", "запрос не отправить"},
      {"LangBenchNoIpv6", "нет IPv6"},
      {"LangBenchNoAddress", "нет адреса"},
      {"LangBenchNoServers", "Список DNS-серверов пуст."},
      {"LangBenchNoCard", "Не выбран сетевой адаптер."},
      {"LangBenchChoose", "Выберите сервер в списке."},
      {"LangBenchApplied", "Записано: %s. Прочитано: %s."},
      {"LangBenchMismatch", "Прочитанные значения не совпадают с записанными!"},
      {"LangBenchProbeOk", "Проверочный запрос через %s: ответ за %s."},
      {"LangBenchProbeFail", "Проверочный запрос через %s: %s."},
      {"LangBenchRestored", "Прежние DNS возвращены: %s."},
      {"LangBenchAutomatic", "автоматически"},
      {"LangBenchPlotEmpty", "График времени ответа: результатов пока нет"},
      {"LangBenchPlotFastest", "График времени ответа, %s адресов: самый быстрый %s (%s), кэш %s, без кэша %s"},
      {"LangBenchPlotNoneReliable", "График времени ответа, %s адресов: надёжного нет"},
      {"LangBenchJournal", "Применение DNS из окна проверки DNS"},
  };
  for (const auto& [name, caption] : texts) Create<ui::MenuItem>(PopupMenuBenchTexts, name)->SetCaption(caption);

  ApplyLayout();
}

std::string TFormDnsBench::Text(const char* item) const {
  ui::Component* c = Find(item);
  return c ? c->Caption() : std::string();
}

std::string TFormDnsBench::FailureText(const AddressResult& r) const {
  const char* item = nullptr;
  switch (r.failure_kind) {
    case Failure::kNone: return {};
    case Failure::kNoAddress: item = "LangBenchNoAddress"; break;
    case Failure::kNoIpv6: item = "LangBenchNoIpv6"; break;
    case Failure::kCannotSend: item = "LangBenchCannotSend"; break;
    case Failure::kServerError: item = "LangBenchServerError"; break;
    case Failure::kRejected: item = "LangBenchRejected"; break;
    case Failure::kNoAnswer: item = "LangBenchNoAnswer"; break;
  }
  std::string text = Text(item);
  // The technical detail (which error, which fault) stays as the engine gives it.
  size_t colon = r.failure.find(": ");
  if (colon != std::string::npos) text += " (" + r.failure.substr(colon + 2) + ")";
  return text;
}

// Whether the server passes a private address on for a public name: "passes (10.1.2.3)"
// reads as a warning, "protects" as its absence; "-" when it could not be told.
std::string TFormDnsBench::RebindingText(const AddressResult& r) const {
  switch (r.rebinding) {
    case Rebinding::kPassed: return Text("LangBenchRebindPassed") + " (" + r.rebinding_address + ")";
    case Rebinding::kBlocked: return Text("LangBenchRebindBlocked");
    case Rebinding::kUnknown: break;
  }
  return "-";
}

void TFormDnsBench::FormShow() {
  if (!running_ && results_.empty()) LabelBenchStatus->SetCaption("");
  if (results_.empty()) PaintBoxBenchPlot->SetHint(PlotSummary());
}

void TFormDnsBench::FormClose() {
  if (running_ && cancel_) cancel_->store(true);
}

std::vector<Target> TFormDnsBench::TargetsFromList() const {
  std::vector<Target> targets;
  for (const ui::ListRow& row : dns_test_.ListViewDNS->Rows()) {
    const std::string dns1 = row.sub_items.size() > 0 ? row.sub_items[0] : std::string();
    const std::string dns2 = row.sub_items.size() > 1 ? row.sub_items[1] : std::string();
    if (!dns1.empty()) targets.push_back({row.caption, dns1});
    if (!dns2.empty()) targets.push_back({row.caption, dns2});
    // The server's IPv6 addresses from the list's IPv6 section, measured alike.
    const std::vector<std::string> ipv6 = dns_test_.Ipv6Of(row.caption);
    for (const std::string& address : ipv6) targets.push_back({row.caption, address});
    if (dns1.empty() && dns2.empty() && ipv6.empty()) targets.push_back({row.caption, ""});
  }
  if (CheckBoxBenchTcp->Checked()) {
    const size_t udp = targets.size();
    for (size_t i = 0; i < udp; ++i)
      if (!targets[i].address.empty()) targets.push_back({targets[i].server, targets[i].address, Protocol::kTcp});
  }
  return targets;
}

void TFormDnsBench::ButtonBenchStartClick() {
  if (running_) {
    cancel_->store(true);
    ButtonBenchStart->SetEnabled(false);  // until the worker has wound down
    return;
  }
  std::vector<Target> targets = TargetsFromList();
  if (targets.empty()) {
    LabelBenchStatus->SetCaption(Text("LangBenchNoServers"));
    return;
  }
  running_ = true;
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  ButtonBenchStart->SetCaption(Text("LangBenchStop"));
  ButtonBenchCopy->SetEnabled(false);
  ButtonBenchApply->SetEnabled(false);
  ProgressBarBench->SetPosition(0);
  LabelBenchStatus->SetCaption(Format(Text("LangBenchRunning"), {"0", "..."}));

  auto progress_posted = std::make_shared<std::atomic<bool>>(false);
  App().GetWorkers().Start(
      "DnsBenchThread", [this, targets, cancel = cancel_, progress_posted, &platform = platform_,
                         options = platform_.options](const ui::WorkerLink& link) {
        Benchmark bench(platform.transport, platform.clock, options);
        // Progress is posted, never waited for: a query in flight must not sit in its
        // socket while the UI thread is busy. At most one hand-over is pending, and
        // they come at a reading pace, not once per query: hundreds of queries end
        // each second, and a hand-over for each would keep the UI thread running
        // hand-overs instead of its messages, and cost the measuring thread a
        // message each.
        uint64_t last_post_us = 0;
        bool posted_once = false;
        auto results = bench.Run(
            targets,
            [&](int done, int total) {
              const uint64_t now = platform.clock.Microseconds();
              if (posted_once && now - last_post_us < kProgressIntervalUs) return;
              if (progress_posted->exchange(true)) return;
              posted_once = true;
              last_post_us = now;
              link.Post([this, progress_posted, done, total] {
                progress_posted->store(false);
                ProgressBarBench->SetMax(total);
                ProgressBarBench->SetPosition(done);
                LabelBenchStatus->SetCaption(
                    Format(Text("LangBenchRunning"), {std::to_string(done), std::to_string(total)}));
              });
            },
            *cancel);
        bool cancelled = bench.Cancelled();
        link.Synchronize([this, &results, cancelled] { Finished(std::move(results), cancelled); });
      });
}

void TFormDnsBench::Finished(std::vector<AddressResult> results, bool cancelled) {
  running_ = false;
  results_ = std::move(results);
  ButtonBenchStart->SetCaption(Text("LangBenchStart"));
  ButtonBenchStart->SetEnabled(true);
  ButtonBenchCopy->SetEnabled(!results_.empty());
  ButtonBenchApply->SetEnabled(!results_.empty());
  ProgressBarBench->SetPosition(cancelled ? ProgressBarBench->Position() : ProgressBarBench->Max());
  LabelBenchStatus->SetCaption(Text(cancelled ? "LangBenchCancelled" : "LangBenchDone"));
  SortBy(-1, false);
  PaintBoxBenchPlot->SetHint(PlotSummary());
}

// What the chart shows, in words: read by screen readers as the chart's name, and shown
// when the pointer rests on it.
std::string TFormDnsBench::PlotSummary() const {
  if (results_.empty()) return Text("LangBenchPlotEmpty");
  const std::string count = std::to_string(results_.size());
  for (const AddressResult& r : results_) {
    if (!r.fastest) continue;
    std::string address = r.address;
    if (r.protocol != Protocol::kUdp) address += std::string(" ") + ProtocolName(r.protocol);
    return Format(Text("LangBenchPlotFastest"),
                  {count, address, r.server, FormatMs(r.cached_median), FormatMs(r.uncached_median)});
  }
  return Format(Text("LangBenchPlotNoneReliable"), {count});
}

void TFormDnsBench::ListViewBenchColumnClick(int column) {
  if (running_ || results_.empty()) return;
  SortBy(column, true);
}

void TFormDnsBench::SortBy(int column, bool toggle) {
  sort_descending_ = toggle && column == sort_column_ ? !sort_descending_ : false;
  sort_column_ = column;
  order_.resize(results_.size());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = i;
  auto number = [&](const AddressResult& r) -> double {
    switch (column) {
      case kCached: return r.cached_median;
      case kCachedSpread: return r.cached_spread;
      case kUncached: return r.uncached_median;
      case kUncachedSpread: return r.uncached_spread;
      case kAnswered: return r.sent ? r.AnsweredShare() : -1;
      default: return -1;
    }
  };
  std::stable_sort(order_.begin(), order_.end(), [&](size_t x, size_t y) {
    const AddressResult& a = results_[x];
    const AddressResult& b = results_[y];
    switch (column) {
      case kServer: return sort_descending_ ? b.server < a.server : a.server < b.server;
      case kAddress: return sort_descending_ ? b.address < a.address : a.address < b.address;
      case kProtocol:
        if (a.protocol == b.protocol) return RankBefore(a, b);
        return sort_descending_ ? b.protocol < a.protocol : a.protocol < b.protocol;
      case kRebinding:
        if (a.rebinding == b.rebinding) return RankBefore(a, b);
        return sort_descending_ ? b.rebinding < a.rebinding : a.rebinding < b.rebinding;
      case kHijack:
      case kVerdict: {
        // Flagged rows first (the fastest mark, then failures), the rest by rank.
        auto weight = [&](const AddressResult& r) {
          if (column == kHijack) return r.hijack ? 0 : 1;
          return r.fastest ? 0 : !r.failure.empty() ? 1 : 2;
        };
        if (weight(a) != weight(b)) return sort_descending_ ? weight(a) > weight(b) : weight(a) < weight(b);
        return RankBefore(a, b);
      }
      case kCached:
      case kCachedSpread:
      case kUncached:
      case kUncachedSpread:
      case kAnswered: {
        double u = number(a), v = number(b);
        if ((u < 0) != (v < 0)) return v < 0;  // no value: always last
        if (u == v) return RankBefore(a, b);
        // Answered shares read best first; times read fastest first.
        bool ascending = column != kAnswered;
        if (sort_descending_) ascending = !ascending;
        return ascending ? u < v : u > v;
      }
      default: return RankBefore(a, b);
    }
  });
  ShowResults();
}

void TFormDnsBench::ShowResults() {
  ListViewBench->Clear();
  for (size_t index : order_) {
    const AddressResult& r = results_[index];
    std::string verdict = r.fastest ? Text("LangBenchFastest") : FailureText(r);
    ListViewBench->AddRow({r.server,
                           {r.address, FormatMs(r.cached_median), FormatMs(r.cached_spread),
                            FormatMs(r.uncached_median), FormatMs(r.uncached_spread), ShareText(r),
                            r.hijack ? Text("LangBenchYes") + " (" + r.hijack_address + ")" : std::string(),
                            verdict, ProtocolName(r.protocol), RebindingText(r)}});
  }
  PaintBoxBenchPlot->Invalidate();
}

std::string TFormDnsBench::ResultsText() const {
  std::string out;
  const auto& columns = ListViewBench->Columns();
  for (size_t i = 0; i < columns.size(); ++i) out += (i ? "\t" : "") + columns[i].caption;
  out += "\r\n";
  for (const ui::ListRow& row : ListViewBench->Rows()) {
    out += row.caption;
    for (const std::string& cell : row.sub_items) out += "\t" + cell;
    out += "\r\n";
  }
  return out;
}

void TFormDnsBench::ButtonBenchCopyClick() { platform_.clipboard.SetText(ResultsText()); }

TFormDnsBench::DnsState TFormDnsBench::ReadAdapterDns() {
  auto& adapter = adapter_;
  adapter.GetTCPIPDNSAddresses();
  return {adapter.CheckBoxEnableDNS->Checked(), adapter.EditPreferredDNS->Text(), adapter.EditAlternativeDNS->Text()};
}

// Through the adapter page's own apply, exactly as its "Apply" button writes, then
// read back from the registry as the page shows it.
TFormDnsBench::DnsState TFormDnsBench::WriteAdapterDns(const DnsState& state) {
  auto& adapter = adapter_;
  // One entry of the change journal, named after this window.
  shell::JournalScope journal_entry(adapter.ChangeJournal(),
                                    adapter.ChangeJournal() ? Text("LangBenchJournal") : std::string());
  adapter.CheckBoxEnableDNS->SetChecked(state.enabled);
  adapter.CheckBoxEnableDNSClick();
  adapter.SetDnsBoxes(state.preferred, state.alternative);
  adapter.ButtonChangeDNSClick();
  return {adapter.CheckBoxEnableDNS->Checked(), adapter.EditPreferredDNS->Text(), adapter.EditAlternativeDNS->Text()};
}

std::string TFormDnsBench::Describe(const DnsState& s) const {
  if (!s.enabled || (s.preferred.empty() && s.alternative.empty())) return Text("LangBenchAutomatic");
  return s.alternative.empty() ? s.preferred : s.preferred + ", " + s.alternative;
}

void TFormDnsBench::ButtonBenchApplyClick() {
  int row = ListViewBench->Selected();
  if (row < 0 || static_cast<size_t>(row) >= order_.size()) {
    LabelBenchStatus->SetCaption(Text("LangBenchChoose"));
    return;
  }
  if (adapter_.EditInterfaces->Text().empty()) {
    LabelBenchStatus->SetCaption(Text("LangBenchNoCard"));
    return;
  }
  // The server's two addresses as the list holds them, whichever of them was chosen.
  const std::string server = results_[order_[static_cast<size_t>(row)]].server;
  DnsState wanted{true, "", ""};
  for (const ui::ListRow& r : dns_test_.ListViewDNS->Rows())
    if (r.caption == server) {
      wanted.preferred = r.sub_items.size() > 0 ? r.sub_items[0] : "";
      wanted.alternative = r.sub_items.size() > 1 ? r.sub_items[1] : "";
      break;
    }
  if (wanted.preferred.empty() && wanted.alternative.empty()) {
    LabelBenchStatus->SetCaption(Text("LangBenchChoose"));
    return;
  }
  DnsState before = ReadAdapterDns();
  // Kept from before the first apply, so a second apply still restores the original.
  if (!have_previous_) previous_ = before, have_previous_ = true;
  DnsState written = WriteAdapterDns(wanted);
  std::string report = Format(Text("LangBenchApplied"), {Describe(wanted), Describe(written)});
  const bool same = written.enabled && written.preferred == wanted.preferred &&
                    written.alternative == wanted.alternative;
  if (!same) report += " " + Text("LangBenchMismatch");
  apply_report_ = report;
  LabelBenchStatus->SetCaption(report);
  ButtonBenchRestore->SetEnabled(true);

  // A query through the address now configured, on a worker: it may take the whole
  // time-out.
  const std::string address = written.preferred.empty() ? written.alternative : written.preferred;
  if (address.empty()) return;
  ButtonBenchApply->SetEnabled(false);
  ButtonBenchStart->SetEnabled(false);
  App().GetWorkers().Start("DnsBenchProbe", [this, address, report, &platform = platform_,
                                             options = platform_.options](const ui::WorkerLink& link) {
    Probe probe = ProbeOnce(platform.transport, platform.clock, address, options.port, options.cached_name,
                            options.timeout_ms);
    link.Synchronize([this, probe, address, report] {
      std::string line =
          probe.answered ? Format(Text("LangBenchProbeOk"), {address, FormatMs(probe.ms)})
                         : Format(Text("LangBenchProbeFail"),
                                  {address, probe.failure.empty() ? Text("LangBenchNoAnswer") : probe.failure});
      apply_report_ = report + " " + line;
      LabelBenchStatus->SetCaption(apply_report_);
      ButtonBenchApply->SetEnabled(true);
      ButtonBenchStart->SetEnabled(true);
    });
  });
}

void TFormDnsBench::ButtonBenchRestoreClick() {
  if (!have_previous_) return;
  DnsState now = WriteAdapterDns(previous_);
  have_previous_ = false;
  ButtonBenchRestore->SetEnabled(false);
  apply_report_ = Format(Text("LangBenchRestored"), {Describe(now)});
  LabelBenchStatus->SetCaption(apply_report_);
}

void TFormDnsBench::Paint(ui::Canvas& canvas, ui::Point size) {
  std::vector<const AddressResult*> rows;
  for (size_t index : order_) rows.push_back(&results_[index]);
  PlotColours colours = PlotColours::For(App().Styles().Current());
  // The legend reads as the list's column headers do, in the chosen language.
  colours.cached_label = ListViewBench->Columns()[kCached].caption;
  colours.uncached_label = ListViewBench->Columns()[kUncached].caption;
  DrawPlot(canvas, size, rows, colours);
}

}  // namespace dnsbench
