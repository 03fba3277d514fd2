// The main window on the fake platform, with helpers for the DNS list file, scripted
// echo replies and the system proxy.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "common/Text.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"

namespace dnstest_support {

// One scripted echo reply: a status (nullopt: null) and a time.
struct Reply {
  Reply(std::optional<int64_t> status, int64_t time = 0, std::string from = {})
      : status(status), time(time), from(std::move(from)) {}
  std::optional<int64_t> status;
  int64_t time = 0;
  std::string from;
};

struct DnsFixture : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  std::string dns_path;
  // Replies per address, taken in order; an address without one gets no ping object.
  std::map<std::string, std::deque<Reply>> replies;
  std::vector<std::string> pinged;  // addresses in query order
  // Runs before each echo reply is made (to script a click in the middle of a run).
  std::function<void(const std::string& address)> on_ping;

  void SetUp() override {
    wmi.answer["Win32_PingStatus"] = [this](const std::string& query) {
      std::vector<fakes::FakeWmi::Instance> found;
      auto start = query.find("Address='") + 9;
      std::string address = query.substr(start, query.find('\'', start) - start);
      pinged.push_back(address);
      if (on_ping) on_ping(address);
      auto& queue = replies[address];
      if (queue.empty()) return found;
      Reply reply = queue.front();
      queue.pop_front();
      fakes::FakeWmi::Instance instance;
      instance.class_name = "Win32_PingStatus";
      instance.Set("StatusCode", reply.status ? platform::Variant::Int(*reply.status) : platform::Variant::Null());
      instance.Set("ResponseTime", platform::Variant::Int(reply.time));
      instance.Set("ProtocolAddress", platform::Variant::Str(reply.from.empty() ? address : reply.from));
      found.push_back(instance);
      return found;
    };
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(services);
    dns_path = form->PortablePathDNS();
  }

  // Puts the list file on disk (UTF-16 LE with byte-order mark unless told) and
  // reloads both views as start-up does.
  void WriteList(const std::string& utf8, common::Encoding encoding = common::Encoding::Utf16LeBom) {
    files.SetFile(dns_path, common::EncodeFile(utf8, encoding, 1251));
  }
  void Reload() {
    form->DnsTest().LoadFiltersReload();
    form->DnsCheck().LoadDNS(dns_path);
    form->DnsCheck().ComboBoxDNSChange();
  }
  std::string FileText() const {
    auto bytes = files.Contents(dns_path);
    return bytes ? common::DecodeFile(*bytes, 1251).utf8 : std::string();
  }
  std::vector<std::string> Column(size_t sub_item) const {
    std::vector<std::string> out;
    for (const auto& row : form->DnsTest().ListViewDNS->Rows()) out.push_back(row.sub_items.at(sub_item));
    return out;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& row : form->DnsTest().ListViewDNS->Rows()) out.push_back(row.caption);
    return out;
  }
  void SetProxy(std::optional<uint32_t> enable, std::optional<std::string> server) {
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    if (enable) registry.SetDWord(platform::RegRoot::CurrentUser, key, "ProxyEnable", *enable);
    if (server) registry.SetString(platform::RegRoot::CurrentUser, key, "ProxyServer", *server);
  }
};

}  // namespace dnstest_support
