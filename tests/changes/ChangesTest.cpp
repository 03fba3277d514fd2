// The journal wired into the program's actions: each action of the main window is one
// entry, its undo puts the registry back as it was, and the change history window
// lists the entries and asks before overwriting a value changed since.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <thread>

#include "app/MainForm.h"
#include "changes/ChangesForm.h"
#include "common/IniFile.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"
#include "shell/Journal.h"

namespace {

using platform::RegRoot;
using platform::RegType;
using platform::Variant;
namespace access = platform::reg_access;

constexpr char kInterfaces[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
constexpr char kProfiles[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkList\\Profiles";
constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::vector<uint8_t> MultiSz(std::initializer_list<std::u16string> items) {
  std::vector<uint8_t> bytes;
  auto add = [&](char16_t u) {
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  };
  for (const auto& item : items) {
    for (char16_t u : item) add(u);
    add(0);
  }
  add(0);
  return bytes;
}

struct Wired : ::testing::Test, fakes::FakePlatform {
  shell::Journal journal{registry, processes, files, clock};
  shell::Services wired{journal.Registry(), system, versions, files, journal.Processes(), clock, wmi, echo, http,
                        &journal};
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;

  void SetUp() override {
    files.AddDirectory("C:\\Config");
    journal.SetPath("C:\\Config\\Changes.txt");
    // Values every action below touches, of several types, so their return is seen.
    registry.SetDWord(RegRoot::LocalMachine,
                      "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\DomainProfile",
                      "EnableFirewall", 1);
    registry.SetDWord(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 1);
    registry.SetString(RegRoot::CurrentUser, kInternetSettings, "ProxyServer", "10.0.0.1:3128");
    registry.SetString(RegRoot::CurrentUser, kInternetSettings, "ProxyOverride", "*.corp;<local>");
    registry.SetString(RegRoot::CurrentUser, kInternetSettings, "AutoConfigURL", "http://wpad/x.pac",
                       RegType::ExpandString);
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(wired);
  }
  void TearDown() override { WaitForWorkers(); }

  void WaitForWorkers() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (application->GetWorkers().Running() > 0 && std::chrono::steady_clock::now() < deadline) {
      application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    application->ProcessMessages();
    ASSERT_EQ(application->GetWorkers().Running(), 0);
  }

  // Every key and value of both hives, values as type and stored bytes.
  std::map<std::string, std::string> Dump() {
    std::map<std::string, std::string> all;
    std::function<void(RegRoot, const std::string&)> walk = [&](RegRoot root, const std::string& path) {
      auto key = registry.Open(root, path, access::kRead, false);
      if (!key) return;
      const std::string at = (root == RegRoot::LocalMachine ? "HKLM\\" : "HKCU\\") + path;
      all[at] = "key";
      for (const std::string& name : key->ValueNames())
        all[at + "|" + name] = std::to_string(static_cast<int>(*key->ValueType(name))) + ":" +
                               ::testing::PrintToString(*key->ReadBytes(name));
      for (const std::string& sub : key->SubKeys()) walk(root, path.empty() ? sub : path + "\\" + sub);
    };
    walk(RegRoot::LocalMachine, "");
    walk(RegRoot::CurrentUser, "");
    return all;
  }
  std::vector<shell::Entry> Entries() { return journal.Entries(); }
};

// Each action as the user starts it; every one is one entry, and its undo leaves the
// whole registry as it was before the action.
TEST_F(Wired, EachActionIsOneEntryAndItsUndoRestoresTheRegistry) {
  struct Action {
    const char* label;
    std::function<void()> set_up;  // before the "before" picture
    std::function<void()> run;
    std::string action;
  };
  const std::string card = std::string(kInterfaces) + "{card}";
  const std::vector<Action> actions = {
      {"repair run, every action ticked",
       [&] { system.files.insert("C:\\Windows\\system32\\devcon.exe"); },
       [&] {
         for (const auto& entry : form->Commands().RunOrder()) entry.box->SetChecked(true);
         form->Commands().ButtonApplay->Click();
         WaitForWorkers();
       },
       "Ремонт сети"},
      {"proxy apply",
       nullptr,
       [&] {
         auto& proxy = form->Proxy();
         proxy.CheckBoxProxyServer->SetChecked(true);
         proxy.EditProxyAdress->SetText("192.0.2.7");
         proxy.EditProxyPort->SetText("8080");
         proxy.CheckBoxScript->SetChecked(false);
         proxy.SetProxy();
       },
       "Применение прокси"},
      {"profile deleted",
       [&] {
         const std::string key = std::string(kProfiles) + "\\{AAAA}";
         registry.SetString(RegRoot::LocalMachine, key, "ProfileName", "Дом");
         registry.SetDWord(RegRoot::LocalMachine, key, "Category", 1);
         registry.SetBytes(RegRoot::LocalMachine, key, "DateCreated", RegType::Binary, {0xE6, 0x07, 0x0C, 0x00});
         form->Profiles().LoadNet();
         form->Profiles().ListViewNetworkProfiles->SetSelected(0);
         host.box_answers.push_back(ui::kIdYes);
       },
       [&] { form->Profiles().DeleteNetClick(); },
       "Удаление профиля сети: Дом"},
      {"profile renamed",
       [&] {
         // Sorted first, so the first row.
         registry.SetString(RegRoot::LocalMachine, std::string(kProfiles) + "\\{0000}", "ProfileName", "Офис");
         form->Profiles().LoadNet();
         form->Profiles().ListViewNetworkProfiles->SetSelected(0);
         host.input_answers.push_back("Офис 2");
       },
       [&] { form->Profiles().RenameProfile(); },
       "Переименование профиля сети: Офис -> Офис 2"},
      {"adapter DNS apply",
       [&] {
         registry.SetString(RegRoot::LocalMachine, card, "NameServer", "192.0.2.53");
         form->Adapter().ComboBoxEditInterfaces->SetItems({"Card"});
         form->Adapter().ComboBoxEditInterfaces->SetItemIndex(0);
         form->Adapter().EditInterfaces->SetText("{card}");
       },
       [&] {
         form->Adapter().CheckBoxEnableDNS->SetChecked(true);
         form->Adapter().SetDnsBoxes("1.1.1.1", "8.8.8.8");
         form->Adapter().ButtonChangeDNSClick();
       },
       "Применение настроек адаптера: Card"},
      {"adapter IP apply (the system stores the settings)",
       [&] {
         registry.SetDWord(RegRoot::LocalMachine, card, "EnableDHCP", 1);
         registry.SetBytes(RegRoot::LocalMachine, card, "IPAddress", RegType::MultiString, MultiSz({u"0.0.0.0"}));
         wmi.Add("Win32_NetworkAdapterConfiguration")
             .Set("Description", Variant::Str("Card"))
             .On("EnableStatic",
                 [&](const std::vector<Variant>&) {
                   registry.SetDWord(RegRoot::LocalMachine, card, "EnableDHCP", 0);
                   registry.SetBytes(RegRoot::LocalMachine, card, "IPAddress", RegType::MultiString,
                                     MultiSz({u"192.0.2.10"}));
                   registry.SetBytes(RegRoot::LocalMachine, card, "SubnetMask", RegType::MultiString,
                                     MultiSz({u"255.255.255.0"}));
                   return Variant::Int(0);
                 })
             .On("SetGateways", [&](const std::vector<Variant>&) {
               registry.SetBytes(RegRoot::LocalMachine, card, "DefaultGateway", RegType::MultiString,
                                 MultiSz({u"192.0.2.1"}));
               return Variant::Int(0);
             });
         form->Adapter().ComboBoxEditInterfaces->SetItems({"Card"});
         form->Adapter().ComboBoxEditInterfaces->SetItemIndex(0);
         form->Adapter().EditInterfaces->SetText("{card}");
       },
       [&] { form->Adapter().SetAdapterAddresses("Card", "192.0.2.10", "255.255.255.0", "192.0.2.1"); },
       "Применение настроек адаптера: Card"},
  };
  for (const Action& a : actions) {
    SCOPED_TRACE(a.label);
    if (a.set_up) a.set_up();
    const size_t entries_before = Entries().size();
    const auto before = Dump();
    a.run();
    ASSERT_NE(Dump(), before);
    std::vector<shell::Entry> entries = Entries();
    ASSERT_EQ(entries.size(), entries_before + 1);
    const shell::Entry& entry = entries.back();
    EXPECT_EQ(entry.action, a.action);
    EXPECT_TRUE(entry.Undoable());
    shell::UndoReport report = journal.Undo(entry.id, nullptr);
    EXPECT_TRUE(report.Clean()) << ::testing::PrintToString(report.differences) << ::testing::PrintToString(report.kept);
    EXPECT_EQ(Dump(), before);
  }
}

// The repair run's entry lists the commands it ran, each that changes something as
// "cannot be undone".
TEST_F(Wired, RepairEntryListsTheCommandsThatCannotBeUndone) {
  form->Commands().CheckBoxFlushDNS->SetChecked(true);
  form->Commands().CheckBoxRenewIP->SetChecked(true);
  form->Commands().ButtonApplay->Click();
  WaitForWorkers();
  std::vector<shell::Entry> entries = Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_FALSE(entries[0].Undoable());
  std::vector<std::string> lines;
  for (const shell::CommandRun& run : entries[0].commands) lines.push_back((run.irreversible ? "! " : "  ") + run.line);
  EXPECT_EQ(lines, (std::vector<std::string>{"! ipconfig.exe /flushdns", "! ipconfig.exe /registerdns",
                                              "! net.exe stop dnscache /y", "! net.exe start dnscache",
                                              "! ipconfig.exe /release", "! ipconfig.exe /renew",
                                              "  ipconfig.exe /all"}));
}

// The history window: newest first; the undo asks through the application's box when
// a value was changed since, and writes only on "yes".
TEST_F(Wired, HistoryWindowListsNewestFirstAndAsksOnAConflict) {
  auto& proxy = form->Proxy();
  proxy.CheckBoxProxyServer->SetChecked(false);
  proxy.CheckBoxScript->SetChecked(false);
  proxy.SetProxy();  // entry 1
  form->Commands().CheckBoxFlushDNS->SetChecked(true);
  form->Commands().ButtonApplay->Click();  // entry 2: commands only
  WaitForWorkers();

  auto* window = application->CreateForm<changes::TFormChanges>(journal);
  window->FormShow();
  const auto& rows = window->ListViewChanges->Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].sub_items[0], "Ремонт сети");
  EXPECT_EQ(rows[0].sub_items[1], "ничего");
  EXPECT_EQ(rows[0].sub_items[2], "команд: 4");
  EXPECT_EQ(rows[1].sub_items[0], "Применение прокси");
  EXPECT_EQ(rows[1].sub_items[1].rfind("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\", 0), 0u);
  EXPECT_EQ(rows[1].sub_items[2], "");
  EXPECT_EQ(window->ListViewChanges->Selected(), 0);
  EXPECT_FALSE(window->ButtonChangesUndo->Enabled());  // nothing there to undo
  window->ListViewChanges->SetSelected(1);
  window->ListViewChangesSelectItem();
  EXPECT_TRUE(window->ButtonChangesUndo->Enabled());

  // Someone changes the proxy since; "no" keeps it, "yes" writes the value back.
  registry.SetDWord(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 5);
  host.box_answers = {ui::kIdNo};
  window->ButtonChangesUndoClick();
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_NE(host.boxes[0].text.find("Было до записи: 1"), std::string::npos) << host.boxes[0].text;
  EXPECT_NE(host.boxes[0].text.find("Оставлено записью: 0"), std::string::npos);
  EXPECT_NE(host.boxes[0].text.find("Сейчас: 5"), std::string::npos);
  EXPECT_EQ(registry.Find(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable")->number, 5u);
  EXPECT_NE(window->LabelChangesStatus->Caption().find("с расхождениями"), std::string::npos);
  // The undo is the newest entry now; the proxy entry is the third row.
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].sub_items[0], "Отмена: Применение прокси (№1)");

  window->ListViewChanges->SetSelected(2);
  window->ListViewChangesSelectItem();
  host.box_answers = {ui::kIdYes};
  window->ButtonChangesUndoClick();
  EXPECT_EQ(registry.Find(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable")->number, 1u);
  EXPECT_EQ(registry.Find(RegRoot::CurrentUser, kInternetSettings, "ProxyServer")->text, "10.0.0.1:3128");
  EXPECT_EQ(window->LabelChangesStatus->Caption(),
            "Запись 1 отменена; все значения прочитаны обратно без расхождений.");
}

// The general menu opens the window, which shows the journal as it is then.
TEST_F(Wired, GeneralMenuOpensTheHistory) {
  auto* window = application->CreateForm<changes::TFormChanges>(journal);
  std::vector<std::string> captions;
  for (ui::MenuItem* item : form->PopupMenu_General->Items()) captions.push_back(item->Caption());
  EXPECT_EQ(captions, (std::vector<std::string>{"Тема", "Язык", "-", "Проверить обновления",
                                                "Тест DNS-серверов запросами", "Журнал изменений", "-",
                                                "О программе"}));
  form->Proxy().SetProxy();
  size_t rows_shown = 0;
  host.modal_actions.push_back([&](ui::Form& shown) {
    EXPECT_EQ(&shown, window);
    rows_shown = window->ListViewChanges->Rows().size();
  });
  form->ChangesMenu->Click();
  EXPECT_EQ(host.modals, std::vector<std::string>{"FormChanges"});
  EXPECT_EQ(rows_shown, 1u);
}

// Every text of the window and of the menu item has an English entry: with English
// chosen, translating leaves the missing-keys log empty.
TEST_F(Wired, EveryTextHasAnEnglishEntry) {
  std::ifstream in(VELMORA_ENGLISH_FILE, std::ios::binary);
  const std::vector<uint8_t> english{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(english.empty());
  auto* window = application->CreateForm<changes::TFormChanges>(journal);
  const std::string log = "C:\\Program Files\\Velmora.log";
  files.SetFile(form->PortablePath(), "[Language]\r\nLanguage=English\r\n");
  files.SetFile("C:\\Program Files\\Velmora\\Language\\English.ini", english);
  files.SetFile(log, "");
  form->CleanTranslationsLikeGlobload();
  form->LoadLanguage();
  form->globload();
  const auto missing = common::LoadTextFile(files, log, 1251);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->utf8, "") << "texts without an English entry:\n" << missing->utf8;
  EXPECT_EQ(window->Caption(), "Change history");
  EXPECT_EQ(form->ChangesMenu->Caption(), "Change history");
  EXPECT_EQ(window->ListViewChanges->Columns()[3].caption, "Cannot be undone");
}

// A damaged journal: the window says so once and shows an empty list.
TEST_F(Wired, HistoryWindowReportsADamagedJournalOnce) {
  files.SetFile("C:\\Config\\Changes.txt", "not a journal\r\n");
  auto* window = application->CreateForm<changes::TFormChanges>(journal);
  window->FormShow();
  EXPECT_TRUE(window->ListViewChanges->Rows().empty());
  EXPECT_NE(window->LabelChangesStatus->Caption().find("Changes.txt.damaged"), std::string::npos);
  EXPECT_EQ(files.Text("C:\\Config\\Changes.txt.damaged"), "not a journal\r\n");
  window->FormShow();
  EXPECT_EQ(window->LabelChangesStatus->Caption(), "Журнал изменений пуст.");
}

}  // namespace
