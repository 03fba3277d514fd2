// The DNS benchmark window: times every server of the DNS list by real queries on a
// worker, shows the results per address in a sortable list and a strip chart, copies
// them as tab-separated text, and applies the chosen server to the adapter selected
// on the adapter page, verifying what was written and offering to put back what was
// there before.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "dnsbench/Benchmark.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/DnsTransport.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Form.h"

namespace adapter {
class AdapterPage;
}
namespace dnstest {
class DnsTestPage;
}

namespace dnsbench {

// What the window needs from the system. The transport is used by one worker at a time.
struct BenchPlatform {
  platform::DnsTransport& transport;
  platform::Clock& clock;
  platform::Clipboard& clipboard;
  Options options;
};

class TFormDnsBench : public ui::Form {
 public:
  // The benchmark reads the DNS list from the DNS test page and applies through the
  // adapter page's own DNS apply.
  TFormDnsBench(ui::Application& app, adapter::AdapterPage& adapter, dnstest::DnsTestPage& dns_test,
                BenchPlatform& platform);

  void FormShow() override;
  void FormClose() override;
  void ButtonBenchStartClick();
  void ButtonBenchCopyClick();
  void ButtonBenchApplyClick();
  void ButtonBenchRestoreClick();
  void ListViewBenchColumnClick(int column);

  bool Running() const { return running_; }
  const std::vector<AddressResult>& Results() const { return results_; }
  // The text that "Copy" puts on the clipboard.
  std::string ResultsText() const;
  // The servers as the DNS test page lists them: one target per address.
  std::vector<Target> TargetsFromList() const;
  // What the last apply found, as shown.
  const std::string& ApplyReport() const { return apply_report_; }

  ui::Panel* TabControlBenchButtons;
  ui::Button* ButtonBenchStart;
  ui::Button* ButtonBenchCopy;
  ui::Button* ButtonBenchApply;
  ui::Button* ButtonBenchRestore;
  ui::CheckBox* CheckBoxBenchTcp;
  ui::ProgressBar* ProgressBarBench;
  ui::Label* LabelBenchStatus;
  ui::ListView* ListViewBench;
  ui::PaintBox* PaintBoxBenchPlot;
  ui::PopupMenu* PopupMenuBenchTexts;

 private:
  struct DnsState {
    bool enabled = false;
    std::string preferred, alternative;
  };
  std::string Text(const char* item) const;
  std::string FailureText(const AddressResult& r) const;
  std::string RebindingText(const AddressResult& r) const;
  std::string PlotSummary() const;
  void Finished(std::vector<AddressResult> results, bool cancelled);
  void ShowResults();
  void SortBy(int column, bool toggle);
  DnsState ReadAdapterDns();
  DnsState WriteAdapterDns(const DnsState& state);
  std::string Describe(const DnsState& state) const;
  void Paint(ui::Canvas& canvas, ui::Point size);

  adapter::AdapterPage& adapter_;
  dnstest::DnsTestPage& dns_test_;
  BenchPlatform& platform_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  bool running_ = false;
  std::vector<AddressResult> results_;
  std::vector<size_t> order_;  // rows of the list view -> results_
  int sort_column_ = -1;
  bool sort_descending_ = false;
  bool have_previous_ = false;
  DnsState previous_;
  std::string apply_report_;
};

}  // namespace dnsbench
