#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "app/MainForm.h"
#include "common/Text.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeUpdater.h"
#include "fakes/HeadlessHost.h"
#include "update/ReleaseFixture.h"
#include "update/Signature.h"
#include "update/UpdateForm.h"

namespace {

using platform::RegRoot;

constexpr char kPrimary[] = "http://127.0.0.1:47081/missing/download/";
constexpr char kFallback[] = "http://127.0.0.1:47081/download/";
constexpr char kFolder[] = "http://127.0.0.1:47081/download/Velmora/";
constexpr char kTemp[] = "C:\\Users\\user\\AppData\\Local\\Temp\\";

class TestUpdateForm : public update::TForm10 {
 public:
  using TForm10::TForm10;
  std::string LocalVersion() override { return "4.5.26.228"; }
};

struct UpdateWindow : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  fakes::FakeDesktop desktop;
  fakes::FakeVerifier verifier;
  update::UpdaterPlatform updater{desktop, verifier, {{kPrimary, kFallback}, update_test::kTestPublicKeyPem}};
  std::mutex routes_mutex;
  std::map<std::string, platform::HttpResponse> routes;
  std::unique_ptr<ui::Application> application;
  TestUpdateForm* form = nullptr;

  UpdateWindow() {
    verifier.key = *update::ParsePublicKey(update_test::kTestPublicKeyPem);
    files.AddDirectory(kTemp);
    http.handler = [this](const fakes::FakeHttp::Request& r) {
      std::lock_guard lock(routes_mutex);
      auto it = routes.find(r.url);
      return it == routes.end() ? fakes::FakeHttp::Fail("HTTP/1.1 404 Not Found", 404) : it->second;
    };
  }
  ~UpdateWindow() override {
    Drain();
    application.reset();
  }

  void Serve(const std::string& name, const std::string& body, bool signed_too = true) {
    std::lock_guard lock(routes_mutex);
    routes[kFolder + name] = fakes::FakeHttp::Ok(body);
    if (signed_too) routes[kFolder + name + ".sig"] = fakes::FakeHttp::Ok(fakes::FakeSign(body));
  }
  void Unserve(const std::string& name) {
    std::lock_guard lock(routes_mutex);
    routes.erase(kFolder + name);
  }
  // A release on the fallback server (the primary answers 404).
  void Publish(const std::string& version) {
    Serve("version.txt", version + "\r\n");
    Serve("Velmora-setup.exe", "MZ installer " + version);
    Serve("Velmora.zip", "PK archive " + version);
  }

  void Open() {
    application = std::make_unique<ui::Application>(host);
    application->SetTitle("Velmora");
    application->CreateForm<app::TForm1>(services);
    form = application->CreateForm<TestUpdateForm>(services, &updater);
    Drain();
  }
  void MakePortable() { system.files.insert("C:\\Program Files\\Velmora\\portable.ini"); }
  // Lets pending messages run until every worker (of that name) has ended and handed over.
  void Drain(const std::string& name = {}) {
    if (!application) return;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      host.ProcessMessages();
      if (application->GetWorkers().Running(name) == 0 && application->GetWorkers().Waiting() == 0) break;
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "workers did not end";
        break;
      }
      std::this_thread::yield();
    }
    host.ProcessMessages();
  }
  void Show() {
    form->FormShow();
    Drain();
  }

  struct State {
    std::string label;
    std::string button;
    bool download_enabled;
    bool close_enabled;
    bool options_enabled;
    bool bar_visible;
    bool operator==(const State&) const = default;
  };
  State Now() const {
    return {form->LabelUpDate->Caption(),   form->ButtonDownload->Caption(), form->ButtonDownload->Enabled(),
            form->ButtonClose->Enabled(),   form->GroupBoxOption->Enabled(), form->ProgressBarUpdate->Visible()};
  }
  static State Idle(const std::string& label) { return {label, "Скачать", true, true, true, false}; }
};

void PrintTo(const UpdateWindow::State& s, std::ostream* os) {
  *os << "{" << s.label << ", " << s.button << ", download " << s.download_enabled << ", close " << s.close_enabled
      << ", options " << s.options_enabled << ", bar " << s.bar_visible << "}";
}

TEST_F(UpdateWindow, LayoutAndMessageItems) {
  Open();
  EXPECT_EQ(form->Name(), "Form10");
  EXPECT_EQ(form->Caption(), "Обновление");
  EXPECT_EQ(form->ClientWidth(), 434);
  EXPECT_EQ(form->ClientHeight(), 191);
  EXPECT_EQ(form->MinWidth(), 400);
  EXPECT_EQ(form->MinHeight(), 230);
  EXPECT_FALSE(form->Resizable());
  EXPECT_TRUE(form->OwnTaskbarButton());
  EXPECT_EQ(form->GetFont(), (ui::Font{"Segoe UI", -12}));
  EXPECT_TRUE(form->CheckBoxQuickUpdate->Checked());
  EXPECT_FALSE(form->CheckBoxForceUpdate->Checked());
  EXPECT_TRUE(form->CheckBoxAutoCheck->Checked());
  EXPECT_TRUE(form->ButtonDownload->Enabled());
  // Top to bottom: status group, bar, options, buttons; nothing overlaps.
  EXPECT_EQ(form->GroupBox1->Bounds(), (ui::Rect{0, 0, 434, 88}));
  EXPECT_EQ(form->ProgressBarUpdate->Bounds(), (ui::Rect{0, 88, 434, 16}));
  EXPECT_EQ(form->GroupBoxOption->Bounds(), (ui::Rect{0, 104, 434, 46}));
  EXPECT_EQ(form->TabControlButtons->Bounds(), (ui::Rect{0, 150, 434, 41}));
  // The message items are found by name under the hidden menu, as the translation
  // engine addresses them.
  std::vector<ui::MenuItem*> items = form->PopupMenuLanguage->Items();
  ASSERT_EQ(items.size(), std::size(update::kUpdateMessages));
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i]->Name(), update::kUpdateMessages[i].name);
    EXPECT_EQ(items[i]->Caption(), update::kUpdateMessages[i].text);
  }
}

TEST_F(UpdateWindow, TheWindowCheckWritesItsResult) {
  struct Case {
    const char* what;
    std::function<void(UpdateWindow&)> serve;
    std::string label;
    std::string server_label;
    bool download_enabled;
    std::string url;
  };
  const Case cases[] = {
      {"newer", [](UpdateWindow& t) { t.Publish("4.5.26.229"); },
       "Доступно обновление 4.5.26.228 ---> 4.5.26.229", "4.5.26.229", true,
       std::string(kFolder) + "Velmora-setup.exe"},
      {"equal with a line break", [](UpdateWindow& t) { t.Publish("4.5.26.228"); }, "Нет обновления",
       "4.5.26.228", false, std::string(kFolder) + "Velmora-setup.exe"},
      {"older", [](UpdateWindow& t) { t.Publish("4.5"); }, "Нет обновления", "4.5", false,
       std::string(kFolder) + "Velmora-setup.exe"},
      {"no server answers", [](UpdateWindow&) {}, "Не удалось проверить обновления", "Ошибка соединения", false,
       ""},
      {"version file signed by someone else",
       [](UpdateWindow& t) {
         t.Publish("9.0");
         t.Serve("version.txt.sig", fakes::FakeSign("9.1\r\n"), false);
       },
       "Не удалось проверить обновления", "Ошибка соединения", false, ""},
  };
  Open();
  for (const Case& c : cases) {
    {
      std::lock_guard lock(routes_mutex);
      routes.clear();
    }
    c.serve(*this);
    form->UpdateDownloadUrl = "stale";
    form->FormShow();
    // While the check runs the options and the download are out of reach.
    EXPECT_EQ(form->LabelUpDate->Caption(), "Проверка обновления...") << c.what;
    EXPECT_EQ(form->LabelLocalVersion->Caption(), "4.5.26.228") << c.what;
    EXPECT_FALSE(form->ButtonDownload->Enabled()) << c.what;
    EXPECT_FALSE(form->GroupBoxOption->Enabled()) << c.what;
    Drain();
    EXPECT_EQ(form->LabelUpDate->Caption(), c.label) << c.what;
    EXPECT_EQ(form->LabelServerVersion->Caption(), c.server_label) << c.what;
    EXPECT_EQ(form->ButtonDownload->Enabled(), c.download_enabled) << c.what;
    EXPECT_TRUE(form->GroupBoxOption->Enabled()) << c.what;
    EXPECT_EQ(form->UpdateDownloadUrl, c.url) << c.what;
  }
}

TEST_F(UpdateWindow, TheUpdateRequestsTakeTheUsersProxy) {
  const char* kSettings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  registry.CreateKey(RegRoot::CurrentUser, kSettings);
  registry.SetDWord(RegRoot::CurrentUser, kSettings, "ProxyEnable", 1);
  Open();
  Publish("4.5.26.229");
  // The update servers are http URLs: they take the http entry of a per-scheme value.
  const std::pair<const char*, int> cases[] = {
      {"proxy.local:3128", 3128}, {"proxy.local:port", 8080}, {"https=elsewhere.local:1;http=proxy.local:3130", 3130}};
  for (auto [stored, port] : cases) {
    registry.SetString(RegRoot::CurrentUser, kSettings, "ProxyServer", stored);
    http.requests.clear();
    Show();
    ASSERT_FALSE(http.requests.empty());
    for (const auto& r : http.requests) {
      EXPECT_EQ(r.settings.proxy_host, "proxy.local") << stored;
      EXPECT_EQ(r.settings.proxy_port, port) << stored;
    }
    http.requests.clear();
    form->ButtonDownload->Click();
    ASSERT_FALSE(http.requests.empty());
    EXPECT_EQ(http.requests.front().settings.proxy_port, port) << stored;
  }
}

TEST_F(UpdateWindow, ForcedDownloadFollowsTheBoxBothWays) {
  Open();
  Show();  // nothing served: the check fails
  EXPECT_FALSE(form->ButtonDownload->Enabled());
  form->CheckBoxForceUpdate->Click();
  EXPECT_TRUE(form->ButtonDownload->Enabled());
  form->CheckBoxForceUpdate->Click();
  EXPECT_FALSE(form->ButtonDownload->Enabled());

  // A forced download after a failed check has no URL: it ends at once, back to idle.
  form->CheckBoxForceUpdate->Click();
  form->ButtonDownload->Click();
  EXPECT_EQ(Now(), Idle("Файлы обновления не загружены!"));
  EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(UpdateWindow, InstalledCopyQuickDownloadStartsTheSilentInstaller) {
  const std::pair<const char*, const char*> cases[] = {
      {"English", "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG=English /MERGETASKS=\"runcmd1\""},
      {"", "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG= /MERGETASKS=\"runcmd1\""},
  };
  Open();
  Publish("4.5.26.229");
  // Large enough for the bar to count percents.
  const std::string installer = "MZ" + std::string(5000, 'x');
  Serve("Velmora-setup.exe", installer);
  for (auto [language, parameters] : cases) {
    desktop.opened.clear();
    desktop.exits = 0;
    form->SetSelectedLanguage(language);
    Show();
    form->ButtonDownload->Click();
    EXPECT_EQ(files.Text(std::string(kTemp) + "Velmora-setup.exe"), installer);
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0].file, std::string(kTemp) + "Velmora-setup.exe");
    EXPECT_EQ(desktop.opened[0].parameters, parameters);
    EXPECT_FALSE(desktop.opened[0].hidden);
    EXPECT_EQ(desktop.exits, 1);
    EXPECT_EQ(form->ProgressBarUpdate->Position(), 100);
  }
}

TEST_F(UpdateWindow, InstalledCopyWithoutQuickOpensTheInstallerAndStays) {
  Open();
  Publish("4.5.26.229");
  files.SetFile(std::string(kTemp) + "Velmora-setup.exe", "an older download");
  Show();
  form->CheckBoxQuickUpdate->Click();
  form->ButtonDownload->Click();
  EXPECT_EQ(Now(), Idle("Файлы обновления загружены!"));
  EXPECT_EQ(files.Text(std::string(kTemp) + "Velmora-setup.exe"), "MZ installer 4.5.26.229");
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(desktop.opened[0].parameters, "");
  EXPECT_EQ(desktop.exits, 0);
  EXPECT_EQ(form->GetTaskbarProgress().state, ui::Form::TaskbarState::None);
  EXPECT_EQ(form->ProgressBarUpdate->Position(), 0);  // too small a file to count percents
}

TEST_F(UpdateWindow, ACancelClickDuringTheTransferResetsTheWindowAndRemovesTheFile) {
  Open();
  Publish("4.5.26.229");
  Show();
  files.SetFile(std::string(kTemp) + "Velmora-setup.exe", "left from before");
  State during;
  // The click arrives while the transfer lets messages run.
  host.Post([&] {
    during = Now();
    form->ButtonDownload->Click();
  });
  form->ButtonDownload->Click();
  EXPECT_EQ(during, (State{"Доступно обновление 4.5.26.228 ---> 4.5.26.229", "Отмена", true, false, false, true}));
  EXPECT_EQ(Now(), Idle("Файлы обновления не загружены!"));
  EXPECT_FALSE(files.FileExists(std::string(kTemp) + "Velmora-setup.exe"));
  EXPECT_TRUE(desktop.opened.empty());
  EXPECT_EQ(desktop.exits, 0);
  EXPECT_EQ(form->ButtonDownload->Tag(), 0);
}

TEST_F(UpdateWindow, AFailedOrRefusedDownloadReturnsToIdleAndRunsNothing) {
  struct Case {
    const char* what;
    std::function<void(UpdateWindow&)> spoil;
  };
  const std::string installer = "MZ installer 4.5.26.229";
  const Case cases[] = {
      {"installer missing on the server", [](UpdateWindow& t) { t.Unserve("Velmora-setup.exe"); }},
      {"signature of another file",
       [](UpdateWindow& t) { t.Serve("Velmora-setup.exe.sig", fakes::FakeSign("PK archive 4.5.26.229"), false); }},
      {"truncated signature",
       [&](UpdateWindow& t) { t.Serve("Velmora-setup.exe.sig", fakes::FakeSign(installer).substr(0, 40), false); }},
      {"signature missing", [](UpdateWindow& t) { t.Unserve("Velmora-setup.exe.sig"); }},
      {"a byte of the file changed", [&](UpdateWindow& t) {
         std::string tampered = installer;
         tampered[3] ^= 1;
         std::lock_guard lock(t.routes_mutex);
         t.routes[std::string(kFolder) + "Velmora-setup.exe"] = fakes::FakeHttp::Ok(tampered);
       }},
  };
  Open();
  for (const Case& c : cases) {
    Publish("4.5.26.229");
    c.spoil(*this);
    files.SetFile(std::string(kTemp) + "Velmora-setup.exe", "stale");
    Show();
    form->ButtonDownload->Click();
    EXPECT_EQ(Now(), Idle("Файлы обновления не загружены!")) << c.what;
    EXPECT_FALSE(files.FileExists(std::string(kTemp) + "Velmora-setup.exe")) << c.what;
    EXPECT_TRUE(desktop.opened.empty()) << c.what;
    EXPECT_EQ(desktop.exits, 0) << c.what;
  }
}

TEST_F(UpdateWindow, PortableQuickUpdateWritesTheScriptInTheAnsiCodePageAndEnds) {
  system.program_path = "D:\\Программы\\Velmora\\Velmora.exe";
  system.files.insert("D:\\Программы\\Velmora\\portable.ini");
  clock.now = {9, 7, 5};
  Open();
  Publish("4.5.26.229");
  Show();
  EXPECT_EQ(form->UpdateDownloadUrl, std::string(kFolder) + "Velmora.zip");
  form->ButtonDownload->Click();
  EXPECT_EQ(files.Text("D:\\Программы\\Velmora\\Velmora.zip"), "PK archive 4.5.26.229");
  const std::string script_path = std::string(kTemp) + "update_090705.bat";
  const std::string expected = common::Utf8ToAnsi(
      update::PortableUpdateScript("D:\\Программы\\Velmora\\", "Velmora.exe", "Velmora.zip"), 1251);
  EXPECT_EQ(files.Text(script_path), expected);
  // The folder name is in code page 1251: "П" is 0xCF.
  EXPECT_NE(files.Text(script_path).find("cd /d \"D:\\\xCF"), std::string::npos);
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(desktop.opened[0].file, script_path);
  EXPECT_TRUE(desktop.opened[0].hidden);
  EXPECT_EQ(desktop.exits, 1);
}

TEST_F(UpdateWindow, PortableScriptThatCannotBeWrittenIsReported) {
  MakePortable();
  Open();
  Publish("4.5.26.229");
  Show();
  // The archive is saved; the script cannot be written over a read-only file.
  files.SetFile(std::string(kTemp) + "update_120000.bat", "");
  files.SetReadOnly(std::string(kTemp) + "update_120000.bat");
  form->ButtonDownload->Click();
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_EQ(host.boxes.back().text, "Failed to create update script!");
  EXPECT_EQ(Now(), Idle("Файлы обновления загружены!"));
  EXPECT_TRUE(files.FileExists("C:\\Program Files\\Velmora\\Velmora.zip"));
  EXPECT_TRUE(desktop.opened.empty());
  EXPECT_EQ(desktop.exits, 0);
}

TEST_F(UpdateWindow, PortableWithoutQuickKeepsTheArchiveOnly) {
  MakePortable();
  Open();
  Publish("4.5.26.229");
  Show();
  form->CheckBoxQuickUpdate->Click();
  form->ButtonDownload->Click();
  EXPECT_EQ(Now(), Idle("Файлы обновления загружены!"));
  EXPECT_EQ(files.Text("C:\\Program Files\\Velmora\\Velmora.zip"), "PK archive 4.5.26.229");
  EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(UpdateWindow, ProgressStepsRoundHalvesToEven) {
  Open();
  struct Case {
    int64_t expected, current;
    int64_t step;
    int position;
  };
  const Case cases[] = {
      {10000, 5000, 100, 50},
      {250, 125, 2, 62},    // 2.5 -> 2; 62.5 -> 62
      {350, 175, 4, 44},    // 3.5 -> 4; 43.75 -> 44
      {1000, 2000, 10, 100},  // more than announced stays at the end
      {50, 50, 0, 0},       // too small to make a percent: the bar stays
      {0, 10, 0, 0},        // no size announced
  };
  for (const Case& c : cases) {
    form->ProgressBarUpdate->SetPosition(0);
    form->IdHTTP1WorkBegin(c.expected);
    EXPECT_EQ(form->ProgressStep, c.step) << c.expected;
    EXPECT_TRUE(form->IdHTTP1Work(c.current));
    EXPECT_EQ(form->ProgressBarUpdate->Position(), c.position) << c.expected << " " << c.current;
    EXPECT_EQ(form->GetTaskbarProgress().state, ui::Form::TaskbarState::Normal);
    form->IdHTTP1WorkEnd();
    EXPECT_EQ(form->GetTaskbarProgress().state, ui::Form::TaskbarState::None);
  }
}

TEST_F(UpdateWindow, StartUpPromptOpensTheWindowThatDownloadsByItself) {
  Publish("4.5.26.229");
  host.box_answers.push_back(ui::kIdYes);
  std::string label_in_window;
  host.modal_actions.push_back([&](ui::Form&) {
    Drain("QuickStartThread");  // the quick start hands its click back once the window shows
    label_in_window = form ? form->LabelUpDate->Caption() : "";
  });
  Open();
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Доступно обновление 4.5.26.229\r\nХотите обновить приложение сейчас?");
  EXPECT_EQ(host.boxes[0].title, "Velmora");
  EXPECT_EQ(host.boxes[0].flags, ui::kMbYesNo | ui::kMbIconInformation);
  EXPECT_EQ(host.boxes[0].buttons, (std::vector<std::string>{"Да", "Нет"}));
  EXPECT_EQ(host.modals, std::vector<std::string>{"Form10"});
  // No window check ran: only the start-up check's requests and the download.
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(desktop.opened[0].file, std::string(kTemp) + "Velmora-setup.exe");
  EXPECT_EQ(desktop.exits, 1);
  EXPECT_FALSE(form->QuickStartPending);
}

TEST_F(UpdateWindow, StartUpPromptAnsweredNoDoesNothing) {
  Publish("4.5.26.229");
  host.box_answers.push_back(ui::kIdNo);
  Open();
  EXPECT_EQ(host.boxes.size(), 1u);
  EXPECT_TRUE(host.modals.empty());
  EXPECT_TRUE(desktop.opened.empty());
  EXPECT_EQ(form->BackgroundServerVersion, "4.5.26.229");
}

TEST_F(UpdateWindow, NoPromptWithoutANewerVersion) {
  Publish("4.5.26.228");
  Open();
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_FALSE(form->UpdateAvailable);
}

TEST_F(UpdateWindow, TheAutoCheckOptionIsStoredOnCloseAndStopsTheStartUpCheck) {
  Publish("4.5.26.228");
  Open();
  EXPECT_FALSE(http.requests.empty());  // checked at start by default
  host.modal_actions.push_back([&](ui::Form& f) {
    Drain();
    form->CheckBoxAutoCheck->Click();
    f.Close();  // as the title bar's close button does
  });
  application->ShowModal(*form);
  EXPECT_EQ(form->LabelUpDate->Caption(), "");
  Drain();
  application.reset();

  http.requests.clear();
  Open();
  EXPECT_TRUE(http.requests.empty());
  EXPECT_FALSE(form->CheckBoxAutoCheck->Checked());
  // Opening the window still checks.
  Show();
  EXPECT_FALSE(http.requests.empty());
  EXPECT_EQ(form->LabelUpDate->Caption(), "Нет обновления");
}

}  // namespace
