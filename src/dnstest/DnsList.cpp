// The DNS server list: the file Config\dns.ini with one section of "name=DNS 1,DNS 2"
// lines (and an optional one of the servers' IPv6 addresses), shown as the drop-down of the adapter page's DNS check group and as the table
// of the DNS test page with its popup menu.
#include <stdexcept>
#include <unordered_map>

#include "adapter/AdapterPage.h"
#include "adapter/AddressText.h"
#include "dnstest/DnsCheckGroup.h"
#include "dnstest/DnsList.h"
#include "dnstest/DnsTestPage.h"
#include "common/IniFile.h"

namespace dnstest {

namespace {

constexpr char kSection[] = "Ipv4_Default";
constexpr char kIpv6Section[] = "Ipv6_Default";

const char* const kDefaultList[] = {
    "[Ipv4_Default]",
    "RU - Yandex=77.88.8.1,77.88.8.8",
    "RU - Yandex Safe=77.88.8.88,77.88.8.2",
    "RU - Yandex Family=77.88.8.7,77.88.8.3",
    "RU - AdGuard=94.140.14.14,94.140.15.15",
    "RU - AdGuard Family=94.140.14.15,94.140.15.16",
    "RU - Safe DNS=195.46.39.39,195.46.39.40",
    "US - Google Public DNS=8.8.8.8,8.8.4.4",
    "US - OpenDNS=208.67.222.222,208.67.220.220",
    "US - OpenDNS - 2=208.67.222.220,208.67.220.222",
    "US - OpenDNS Family=208.67.222.123,208.67.220.123",
    "AU - Cloudflare=1.1.1.1,1.0.0.1",
    "AU - Cloudflare Malware + Adult Blocking=1.1.1.3,1.0.0.3",
    "AU - Cloudflare Malware Blocking=1.1.1.2,1.0.0.2",
    "US - Norton ConnectSafe Basic=199.85.126.10,199.85.127.10",
    "US - Norton DNS=198.153.192.1,198.153.194.1",
    "US - Norton ConnectSafe Secure=199.85.126.20,199.85.127.20",
    "US - Norton ConnectSafe Family=199.85.126.30,199.85.127.30",
    "US - Comodo=156.154.70.22,156.154.71.22",
    "US - Comodo Secure=8.26.56.26,8.20.247.20",
    "US - VeriSign Public DNS=64.6.64.6,64.6.65.6",
    "US - Qwest=205.171.3.65,205.171.2.65",
    "US - UltraDNS=204.69.234.1,204.74.101.1",
    "GB - Zen Internet=212.23.8.1,212.23.3.1",
    "GB - Orange DNS=195.92.195.94,195.92.195.95",
    "US - Neustar 1=156.154.70.1,156.154.71.1",
    "US - Neustar 2=156.154.70.5,156.154.71.5",
    "US - Neustar Family Secure=156.154.70.3,156.154.71.3",
    "US - Neustar Business Secure=156.154.70.4,156.154.71.4",
    "US - Neustar Threat Protection=156.154.70.2,156.154.71.2",
    "US - Quad9 Security=9.9.9.9,149.112.112.112",
    "US - Quad9 No Security=9.9.9.10,149.112.112.10",
    "BG - MegaLan=95.111.55.251,95.111.55.250",
};

// The IPv6 addresses the default servers publish, by the same names.
const char* const kDefaultIpv6List[] = {
    "[Ipv6_Default]",
    "RU - Yandex=2a02:6b8::feed:0ff,2a02:6b8:0:1::feed:0ff",
    "RU - Yandex Safe=2a02:6b8::feed:bad,2a02:6b8:0:1::feed:bad",
    "RU - Yandex Family=2a02:6b8::feed:a11,2a02:6b8:0:1::feed:a11",
    "RU - AdGuard=2a10:50c0::ad1:ff,2a10:50c0::ad2:ff",
    "RU - AdGuard Family=2a10:50c0::bad1:ff,2a10:50c0::bad2:ff",
    "US - Google Public DNS=2001:4860:4860::8888,2001:4860:4860::8844",
    "US - OpenDNS=2620:119:35::35,2620:119:53::53",
    "US - OpenDNS Family=2620:119:35::123,2620:119:53::123",
    "AU - Cloudflare=2606:4700:4700::1111,2606:4700:4700::1001",
    "AU - Cloudflare Malware + Adult Blocking=2606:4700:4700::1113,2606:4700:4700::1003",
    "AU - Cloudflare Malware Blocking=2606:4700:4700::1112,2606:4700:4700::1002",
    "US - Quad9 Security=2620:fe::fe,2620:fe::9",
    "US - Quad9 No Security=2620:fe::10,2620:fe::fe:10",
};

// The IPv6 addresses of one value: the texts between commas, blanks around them
// dropped, that are IPv6 addresses; the first two of them.
std::vector<std::string> SplitIpv6(std::string_view value) {
  std::vector<std::string> out;
  while (out.size() < 2) {
    const size_t comma = value.find(',');
    const std::string_view part = common::TrimIniBlanks(value.substr(0, comma));
    if (app::IsValidIPv6(part)) out.emplace_back(part);
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return out;
}

// DNS 1 is the text before the first ",", empty without one; DNS 2 the text after it.
// Blanks around each address are not part of it.
void SplitServers(const std::string& value, std::string& dns1, std::string& dns2) {
  auto comma = value.find(',');
  std::string_view text(value);
  dns1 = comma == std::string::npos ? std::string() : std::string(common::TrimIniBlanks(text.substr(0, comma)));
  dns2 = comma == std::string::npos ? std::string() : std::string(common::TrimIniBlanks(text.substr(comma + 1)));
}

// Where the first entry line that `wanted` accepts lies in `text` (its line break
// included), within the first section named `section`, counted as the list's readers
// count entries (common::ClassifyIniLine): neither comments nor blank lines nor other
// sections. `wanted` gets the entry's name and its number in the section.
template <typename Wanted>
std::optional<std::pair<size_t, size_t>> FindLine(const std::string& text, const char* section, Wanted wanted) {
  bool in_section = false, section_seen = false;
  int counter = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end != std::string::npos && text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    const common::IniLine line =
        common::ClassifyIniLine(std::string_view(text).substr(pos, (end == std::string::npos ? text.size() : end) - pos));
    if (line.kind == common::IniLine::Kind::Header) {
      bool ours = common::EqualsTextNoCase(line.name, section);
      in_section = ours && !section_seen;
      section_seen = section_seen || ours;
    } else if (line.kind == common::IniLine::Kind::Entry && in_section) {
      if (wanted(line.name, counter)) return std::pair{pos, next};
      ++counter;
    }
    pos = next;
  }
  return std::nullopt;
}

// The index-th entry line of the server section; nullopt when it has fewer entries.
std::optional<std::pair<size_t, size_t>> FindEntryLine(const std::string& text, int index) {
  return FindLine(text, kSection, [index](std::string_view, int number) { return number == index; });
}

// The first line of `section` for the server `name` (compared without case).
std::optional<std::pair<size_t, size_t>> FindNamedLine(const std::string& text, const char* section,
                                                       const std::string& name) {
  return FindLine(text, section, [&name](std::string_view entry, int) { return common::EqualsTextNoCase(entry, name); });
}

// How often a long load lets messages run, in milliseconds.
constexpr uint32_t kRepaintInterval = 25;

}  // namespace

const std::vector<std::string>& DefaultIpv6Lines() {
  static const std::vector<std::string> lines(std::begin(kDefaultIpv6List), std::end(kDefaultIpv6List));
  return lines;
}

DnsTestPage::DnsTestPage(shell::Shell& shell, ui::TabSheet& page, adapter::AdapterPage& adapter,
                         DnsCheckGroup& check)
    : Page(shell), adapter_(adapter), check_(check) {
  TabControl1 = Create<ui::Panel>(&page, "TabControl1");
  TabControl1->SetAlign(ui::Align::Bottom);
  TabControl1->SetBounds({0, 0, 576, 35});
  ButtonTestDNS = Create<ui::Button>(TabControl1, "ButtonTestDNS");
  ButtonTestDNS->SetCaption("Тест DNS");
  ButtonTestDNS->SetAlign(ui::Align::Client);
  ButtonTestDNS->OnClick = [this] { ButtonTestDNSClick(); };
  StatusBar1 = Create<ui::StatusBar>(&page, "StatusBar1");
  StatusBar1->SetAlign(ui::Align::Bottom);
  StatusBar1->SetBounds({0, 0, 576, 19});

  TabControlDNSList = Create<ui::Panel>(&page, "TabControlDNSList");
  TabControlDNSList->SetAlign(ui::Align::Client);
  StatusBar2 = Create<ui::StatusBar>(TabControlDNSList, "StatusBar2");
  StatusBar2->SetAlign(ui::Align::Bottom);
  StatusBar2->SetBounds({0, 0, 576, 19});
  MemoDNS = Create<ui::Memo>(TabControlDNSList, "MemoDNS");
  MemoDNS->SetReadOnly(true);
  MemoDNS->SetVisible(false);
  MemoDNS->SetLines({std::begin(kDefaultList), std::end(kDefaultList)});
  ListViewDNS = Create<ui::ListView>(TabControlDNSList, "ListViewDNS");
  ListViewDNS->SetAlign(ui::Align::Client);
  ListViewDNS->SetColumns({{"Имя сервера", 200, 200},
                           {"DNS 1", 100, 100},
                           {"DNS 2", 100, 100},
                           {.caption = "Время 1", .width = 70, .min_width = 70, .centered = true},
                           {.caption = "Время 2", .width = 70, .min_width = 70, .centered = true}});

  PopupMenuTestDNS = CreateNonVisual<ui::PopupMenu>("PopupMenuTestDNS");
  auto item = [this](const char* name, const char* caption, const char* shortcut,
                     void (DnsTestPage::*handler)()) {
    ui::MenuItem* menu_item = Create<ui::MenuItem>(PopupMenuTestDNS, name);
    menu_item->SetCaption(caption);
    if (shortcut) menu_item->SetShortCut(shortcut);
    if (handler) menu_item->OnClick = [this, handler] { (this->*handler)(); };
    return menu_item;
  };
  MenuRefreshDNS = item("MenuRefreshDNS", "Обновить", "Ctrl+F5", &DnsTestPage::MenuRefreshDNSClick);
  item("N1", "-", nullptr, nullptr);
  MenuCopyDNS1 = item("MenuCopyDNS1", "Копировать DNS 1", nullptr, &DnsTestPage::MenuCopyDNS1Click);
  MenuCopyDNS2 = item("MenuCopyDNS2", "Копировать DNS 2", nullptr, &DnsTestPage::MenuCopyDNS2Click);
  item("N2", "-", nullptr, nullptr);
  MenuCopyDNS1DNS2 = item("MenuCopyDNS1DNS2", "Копировать DNS 1 и DNS 2", nullptr, &DnsTestPage::MenuCopyDNS1DNS2Click);
  item("N3", "-", nullptr, nullptr);
  MenuListDefault = item("MenuListDefault", "Вернуть список", "Ctrl+R", &DnsTestPage::MenuListDefaultClick);
  item("N4", "-", nullptr, nullptr);
  MenuDeleteDNS = item("MenuDeleteDNS", "Удалить DNS", "Delete", &DnsTestPage::MenuDeleteDNSClick);
  item("N5", "-", nullptr, nullptr);
  MenuDnsBench = Create<ui::MenuItem>(PopupMenuTestDNS, "MenuDnsBench");
  MenuDnsBench->SetCaption("Тест DNS-серверов запросами");
  MenuDnsBench->OnClick = [this] {
    if (ui::Form* form = App().FindForm("FormDnsBench")) App().ShowModal(*form);
  };
  ListViewDNS->SetPopupMenu(PopupMenuTestDNS);
}

namespace {
SharedDnsListReading* g_shared_reading = nullptr;
std::vector<DnsEntry> ReadDnsListFile(shell::Services& services, const std::string& path);
}  // namespace

SharedDnsListReading::SharedDnsListReading() : outer_(g_shared_reading) { g_shared_reading = this; }
SharedDnsListReading::~SharedDnsListReading() { g_shared_reading = outer_; }

std::vector<DnsEntry> ReadDnsList(shell::Services& services, const std::string& path) {
  SharedDnsListReading* shared = g_shared_reading;
  if (!shared) return ReadDnsListFile(services, path);
  if (!shared->entries_ || shared->path_ != path) {
    shared->entries_.reset();
    shared->entries_ = ReadDnsListFile(services, path);
    shared->path_ = path;
  }
  return *shared->entries_;
}

namespace {

std::vector<DnsEntry> ReadDnsListFile(shell::Services& services, const std::string& path) {
  auto text = common::LoadTextFile(services.files, path, services.system.AnsiCodePage());
  if (!text) {
    if (services.files.FileExists(path)) throw std::runtime_error("Cannot read file \"" + path + "\"");
    return {};
  }
  // One pass over the lines, read as the INI reader reads them (common::ClassifyIniLine):
  // only the first section of that name counts, a repeated header's lines are skipped.
  struct Found {
    std::string_view name;
    std::string_view value;
  };
  std::vector<Found> found, found_ipv6;
  const std::string_view all(text->utf8);
  bool in_section = false, section_seen = false;
  bool in_ipv6 = false, ipv6_seen = false;
  for (size_t pos = 0; pos < all.size();) {
    size_t end = all.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = all.size();
    const common::IniLine line = common::ClassifyIniLine(all.substr(pos, end - pos));
    pos = end + (end < all.size() && all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n' ? 2 : 1);
    if (line.kind == common::IniLine::Kind::Header) {
      const bool ours = common::EqualsTextNoCase(line.name, kSection);
      in_section = ours && !section_seen;
      section_seen = section_seen || ours;
      const bool ipv6 = common::EqualsTextNoCase(line.name, kIpv6Section);
      in_ipv6 = ipv6 && !ipv6_seen;
      ipv6_seen = ipv6_seen || ipv6;
    } else if (line.kind == common::IniLine::Kind::Entry && (in_section || in_ipv6)) {
      (in_section ? found : found_ipv6)
          .push_back({line.name, common::UnquoteIniValue(line.value.value_or(std::string_view()))});
    }
  }
  std::unordered_map<std::string, std::string_view> ipv6_of;
  ipv6_of.reserve(found_ipv6.size());
  for (const Found& f : found_ipv6) ipv6_of.emplace(common::ToLowerText(f.name), f.value);
  // Names are looked up without case and the first entry of a name gives the value,
  // as the system's profile functions read: one pass builds that lookup.
  std::unordered_map<std::string, size_t> first_of;
  first_of.reserve(found.size());
  std::vector<DnsEntry> list;
  list.reserve(found.size());
  for (size_t i = 0; i < found.size(); ++i) {
    std::string lower = common::ToLowerText(found[i].name);
    DnsEntry server{std::string(found[i].name), {}, {}, {}};
    if (auto v6 = ipv6_of.find(lower); v6 != ipv6_of.end()) server.ipv6 = SplitIpv6(v6->second);
    const size_t first = first_of.emplace(std::move(lower), i).first->second;
    SplitServers(std::string(found[first].value), server.dns1, server.dns2);
    list.push_back(std::move(server));
  }
  return list;
}

}  // namespace

void DnsTestPage::LetTableRepaint(bool first) {
  if (!first && services_.clock.TickCount() - last_repaint_ < kRepaintInterval) return;
  App().ProcessMessages();
  // Counted from the end of the repaint, so a slow repaint cannot take all the time.
  last_repaint_ = services_.clock.TickCount();
}

void DnsTestPage::LoadDNSTest(const std::string& path) {
  bool first = true;
  for (DnsEntry& entry : ReadDnsList(services_, path)) {
    // A close request ends the load at once.
    if (App().Terminated()) return;
    if (!entry.ipv6.empty()) ipv6_by_name_.emplace(common::ToLowerText(entry.name), entry.ipv6);
    ListViewDNS->AddRow({std::move(entry.name), {std::move(entry.dns1), std::move(entry.dns2), "0", "0"}, false});
    LetTableRepaint(first);
    first = false;
  }
}

bool DnsTestPage::WaitForLoad(std::function<void()> request, bool is_reload) {
  if (!loading_) return false;
  if (!(is_reload && !waiting_.empty() && waiting_.back().is_reload))
    waiting_.push_back({std::move(request), is_reload});
  return true;
}

void DnsTestPage::RunWaitingRequests() {
  while (!waiting_.empty() && !loading_) {
    Waiting next = std::move(waiting_.front());
    waiting_.erase(waiting_.begin());
    if (App().Terminated()) continue;
    // Each waiting request reports its own failure, as its click would have.
    App().Guard(next.run);
  }
}

void DnsTestPage::LoadFiltersReload() {
  if (WaitForLoad([this] { LoadFiltersReload(); }, true)) return;
  struct Loading {
    bool& flag;
    explicit Loading(bool& f) : flag(f) { flag = true; }
    ~Loading() { flag = false; }
  };
  {
    Loading loading(loading_);
    ListViewDNS->Clear();
    ipv6_by_name_.clear();
    std::string path = shell_.PortablePathDNS();
    if (services_.files.FileExists(path)) {
      LoadDNSTest(path);
      if (!App().Terminated()) App().ProcessMessages();
    }
  }
  RunWaitingRequests();
}

void DnsTestPage::MenuCopyDNS1Click() {
  int row = ListViewDNS->Selected();
  if (row >= 0) adapter_.SetPreferredDns(ListViewDNS->Rows()[row].sub_items.at(0));
}

void DnsTestPage::MenuCopyDNS2Click() {
  int row = ListViewDNS->Selected();
  if (row >= 0) adapter_.SetAlternativeDns(ListViewDNS->Rows()[row].sub_items.at(1));
}

void DnsTestPage::MenuCopyDNS1DNS2Click() {
  MenuCopyDNS1Click();
  MenuCopyDNS2Click();
}

void DnsTestPage::MenuListDefaultClick() {
  if (WaitForLoad([this] { MenuListDefaultClick(); })) return;
  std::string path = shell_.PortablePathDNS();
  // The server section as the memo holds it, then the servers' IPv6 addresses.
  std::vector<std::string> lines = MemoDNS->Lines();
  lines.insert(lines.end(), DefaultIpv6Lines().begin(), DefaultIpv6Lines().end());
  if (!common::SaveTextFile(services_.files, path, common::JoinLines(lines), common::Encoding::Utf16LeBom,
                            services_.system.AnsiCodePage()))
    throw std::runtime_error("Cannot create file \"" + path + "\"");
  LoadFiltersReload();
  check_.LoadDNS(path);
  App().ProcessMessages();
}

void DnsTestPage::MenuDeleteDNSClick() {
  int index = ListViewDNS->Selected();
  if (index < 0) return;
  // The row chosen now is the one deleted once the table is complete.
  if (WaitForLoad([this, index] {
        if (index >= static_cast<int>(ListViewDNS->Rows().size())) return;
        ListViewDNS->SetSelected(index);
        MenuDeleteDNSClick();
      }))
    return;
  const std::string name = ListViewDNS->Rows()[static_cast<size_t>(index)].caption;
  ListViewDNS->DeleteRow(index);
  DeleteFromIniFile(index);
  // The server's IPv6 line goes with its last line in the server section.
  bool name_left = false;
  for (const ui::ListRow& row : ListViewDNS->Rows()) name_left = name_left || common::EqualsTextNoCase(row.caption, name);
  if (!name_left) DeleteIpv6Line(name);
  int rows = static_cast<int>(ListViewDNS->Rows().size());
  if (rows == 0) return;
  ListViewDNS->SetSelected(index < rows ? index : rows - 1);
  check_.LoadDNS(shell_.PortablePathDNS());
  App().ProcessMessages();
}

std::vector<std::string> DnsTestPage::Ipv6Of(const std::string& name) const {
  auto it = ipv6_by_name_.find(common::ToLowerText(name));
  return it == ipv6_by_name_.end() ? std::vector<std::string>{} : it->second;
}

void DnsTestPage::DeleteIpv6Line(const std::string& name) {
  std::string path = shell_.PortablePathDNS();
  auto text = common::LoadTextFile(services_.files, path, services_.system.AnsiCodePage());
  if (!text) throw std::runtime_error("Cannot open file \"" + path + "\"");
  auto line = FindNamedLine(text->utf8, kIpv6Section, name);
  if (!line) return;
  std::string rest = text->utf8;
  rest.erase(line->first, line->second - line->first);
  if (!common::SaveTextFile(services_.files, path, rest, text->encoding, services_.system.AnsiCodePage()))
    throw std::runtime_error("Cannot create file \"" + path + "\"");
  ipv6_by_name_.erase(common::ToLowerText(name));
}

void DnsTestPage::DeleteFromIniFile(int index) {
  std::string path = shell_.PortablePathDNS();
  auto text = common::LoadTextFile(services_.files, path, services_.system.AnsiCodePage());
  if (!text) throw std::runtime_error("Cannot open file \"" + path + "\"");
  auto line = FindEntryLine(text->utf8, index);
  if (!line) return;  // the file no longer holds that entry: nothing to remove
  std::string rest = text->utf8;
  rest.erase(line->first, line->second - line->first);
  if (!common::SaveTextFile(services_.files, path, rest, text->encoding, services_.system.AnsiCodePage()))
    throw std::runtime_error("Cannot create file \"" + path + "\"");
}

}  // namespace dnstest
