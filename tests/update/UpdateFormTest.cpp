#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <set>
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

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

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

  // Serves a file signed for release `version` (version.txt: the version it holds).
  void Serve(const std::string& name, const std::string& body, const std::string& version = "4.5.26.229") {
    std::lock_guard lock(routes_mutex);
    routes[kFolder + name] = fakes::FakeHttp::Ok(body);
    const std::string signed_version = name == "version.txt" ? Trimmed(body) : version;
    routes[kFolder + name + ".sig"] = fakes::FakeHttp::Ok(fakes::FakeReleaseSign(signed_version, name, body));
  }
  void ServeSignature(const std::string& name, const std::string& signature) {
    std::lock_guard lock(routes_mutex);
    routes[kFolder + name + ".sig"] = fakes::FakeHttp::Ok(signature);
  }
  void Unserve(const std::string& name) {
    std::lock_guard lock(routes_mutex);
    routes.erase(kFolder + name);
  }
  // A release on the fallback server (the primary answers 404).
  void Publish(const std::string& version) {
    Serve("version.txt", version + "\r\n");
    Serve("Velmora-setup.exe", "MZ installer " + version, version);
    Serve("Velmora.zip", "PK archive " + version, version);
  }
  // Holds every transfer of the installer until Release(); Await() returns once one waits.
  struct InstallerGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool waiting = false;
    void Await() {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return waiting; });
    }
    void Release() {
      {
        std::lock_guard lock(mutex);
        open = true;
      }
      changed.notify_all();
    }
  };
  void HoldInstaller(InstallerGate& gate) {
    http.handler = [this, &gate, fallback = http.handler](const fakes::FakeHttp::Request& r) {
      if (r.url == std::string(kFolder) + "Velmora-setup.exe") {
        std::unique_lock lock(gate.mutex);
        gate.waiting = true;
        gate.changed.notify_all();
        gate.changed.wait(lock, [&] { return gate.open; });
      }
      return fallback(r);
    };
  }

  // Clicks the download button and lets the download run to its end.
  void Download() {
    form->ButtonDownload->Click();
    Drain();
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
      {"version file signed for another release",
       [](UpdateWindow& t) {
         t.Publish("9.0");
         t.ServeSignature("version.txt", fakes::FakeReleaseSign("9.1", "version.txt", "9.0\r\n"));
       },
       "Не удалось проверить обновления", "Файлы обновления не подписаны разработчиком", false, ""},
      {"version file with an installer's signature",
       [](UpdateWindow& t) {
         t.Publish("9.0");
         t.ServeSignature("version.txt", fakes::FakeReleaseSign("9.0", "Velmora-setup.exe", "9.0\r\n"));
       },
       "Не удалось проверить обновления", "Файлы обновления не подписаны разработчиком", false, ""},
      {"a version file longer than a version file can be",
       [](UpdateWindow& t) { t.Serve("version.txt", "9.0" + std::string(400, ' ')); },
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
    Download();
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
  Download();
  EXPECT_EQ(Now(), Idle("Файлы обновления не загружены!"));
  EXPECT_TRUE(desktop.started.empty());
}

TEST_F(UpdateWindow, InstalledCopyQuickDownloadStartsTheSilentInstallerFromItsOwnFolder) {
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
    desktop.started.clear();
    desktop.exits = 0;
    form->SetSelectedLanguage(language);
    Show();
    Download();
    ASSERT_EQ(desktop.started.size(), 1u);
    const fakes::FakeDesktop::Started& started = desktop.started[0];
    // A folder of its own for each update, the installer alone in it and held while
    // it was started.
    const std::string folder = std::string(kTemp) + "Velmora-update-" + std::to_string(desktop.folders_made) + "\\";
    EXPECT_EQ(started.program, folder + "Velmora-setup.exe");
    EXPECT_EQ(desktop.Text(started.program), installer);
    EXPECT_EQ(started.held, (std::set<std::string>{started.program}));
    EXPECT_EQ(started.parameters, parameters);
    EXPECT_FALSE(started.hidden);
    EXPECT_EQ(desktop.exits, 1);
    EXPECT_EQ(form->ProgressBarUpdate->Position(), 100);
  }
  EXPECT_EQ(desktop.folders_made, 2);
}

TEST_F(UpdateWindow, InstalledCopyWithoutQuickOpensTheInstallerAndStays) {
  Open();
  Publish("4.5.26.229");
  Show();
  form->CheckBoxQuickUpdate->Click();
  Download();
  EXPECT_EQ(Now(), Idle("Файлы обновления загружены!"));
  ASSERT_EQ(desktop.started.size(), 1u);
  EXPECT_EQ(desktop.Text(desktop.started[0].program), "MZ installer 4.5.26.229");
  EXPECT_EQ(desktop.started[0].parameters, "");
  EXPECT_EQ(desktop.exits, 0);
  // Once the installer has started, its file is no longer held.
  EXPECT_TRUE(desktop.held.empty());
  EXPECT_EQ(form->GetTaskbarProgress().state, ui::Form::TaskbarState::None);
  EXPECT_EQ(form->ProgressBarUpdate->Position(), 0);  // too small a file to count percents
}

TEST_F(UpdateWindow, AnInstallerThatCannotStartLeavesTheProgramRunningAndSaysWhy) {
  Open();
  Publish("4.5.26.229");
  desktop.start_error = "Operation did not complete successfully because the file contains a virus";
  for (bool quick : {true, false}) {
    Show();
    form->CheckBoxQuickUpdate->SetChecked(quick);
    Download();
    EXPECT_EQ(Now(), Idle("Не удалось запустить обновление")) << quick;
    EXPECT_EQ(desktop.exits, 0) << quick;
    // The reason is in the activity log.
    const auto& log = static_cast<app::TForm1*>(application->MainForm())->Commands().MemoLogCom->Lines();
    ASSERT_FALSE(log.empty()) << quick;
    EXPECT_EQ(log.back().substr(8), " - Не удалось запустить обновление: " + desktop.start_error) << quick;
  }
  // No update folder either: nothing is started and the program stays.
  desktop.start_error.clear();
  desktop.refuse_folders = true;
  Show();
  Download();
  EXPECT_TRUE(desktop.started.empty());
  EXPECT_EQ(desktop.exits, 0);
  EXPECT_EQ(form->ButtonDownload->Tag(), 0);
}

TEST_F(UpdateWindow, ACancelClickTakesEffectAtOnceAndTheTransferComesToNothing) {
  Open();
  Publish("4.5.26.229");
  Show();
  // The installer's transfer hangs until the test lets it go.
  InstallerGate gate;
  HoldInstaller(gate);
  form->ButtonDownload->Click();
  gate.Await();
  host.ProcessMessages();
  EXPECT_EQ(Now(), (State{"Доступно обновление 4.5.26.228 ---> 4.5.26.229", "Отмена", true, false, false, true}));
  form->ButtonDownload->Click();
  // Back at once, while the transfer still hangs.
  EXPECT_EQ(Now(), Idle("Файлы обновления не загружены!"));
  EXPECT_EQ(form->ButtonDownload->Tag(), 0);
  gate.Release();
  Drain();
  // What the transfer brought afterwards is dropped: nothing written, nothing started.
  EXPECT_EQ(Now(), Idle("Файлы обновления не загружены!"));
  EXPECT_EQ(desktop.WrittenCount(), 0u);
  EXPECT_TRUE(desktop.started.empty());
  EXPECT_EQ(desktop.exits, 0);
}

TEST_F(UpdateWindow, ARefusedDownloadReturnsToIdleKeepsNothingAndRunsNothing) {
  struct Case {
    const char* what;
    std::function<void(UpdateWindow&)> spoil;
    const char* label;
  };
  const std::string installer = "MZ installer 4.5.26.229";
  const Case cases[] = {
      {"installer missing on the server", [](UpdateWindow& t) { t.Unserve("Velmora-setup.exe"); },
       "Файлы обновления не загружены!"},
      {"signed for an older release",
       [&](UpdateWindow& t) {
         t.ServeSignature("Velmora-setup.exe", fakes::FakeReleaseSign("4.5.26.228", "Velmora-setup.exe", installer));
       },
       "Файлы обновления не подписаны разработчиком"},
      {"the signature of another file",
       [&](UpdateWindow& t) {
         t.ServeSignature("Velmora-setup.exe", fakes::FakeReleaseSign("4.5.26.229", "Velmora.zip", installer));
       },
       "Файлы обновления не подписаны разработчиком"},
      {"truncated signature",
       [&](UpdateWindow& t) {
         t.ServeSignature("Velmora-setup.exe",
                          fakes::FakeReleaseSign("4.5.26.229", "Velmora-setup.exe", installer).substr(0, 40));
       },
       "Файлы обновления не подписаны разработчиком"},
      {"signature missing",
       [](UpdateWindow& t) {
         std::lock_guard lock(t.routes_mutex);
         t.routes.erase(std::string(kFolder) + "Velmora-setup.exe.sig");
       },
       "Файлы обновления не загружены!"},
      {"a byte of the file changed",
       [&](UpdateWindow& t) {
         std::string tampered = installer;
         tampered[3] ^= 1;
         std::lock_guard lock(t.routes_mutex);
         t.routes[std::string(kFolder) + "Velmora-setup.exe"] = fakes::FakeHttp::Ok(tampered);
       },
       "Файлы обновления не подписаны разработчиком"},
      {"an answer over the download bound",
       [](UpdateWindow& t) { t.Serve("Velmora-setup.exe", std::string(4097, 'x')); }, "Файлы обновления не загружены!"},
      {"a redirect from https to http",
       [&](UpdateWindow& t) {
         t.http.redirects[std::string(kFolder) + "Velmora-setup.exe"] = "https://127.0.0.1:47443/Velmora-setup.exe";
         t.http.redirects["https://127.0.0.1:47443/Velmora-setup.exe"] = "http://127.0.0.1:47081/plain/Velmora-setup.exe";
         t.routes["http://127.0.0.1:47081/plain/Velmora-setup.exe"] = fakes::FakeHttp::Ok(installer);
       },
       "Файлы обновления не загружены!"},
  };
  updater.config.limits.download_bytes = 4096;
  Open();
  for (const Case& c : cases) {
    http.redirects.clear();
    Publish("4.5.26.229");
    c.spoil(*this);
    Show();
    Download();
    EXPECT_EQ(Now(), Idle(c.label)) << c.what;
    EXPECT_EQ(desktop.folders_made, 0) << c.what;
    EXPECT_EQ(desktop.WrittenCount(), 0u) << c.what;
    EXPECT_TRUE(desktop.started.empty()) << c.what;
    EXPECT_EQ(desktop.exits, 0) << c.what;
  }
}

TEST_F(UpdateWindow, PortableQuickUpdateWritesTheScriptInTheOemCodePageAndEnds) {
  system.program_path = "D:\\Программы\\Velmora\\Velmora.exe";
  system.files.insert("D:\\Программы\\Velmora\\portable.ini");
  clock.now = {9, 7, 5};
  Open();
  Publish("4.5.26.229");
  Show();
  EXPECT_EQ(form->UpdateDownloadUrl, std::string(kFolder) + "Velmora.zip");
  Download();
  const std::string folder = std::string(kTemp) + "Velmora-update-1\\";
  EXPECT_EQ(desktop.Text(folder + "Velmora.zip"), "PK archive 4.5.26.229");
  const std::string script_path = folder + "update_090705.bat";
  const std::string expected = *common::Utf8ToOem(
      update::PortableUpdateScript("D:\\Программы\\Velmora\\", "Velmora.exe", folder + "Velmora.zip",
                                   "C:\\Windows\\System32\\"),
      866);
  EXPECT_EQ(desktop.Text(script_path), expected);
  // The folder name is in code page 866: "П" is 0x8F, "р" 0xE0.
  EXPECT_NE(desktop.Text(script_path).find("cd /d \"D:\\\x8F\xE0"), std::string::npos);
  // Nothing goes into the program folder before the script runs.
  EXPECT_FALSE(files.FileExists("D:\\Программы\\Velmora\\Velmora.zip"));
  ASSERT_EQ(desktop.started.size(), 1u);
  EXPECT_EQ(desktop.started[0].program, "C:\\Windows\\System32\\cmd.exe");
  EXPECT_EQ(desktop.started[0].parameters, "/d /c \"\"" + script_path + "\"\"");
  EXPECT_TRUE(desktop.started[0].hidden);
  EXPECT_EQ(desktop.started[0].held, (std::set<std::string>{folder + "Velmora.zip", script_path}));
  EXPECT_EQ(desktop.exits, 1);
}

TEST_F(UpdateWindow, APortableScriptTheCodePageCannotHoldIsReported) {
  // A Cyrillic folder, and a command processor that reads code page 437.
  system.program_path = "D:\\Программы\\Velmora\\Velmora.exe";
  system.files.insert("D:\\Программы\\Velmora\\portable.ini");
  desktop.oem_code_page = 437;
  Open();
  Publish("4.5.26.229");
  Show();
  Download();
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_EQ(host.boxes.back().text, "Failed to create update script!");
  EXPECT_EQ(Now(), Idle("Файлы обновления загружены!"));
  EXPECT_TRUE(desktop.started.empty());
  EXPECT_EQ(desktop.exits, 0);
}

TEST_F(UpdateWindow, PortableWithoutQuickKeepsTheArchiveOnly) {
  MakePortable();
  Open();
  Publish("4.5.26.229");
  Show();
  form->CheckBoxQuickUpdate->Click();
  Download();
  EXPECT_EQ(Now(), Idle("Файлы обновления загружены!"));
  EXPECT_EQ(files.Text("C:\\Program Files\\Velmora\\Velmora.zip"), "PK archive 4.5.26.229");
  EXPECT_TRUE(desktop.started.empty());
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

TEST_F(UpdateWindow, StartUpPromptWaitsForStartUpAndOpensTheWindowThatDownloadsByItself) {
  Publish("4.5.26.229");
  host.box_answers.push_back(ui::kIdYes);
  host.modal_actions.push_back([&](ui::Form&) {
    Drain();  // the quick start hands its click back once the window shows; the download runs
  });
  Open();
  // The check has answered, but start-up has not finished: nothing is asked yet.
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(form->BackgroundServerVersion, "4.5.26.229");
  form->StartupFinished();
  Drain();
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Доступно обновление 4.5.26.229\r\nХотите обновить приложение сейчас?");
  EXPECT_EQ(host.boxes[0].title, "Velmora");
  EXPECT_EQ(host.boxes[0].flags, ui::kMbYesNo | ui::kMbIconInformation);
  EXPECT_EQ(host.boxes[0].buttons, (std::vector<std::string>{"Да", "Нет"}));
  EXPECT_EQ(host.modals, std::vector<std::string>{"Form10"});
  // No window check ran: only the start-up check's requests and the download.
  ASSERT_EQ(desktop.started.size(), 1u);
  EXPECT_EQ(desktop.Text(desktop.started[0].program), "MZ installer 4.5.26.229");
  EXPECT_EQ(desktop.exits, 1);
  EXPECT_FALSE(form->QuickStartPending);
}

TEST_F(UpdateWindow, TheStartUpOfferNeverOpensASecondWindowNorStopsADownload) {
  Publish("4.5.26.229");
  // The window is open (a check running in it) when the offer comes: no offer.
  Open();
  form->FormShow();
  form->StartupFinished();
  Drain();
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(host.modals.empty());
  form->FormClose();
  application.reset();

  // A download is running when the offer comes: no offer, the download goes on.
  host.boxes.clear();
  InstallerGate gate;
  HoldInstaller(gate);
  Open();
  form->UpdateDownloadUrl = std::string(kFolder) + "Velmora-setup.exe";
  form->UpdateServerVersion = "4.5.26.229";
  form->CheckBoxQuickUpdate->SetChecked(false);
  form->ButtonDownload->Click();
  form->StartupFinished();
  host.ProcessMessages();
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(form->ButtonDownload->Tag(), 1);
  gate.Release();
  Drain();
  EXPECT_EQ(Now(), Idle("Файлы обновления загружены!"));
  EXPECT_EQ(desktop.started.size(), 1u);
}

TEST_F(UpdateWindow, StartUpPromptAnsweredNoDoesNothing) {
  Publish("4.5.26.229");
  host.box_answers.push_back(ui::kIdNo);
  Open();
  form->StartupFinished();
  Drain();
  EXPECT_EQ(host.boxes.size(), 1u);
  EXPECT_TRUE(host.modals.empty());
  EXPECT_TRUE(desktop.started.empty());
  EXPECT_EQ(form->BackgroundServerVersion, "4.5.26.229");
}

TEST_F(UpdateWindow, NoPromptWithoutANewerVersion) {
  Publish("4.5.26.228");
  Open();
  form->StartupFinished();
  Drain();
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
