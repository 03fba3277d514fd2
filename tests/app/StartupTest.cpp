#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "shell/Catalogue.h"
#include "app/MainForm.h"
#include "app/RecordingMainForm.h"
#include "app/Startup.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeSystem.h"
#include "fakes/HeadlessHost.h"

namespace {

using testing_support::RecordingMainForm;

struct StartupFixture : ::testing::Test, fakes::FakePlatform {
  std::shared_ptr<fakes::HeadlessHost> host;
  std::function<void(fakes::HeadlessHost&)> configure_host;
  int process_ended_at_once = 0;

  int Start() {
    app::StartupHooks hooks;
    hooks.end_process_now = [this] { ++process_ended_at_once; };
    hooks.make_host = [this] {
      log.push_back("MakeHost");
      auto made = std::make_shared<fakes::HeadlessHost>();
      made->events = &log;
      host = made;
      if (configure_host) configure_host(*made);
      return std::shared_ptr<ui::UiHost>(made);
    };
    hooks.create_main = [this](ui::Application& app, shell::Services& s) -> app::TForm1* {
      return app.CreateForm<RecordingMainForm>(s, log);
    };
    return app::RunVelmora(services, hooks);
  }
};

TEST_F(StartupFixture, RunsEveryStepInOrderOnASupportedSystem) {
  system.os = {10, 0, 19045};
  std::vector<std::string> windows_at_run;
  configure_host = [&](fakes::HeadlessHost& h) {
    h.run_action = [&](ui::Form& main) {
      for (ui::Form* f : main.App().Forms()) windows_at_run.push_back(f->Name());
    };
  };
  EXPECT_EQ(Start(), 0);
  const std::vector<std::string> expected = {
      "OpenMutex Velmora", "CreateMutex Velmora", "SetThreadLocale 1049", "MakeHost",
      "CreateForm Form1", "ClearPingLabels", "LoadFiltersReload", "LoadNastr",
      "LoadNetworkCards", "UpdateNETOption", "LoadDNS dns.ini", "ComboBoxDNSChange",
      "CreateForm Form10", "CreateForm Form8", "CleanTranslationsLikeGlobload", "LoadLanguage",
      "globload", "Run Form1", "SaveNastr"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(windows_at_run, (std::vector<std::string>{"Form1", "Form10", "Form8"}));
}

TEST_F(StartupFixture, AWorkerStillRunningAtCloseIsNotWaitedForTheProcessEndsAtOnce) {
  system.os = {10, 0, 19045};
  for (bool worker_still_running : {false, true}) {
    SCOPED_TRACE(worker_still_running);
    process_ended_at_once = 0;
    system.mutexes.clear();  // each start is the only copy
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::optional<ui::WorkerLink> link;
    configure_host = [&](fakes::HeadlessHost& h) {
      h.run_action = [&](ui::Form& main) {
        link = main.App().GetWorkers().Link();
        // The start-up update check (nothing answers here) ends first.
        while (main.App().GetWorkers().Running("UpdateCheckThread") > 0) {
          main.App().ProcessMessages();
          std::this_thread::yield();
        }
        if (worker_still_running)
          main.App().GetWorkers().Start("CheckThread", [released](const ui::WorkerLink&) { released.wait(); });
      };
    };
    EXPECT_EQ(Start(), 0);
    EXPECT_EQ(process_ended_at_once, worker_still_running ? 1 : 0);
    release.set_value();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (link->Running() > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_EQ(link->Running(), 0);
    EXPECT_TRUE(link->Closed());
  }
}

TEST_F(StartupFixture, SecondCopyLeavesAtOnceWithoutAnyWindow) {
  system.mutexes.insert("Velmora");  // the first copy holds the lock
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"OpenMutex Velmora"}));
  EXPECT_EQ(host, nullptr);  // the screen side was never even made
}

struct OsCase {
  platform::OsVersion os;
  bool passes;
};

class OsCheck : public StartupFixture, public ::testing::WithParamInterface<OsCase> {};

TEST_P(OsCheck, RefusesEverySystemButWindows10And11) {
  system.os = GetParam().os;
  EXPECT_EQ(Start(), 0);
  ASSERT_NE(host, nullptr);
  if (GetParam().passes) {
    EXPECT_TRUE(host->boxes.empty());
    EXPECT_EQ(host->shown_forms, std::vector<std::string>{"Form1"});
    return;
  }
  // The whole start-up ran (caption, loading, translation) but nothing was shown.
  EXPECT_TRUE(host->shown_forms.empty());
  EXPECT_TRUE(std::find(log.begin(), log.end(), "globload") != log.end());
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(host->boxes[0].owner, "");
  EXPECT_EQ(host->boxes[0].text, "Эта программа совместима только с Windows 10 и Windows 11.");
  EXPECT_EQ(host->boxes[0].title, "Ошибка!");
  EXPECT_EQ(host->boxes[0].flags, 0x10u);
  EXPECT_EQ(log.back(), "MessageBox Эта программа совместима только с Windows 10 и Windows 11.");
}

INSTANTIATE_TEST_SUITE_P(Versions, OsCheck,
                         ::testing::Values(OsCase{{10, 0, 10240}, true},
                                           OsCase{{10, 0, 22631}, true},
                                           OsCase{{10, 0, 10239}, false},
                                           OsCase{{6, 3, 9600}, false},
                                           OsCase{{6, 1, 7601}, false},
                                           OsCase{{11, 0, 22000}, false}));

// A language applied at start-up changes the catalogue, and the refusal box shows the
// texts as they stand when it opens.
class TranslatingMainForm : public RecordingMainForm {
 public:
  using RecordingMainForm::RecordingMainForm;
  void globload() override {
    Find("LangOnlyWindows")->SetCaption("Windows 10 or 11 only.");
    Find("LangError")->SetCaption("Error!");
  }
};

TEST_F(StartupFixture, RefusalBoxShowsTheCatalogueAsTranslated) {
  system.os = {6, 3, 9600};
  app::StartupHooks hooks;
  hooks.make_host = [this] {
    auto made = std::make_shared<fakes::HeadlessHost>();
    host = made;
    return std::shared_ptr<ui::UiHost>(made);
  };
  hooks.create_main = [this](ui::Application& app, shell::Services& s) -> app::TForm1* {
    return app.CreateForm<TranslatingMainForm>(s, log);
  };
  app::RunVelmora(services, hooks);
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(host->boxes[0].text, "Windows 10 or 11 only.");
  EXPECT_EQ(host->boxes[0].title, "Error!");
}

}  // namespace
