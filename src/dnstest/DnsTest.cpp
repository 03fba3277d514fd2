// The DNS test run: every server of the table timed in turn, both of its addresses,
// by echo requests or, with the system proxy switched on, by HTTP requests through it.
// The run stays on the UI thread and lets messages run between its steps, so the same
// button stops it.
#include "shell/Catalogue.h"
#include "dnstest/DnsTestPage.h"
#include "dnstest/ErrorLine.h"

namespace dnstest {

using app::CurrentErrorLine;

namespace {

constexpr std::intptr_t kIdle = 0;
constexpr std::intptr_t kRunning = 1;

void SetSubItem(ui::ListView& list, size_t row, size_t sub_item, const std::string& text) {
  if (row >= list.Rows().size()) return;
  ui::ListRow copy = list.Rows()[row];
  if (copy.sub_items.size() <= sub_item) copy.sub_items.resize(sub_item + 1);
  copy.sub_items[sub_item] = text;
  list.SetRow(static_cast<int>(row), std::move(copy));
}

std::string SubItem(const ui::ListView& list, size_t row, size_t sub_item) {
  if (row >= list.Rows().size() || sub_item >= list.Rows()[row].sub_items.size()) return {};
  return list.Rows()[row].sub_items[sub_item];
}

}  // namespace

void DnsTestPage::PingGen(std::string& result, bool second, const std::string& address, uint16_t attempts,
                     uint16_t buffer_size) {
  result = "0";
  // With a proxy for the timing's requests, the server is timed through it.
  if (shell_.SystemProxyFor("https") || shell_.SystemProxyFor("http")) {
    if (second)
      PingThroughProxyMethod2(address, attempts);
    else
      PingThroughProxyMethod(address, attempts);
    return;
  }
  std::unique_ptr<platform::EchoSession> session = services_.echo.Open();
  App().ProcessMessages();
  for (unsigned attempt = 0; attempt < attempts; ++attempt) {
    if (StopDNSTest) return;
    std::optional<platform::EchoReply> reply = session->Send(address, buffer_size);
    App().ProcessMessages();
    if (!reply) continue;
    if (!reply->status || *reply->status != 0) return;
    // Only replies of 1 to 500 ms count; a slower one is as good as none.
    if (reply->response_time <= 0 || reply->response_time > 500) return;
    result = std::to_string(reply->response_time) + " ms";
    App().ProcessMessages();
  }
}

void DnsTestPage::PingDNS1Gen(const std::string& address, uint16_t attempts, uint16_t buffer_size) {
  PingGen(PingResultDNS1, false, address, attempts, buffer_size);
}

void DnsTestPage::PingDNS2Gen(const std::string& address, uint16_t attempts, uint16_t buffer_size) {
  PingGen(PingResultDNS2, true, address, attempts, buffer_size);
}

// The idle presentation: also what "Стоп" does at once while the run winds down.
void DnsTestPage::FinishDnsTest() {
  StopDNSTest = true;
  ButtonTestDNS->SetTag(kIdle);
  ButtonTestDNS->SetCaption(Msg("LangTestDNS"));
  shell_.SetNavigationEnabled(true);
}

void DnsTestPage::ButtonTestDNSClick() {
  if (ButtonTestDNS->Tag() == kRunning) {
    FinishDnsTest();
    return;
  }
  if (ButtonTestDNS->Tag() != kIdle) return;
  // A run asked for while the table loads starts over the complete table.
  if (test_waiting_) return;
  if (WaitForLoad([this] {
        test_waiting_ = false;
        ButtonTestDNSClick();
      })) {
    test_waiting_ = true;
    return;
  }

  ButtonTestDNS->SetTag(kRunning);
  ButtonTestDNS->SetCaption(Msg("LangStop"));
  TabControlDNSList->SetEnabled(false);
  shell_.SetNavigationEnabled(false);
  StopDNSTest = false;

  bool stopped = false;
  std::string error;
  try {
    for (size_t row = 0; row < ListViewDNS->Rows().size(); ++row) {
      SetSubItem(*ListViewDNS, row, 2, "0");
      App().ProcessMessages();
      SetSubItem(*ListViewDNS, row, 3, "0");
    }
    for (size_t row = 0; row < ListViewDNS->Rows().size(); ++row) {
      if (StopDNSTest) {
        stopped = true;
        break;
      }
      StatusBar1->SetSimpleText(ListViewDNS->Rows()[row].caption);
      PingDNS1Gen(SubItem(*ListViewDNS, row, 0), 2, 32);
      App().ProcessMessages();
      SetSubItem(*ListViewDNS, row, 2, PingResultDNS1);
      App().ProcessMessages();
      PingDNS2Gen(SubItem(*ListViewDNS, row, 1), 2, 32);
      App().ProcessMessages();
      SetSubItem(*ListViewDNS, row, 3, PingResultDNS2);
      App().ProcessMessages();
      ListViewDNS->MakeVisible(static_cast<int>(row));
    }
    if (!stopped) App().ProcessMessages();
  } catch (...) {
    error = CurrentErrorLine();
  }
  TabControlDNSList->SetEnabled(true);
  StatusBar1->SetSimpleText("");
  // After a stop the button already shows the idle state; the run only winds down.
  if (!stopped) FinishDnsTest();
  // The failure goes to the activity log, time-stamped like every other line there.
  if (!error.empty()) shell_.Log(error);
}

}  // namespace dnstest
