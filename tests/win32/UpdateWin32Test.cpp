// The updater against the loopback update server of scripts/wine-ctest.sh, which
// serves releases made by scripts/release.sh with the test run's signing key: the real
// WinHTTP client, the real CNG signature check and real windows. Installers and the
// update script are recorded instead of started (the script would start the program
// it updates, here the test executable). Nothing here leaves 127.0.0.0/8.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <regex>
#include <thread>

#include "app/MainForm.h"
#include "build_settings.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "platform/win32/Win32Crypto.h"
#include "platform/win32/Win32Desktop.h"
#include "platform/win32/Wide.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "update/ReleaseFixture.h"
#include "update/Signature.h"
#include "update/UpdateForm.h"
#include "win32/RealPlatform.h"
#include "bench/StallProbe.h"
#include "win32/RecordingDesktop.h"
#include "win32/Win32TestSupport.h"
#include "app/Startup.h"
#include "platform/win32/Win32DnsTransport.h"

namespace {

using platform::win32::Narrow;
using platform::win32::Widen;
using win32_test::ControlText;
using win32_test::FindControl;

constexpr char kServer[] = "http://127.0.0.1:47081";

bool HaveUpdateServer() { return std::getenv("VELMORA_UPDATE_SERVER") != nullptr; }
#define REQUIRE_UPDATE_SERVER() \
  if (!HaveUpdateServer()) GTEST_SKIP() << "needs the update server of scripts/wine-ctest.sh"

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

using RecordingDesktop = win32_test::RecordingDesktop;

class TestUpdateForm : public update::TForm10 {
 public:
  using TForm10::TForm10;
  std::string LocalVersion() override { return VELMORA_VERSION; }
};

TEST(UpdateSignatureWin32, CngChecksOpensslSignatures) {
  platform::win32::Win32SignatureVerifier verifier;
  using namespace update_test;
  const std::vector<uint8_t> message = Bytes(kSignedMessage);
  const std::vector<uint8_t> signature = Bytes(FromHex(kSignatureDerHex));
  EXPECT_TRUE(update::VerifyReleaseSignature(verifier, kTestPublicKeyPem, message, signature));
  std::vector<uint8_t> changed = message;
  changed[0] ^= 1;
  EXPECT_FALSE(update::VerifyReleaseSignature(verifier, kTestPublicKeyPem, changed, signature));
  std::vector<uint8_t> bad_signature = signature;
  bad_signature[10] ^= 1;
  EXPECT_FALSE(update::VerifyReleaseSignature(verifier, kTestPublicKeyPem, message, bad_signature));
  // The key this build trusts did not make the fixture.
  EXPECT_FALSE(update::VerifyReleaseSignature(verifier, VELMORA_UPDATE_PUBLIC_KEY, message, signature));
}

// Waits (on a thread of the test's own) for the message box titled "Velmora" and
// reads its text and its Yes and No captions; null when none came or `stop` was set.
struct Box {
  HWND window = nullptr;
  std::string text, yes, no;
};
Box WaitForBox(const std::atomic<bool>& stop) {
  Box box;
  for (int i = 0; i < 2000 && !box.window && !stop; ++i) {
    box.window = FindWindowW(L"#32770", L"Velmora");
    if (!box.window) Sleep(10);
  }
  if (!box.window) return box;
  Sleep(200);
  box.text = Narrow(ControlText(GetDlgItem(box.window, 0xFFFF)));
  box.yes = Narrow(ControlText(GetDlgItem(box.window, IDYES)));
  box.no = Narrow(ControlText(GetDlgItem(box.window, IDNO)));
  return box;
}
void Answer(const Box& box, int button) {
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box.window, button)));
}

struct UpdateWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  RecordingDesktop desktop;
  platform::win32::Win32SignatureVerifier verifier;
  update::UpdaterPlatform updater{desktop, verifier,
                                  {{std::string(kServer) + "/missing/download/", std::string(kServer) + "/download/"},
                                   VELMORA_UPDATE_PUBLIC_KEY}};
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  TestUpdateForm* form = nullptr;
  std::string settings_path;
  std::optional<std::vector<uint8_t>> saved_settings;
  std::string portable_marker;

  ~UpdateWin32() override {
    Drain();
    application.reset();
    host.reset();
    if (!settings_path.empty()) {
      if (saved_settings) real.files.WriteFile(settings_path, *saved_settings);
      else real.files.RemoveFile(settings_path);
    }
    if (!portable_marker.empty()) real.files.RemoveFile(portable_marker);
  }

  std::string ExeFolder() { return Narrow(win32_test::ExeFolder()); }
  void MakePortable() {
    portable_marker = ExeFolder() + "portable.ini";
    real.files.WriteFile(portable_marker, {});
  }
  // Makes the windows with the start-up check on or off in the settings file.
  void Open(bool auto_check) {
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    auto* main = application->CreateForm<app::TForm1>(real.services);
    if (settings_path.empty()) {
      settings_path = main->PortablePath();
      saved_settings = real.files.ReadFile(settings_path);
    }
    auto document = common::IniDocument::Load(real.files, settings_path, real.system.AnsiCodePage(),
                                              common::IniOptions::Settings());
    ASSERT_TRUE(document);
    document->ini.WriteBool("Option", "CheckBoxAutoCheck", auto_check);
    ASSERT_TRUE(document->Save(real.files, settings_path, real.system.AnsiCodePage()));
    form = application->CreateForm<TestUpdateForm>(real.services, &updater);
  }
  void Drain() {
    if (!application) return;
    for (int i = 0; i < 2000; ++i) {
      win32_test::Pump();
      if (application->GetWorkers().Running() == 0 && application->GetWorkers().Waiting() == 0) break;
      Sleep(5);
    }
    win32_test::Pump();
  }
  // Shows the window as the menu does, without its modal loop, and waits for the check.
  HWND ShowAndCheck() {
    form->FormShow();
    host->PeerOf(*form)->Show();
    Drain();
    return host->WindowOf(*form);
  }
  std::string Text(const char* name) { return Narrow(ControlText(FindControl(host->WindowOf(*form), Widen(name)))); }
  HWND Control(const char* name) { return FindControl(host->WindowOf(*form), Widen(name)); }
  std::string ServerLog() {
    platform::HttpResponse r = real.http.CreateClient({})->Get(std::string(kServer) + "/control/log");
    return r.body;
  }
  void ResetServerLog() { real.http.CreateClient({})->Get(std::string(kServer) + "/control/reset"); }
};

TEST_F(UpdateWin32, TheCheckShowsTheNewerVersionAndTheDownloadSavesIt) {
  REQUIRE_UPDATE_SERVER();
  Open(false);
  HWND window = ShowAndCheck();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Text("LabelUpDate"), std::string("Доступно обновление ") + VELMORA_VERSION + " ---> 4.5.26.229");
  EXPECT_EQ(Text("LabelServerVersion"), "4.5.26.229");
  EXPECT_EQ(Text("LabelLocalVersion"), VELMORA_VERSION);
  EXPECT_TRUE(IsWindowEnabled(Control("ButtonDownload")));
  // Its own taskbar button.
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  win32_test::SaveScreenshot(window, L"update-available");

  // Quick off: the installer is opened for the user and the window stays.
  SendMessageW(Control("CheckBoxQuickUpdate"), BM_CLICK, 0, 0);
  // While the installer is being started, another process can neither change nor
  // delete nor rename it.
  std::vector<std::string> attempts;
  desktop.on_start = [&](const std::string& program) {
    const std::string cmd = desktop.SystemFolder() + "cmd.exe";
    const std::string hostile[] = {"/c echo changed>>\"" + program + "\"", "/c del /f /q \"" + program + "\"",
                                   "/c ren \"" + program + "\" other.exe",
                                   "/c copy /y \"" + cmd + "\" \"" + program + "\""};
    for (const std::string& args : hostile) {
      platform::ProcessOutcome outcome = real.processes.Execute(cmd, args, true, 30000);
      attempts.push_back(args + " -> " + (outcome.exit_code ? std::to_string(*outcome.exit_code) : outcome.error));
    }
  };
  SendMessageW(Control("ButtonDownload"), BM_CLICK, 0, 0);
  Drain();
  EXPECT_EQ(Text("LabelUpDate"), "Файлы обновления загружены!");
  EXPECT_EQ(form->ProgressBarUpdate->Position(), 100);
  EXPECT_EQ(SendMessageW(Control("ProgressBarUpdate"), PBM_GETPOS, 0, 0), 100);
  const auto original = real.files.ReadFile(ExeFolder() + "update-server\\newer\\download\\Velmora\\Velmora-setup.exe");
  ASSERT_TRUE(original);
  ASSERT_EQ(desktop.started.size(), 1u);
  const RecordingDesktop::Started& started = desktop.started[0];
  // Started from a folder of its own, unchanged by the other process's attempts.
  ASSERT_EQ(desktop.folders.size(), 1u);
  EXPECT_EQ(started.program, desktop.folders[0] + "Velmora-setup.exe");
  EXPECT_EQ(started.bytes, std::string(original->begin(), original->end()));
  EXPECT_EQ(attempts.size(), 4u);
  for (const std::string& attempt : attempts) std::printf("held installer: %s\n", attempt.c_str());
  EXPECT_EQ(started.parameters, "");
  EXPECT_EQ(desktop.exits, 0);
  // Once it has started, the program lets go of the file.
  HANDLE after = CreateFileW(Widen(started.program).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(after, INVALID_HANDLE_VALUE);
  if (after != INVALID_HANDLE_VALUE) CloseHandle(after);
  win32_test::SaveScreenshot(window, L"update-downloaded");
}

TEST_F(UpdateWin32, AnInstallerThatCannotStartLeavesTheProgramRunningWithItsMessage) {
  REQUIRE_UPDATE_SERVER();
  // A release whose signed "installer" is no program at all.
  updater.config.servers = {std::string(kServer) + "/broken/download/"};
  desktop.start_for_real = true;
  Open(false);
  HWND window = ShowAndCheck();
  ASSERT_TRUE(IsWindowEnabled(Control("ButtonDownload"))) << Text("LabelUpDate");
  SendMessageW(Control("ButtonDownload"), BM_CLICK, 0, 0);
  Drain();
  ASSERT_EQ(desktop.started.size(), 1u);
  EXPECT_EQ(desktop.exits, 0);
  EXPECT_EQ(Text("LabelUpDate"), "Не удалось запустить обновление");
  // The system's reason, naming the file, is in the activity log.
  const auto& log = static_cast<app::TForm1*>(application->MainForm())->Commands().MemoLogCom->Lines();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find(" - Не удалось запустить обновление: "), std::string::npos) << log.back();
  EXPECT_NE(log.back().find("Velmora-setup.exe"), std::string::npos) << log.back();
  EXPECT_EQ(Text("ButtonDownload"), "Скачать");
  EXPECT_TRUE(IsWindowEnabled(Control("ButtonClose")));
  win32_test::SaveScreenshot(window, L"update-not-started");
}

TEST_F(UpdateWin32, ADownloadWhoseServerPausesKeepsTheWindowAnsweringAndACancelActsAtOnce) {
  REQUIRE_UPDATE_SERVER();
  // Half the installer, then a pause of 3 s before the rest.
  updater.config.servers = {std::string(kServer) + "/pause/download/"};
  Open(false);
  HWND window = ShowAndCheck();
  ASSERT_TRUE(IsWindowEnabled(Control("ButtonDownload"))) << Text("LabelUpDate");
  HWND button = Control("ButtonDownload");
  HWND bar = Control("ProgressBarUpdate");
  SendMessageW(button, BM_CLICK, 0, 0);
  // The UI thread handles its messages here while the transfer waits on the paused
  // server; a probe measures the longest stretch in which no message was handled.
  bench::StallProbe probe;
  probe.Start();
  const DWORD until = GetTickCount() + 1500;
  std::string caption_during;
  while (GetTickCount() < until) {
    MSG msg;
    if (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  probe.Stop();
  const double longest = probe.LongestMs();
  caption_during = Narrow(ControlText(button));
  win32_test::SaveScreenshot(window, L"update-downloading");
  const DWORD clicked = GetTickCount();
  SendMessageW(button, BM_CLICK, 0, 0);
  const DWORD cancelled_in = GetTickCount() - clicked;
  EXPECT_EQ(caption_during, "Отмена");
  EXPECT_LT(longest, 50.0);
  EXPECT_LT(cancelled_in, 50u);
  std::printf("paused download: longest stretch without messages %.1f ms, cancel took %lu ms\n", longest,
              static_cast<unsigned long>(cancelled_in));
  EXPECT_EQ(Text("LabelUpDate"), "Файлы обновления не загружены!");
  EXPECT_EQ(Text("ButtonDownload"), "Скачать");
  EXPECT_TRUE(IsWindowEnabled(Control("ButtonClose")));
  EXPECT_FALSE(IsWindowVisible(bar));
  Drain();
  EXPECT_TRUE(desktop.started.empty());
  EXPECT_TRUE(desktop.folders.empty());
  win32_test::SaveScreenshot(window, L"update-cancelled");
}

TEST_F(UpdateWin32, AServerThatTricklesItsVersionFileIsGivenUpAtTheBound) {
  REQUIRE_UPDATE_SERVER();
  // One byte every 2 s: no read time-out ever passes, the overall bound does.
  updater.config.servers = {std::string(kServer) + "/trickle/download/"};
  updater.config.limits.version_total_ms = 1500;
  Open(false);
  const DWORD start = GetTickCount();
  ShowAndCheck();
  const DWORD took = GetTickCount() - start;
  EXPECT_EQ(Text("LabelUpDate"), "Не удалось проверить обновления");
  EXPECT_EQ(Text("LabelServerVersion"), "Ошибка соединения");
  EXPECT_LT(took, 4000u);
  std::printf("trickled check ended after %lu ms (bound 1500 ms)\n", static_cast<unsigned long>(took));
}

TEST_F(UpdateWin32, AVersionFileNotSignedByTheMakerIsSaidToBeSo) {
  REQUIRE_UPDATE_SERVER();
  // The "same" release's signature served for the "newer" version file.
  updater.config.servers = {std::string(kServer) + "/mismatched/download/"};
  Open(false);
  ShowAndCheck();
  EXPECT_EQ(Text("LabelUpDate"), "Не удалось проверить обновления");
  EXPECT_EQ(Text("LabelServerVersion"), "Файлы обновления не подписаны разработчиком");
}

TEST_F(UpdateWin32, AFailedCheckLeavesTheDownloadToTheForcedOption) {
  REQUIRE_UPDATE_SERVER();
  updater.config.servers = {std::string(kServer) + "/missing/download/"};
  Open(false);
  HWND window = ShowAndCheck();
  EXPECT_EQ(Text("LabelUpDate"), "Не удалось проверить обновления");
  EXPECT_EQ(Text("LabelServerVersion"), "Ошибка соединения");
  EXPECT_FALSE(IsWindowEnabled(Control("ButtonDownload")));
  SendMessageW(Control("CheckBoxForceUpdate"), BM_CLICK, 0, 0);
  EXPECT_TRUE(IsWindowEnabled(Control("ButtonDownload")));
  win32_test::SaveScreenshot(window, L"update-check-failed");
}

TEST_F(UpdateWin32, PortableCopyRefusesATamperedArchiveAndScriptsAGoodOne) {
  REQUIRE_UPDATE_SERVER();
  MakePortable();
  updater.config.servers = {std::string(kServer) + "/tampered/download/"};
  Open(false);
  ShowAndCheck();
  SendMessageW(Control("ButtonDownload"), BM_CLICK, 0, 0);
  Drain();
  EXPECT_EQ(Text("LabelUpDate"), "Файлы обновления не подписаны разработчиком");
  EXPECT_TRUE(desktop.folders.empty());
  EXPECT_TRUE(desktop.started.empty());
  EXPECT_EQ(desktop.exits, 0);

  // The same archive unchanged passes and becomes the update script's work.
  updater.config.servers = {std::string(kServer) + "/download/"};
  ShowAndCheck();
  SendMessageW(Control("ButtonDownload"), BM_CLICK, 0, 0);
  Drain();
  ASSERT_EQ(desktop.started.size(), 1u);
  ASSERT_EQ(desktop.folders.size(), 1u);
  const std::string folder = desktop.folders[0];
  EXPECT_TRUE(desktop.started[0].hidden);
  EXPECT_EQ(desktop.started[0].program, desktop.SystemFolder() + "cmd.exe");
  EXPECT_EQ(desktop.exits, 1);
  const std::string params = desktop.started[0].parameters;
  ASSERT_EQ(params.rfind("/d /c \"\"", 0), 0u) << params;
  ASSERT_EQ(params.substr(params.size() - 2), "\"\"") << params;
  const std::string script = params.substr(8, params.size() - 10);
  EXPECT_TRUE(std::regex_match(script.substr(script.find_last_of('\\') + 1), std::regex("update_[0-9]{6}[.]bat")))
      << script;
  EXPECT_EQ(script.rfind(folder, 0), 0u);
  EXPECT_TRUE(real.files.FileExists(folder + "Velmora.zip"));
  std::string exe = Narrow(win32_test::ExeFolder());
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string exe_path = Narrow(path);
  std::string exe_name = exe_path.substr(exe_path.find_last_of('\\') + 1);
  auto bytes = real.files.ReadFile(script);
  ASSERT_TRUE(bytes);
  // In the command processor's code page, as the system converts it.
  const std::string text = update::PortableUpdateScript(exe, exe_name, folder + "Velmora.zip", desktop.SystemFolder());
  std::wstring wide = Widen(text);
  int n = WideCharToMultiByte(CP_OEMCP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string oem(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, wide.c_str(), static_cast<int>(wide.size()), oem.data(), n, nullptr, nullptr);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), oem);
}

TEST_F(UpdateWin32, TheStartUpCheckAsksOnlyWhenItIsOn) {
  REQUIRE_UPDATE_SERVER();
  // The program's own version on the server: no prompt either way.
  updater.config.servers = {std::string(kServer) + "/same/download/"};
  ResetServerLog();
  Open(false);
  Drain();
  Sleep(300);
  Drain();
  EXPECT_EQ(ServerLog(), "");
  EXPECT_FALSE(form->CheckBoxAutoCheck->Checked());
  Drain();
  application.reset();
  host.reset();

  ResetServerLog();
  Open(true);
  Drain();
  EXPECT_EQ(ServerLog(), "/same/download/Velmora/version.txt\n/same/download/Velmora/version.txt.sig\n");
}

TEST_F(UpdateWin32, TheStartUpPromptOpensTheWindowThatDownloadsByItself) {
  REQUIRE_UPDATE_SERVER();
  Box box;
  std::atomic<bool> stop{false};
  std::thread user([&] {
    // Answer the prompt with its first button, then close the window once the
    // installer has been started.
    box = WaitForBox(stop);
    if (!box.window) return;
    win32_test::SaveScreenshot(box.window, L"update-startup-prompt");
    Answer(box, IDYES);
    for (int i = 0; i < 1000 && desktop.exits == 0 && !stop; ++i) Sleep(10);
    Sleep(100);
    if (HWND window = FindWindowW(nullptr, L"Обновление")) PostMessageW(window, WM_CLOSE, 0, 0);
  });
  Open(true);
  Drain();
  form->StartupFinished();
  Drain();
  stop = true;
  user.join();
  EXPECT_EQ(box.yes, "Да");
  EXPECT_EQ(box.no, "Нет");
  EXPECT_NE(box.text.find("Доступно обновление 4.5.26.229"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("Хотите обновить приложение сейчас?"), std::string::npos) << box.text;
  ASSERT_EQ(desktop.started.size(), 1u);
  EXPECT_EQ(desktop.started[0].program.substr(desktop.started[0].program.find_last_of('\\') + 1), "Velmora-setup.exe");
  EXPECT_EQ(desktop.started[0].parameters, "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG= /MERGETASKS=\"runcmd1\"");
  EXPECT_EQ(desktop.exits, 1);
}

// The whole start-up with English chosen: the offer comes once the main window is on
// screen, in English.
TEST_F(UpdateWin32, WithEnglishChosenTheStartUpOfferIsInEnglishOverTheShownMainWindow) {
  REQUIRE_UPDATE_SERVER();
  Open(false);  // finds the settings file and keeps it to put back
  Drain();
  application.reset();
  host.reset();
  const std::string english = ExeFolder() + "Language\\English.ini";
  const auto english_before = real.files.ReadFile(english);
  ASSERT_TRUE(english_before) << english;
  {
    auto document = common::IniDocument::Load(real.files, settings_path, real.system.AnsiCodePage(),
                                              common::IniOptions::Settings());
    ASSERT_TRUE(document);
    document->ini.WriteBool("Option", "CheckBoxAutoCheck", true);
    document->ini.WriteString("Language", "Language", "English");
    ASSERT_TRUE(document->Save(real.files, settings_path, real.system.AnsiCodePage()));
  }
  Box box;
  bool main_window_shown = false;
  std::atomic<bool> stop{false};
  std::thread user([&] {
    box = WaitForBox(stop);
    if (!box.window) return;
    // The main window: a visible top-level window of this process that is not the box.
    struct Search {
      HWND box;
      HWND main = nullptr;
    } search{box.window};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid == GetCurrentProcessId() && w != s->box && IsWindowVisible(w) &&
              Narrow(ControlText(w)).rfind("Velmora", 0) == 0)
            s->main = w;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    main_window_shown = search.main != nullptr;
    if (search.main) win32_test::SaveScreenshot(search.main, L"update-offer-main-window");
    win32_test::SaveScreenshot(box.window, L"update-offer-english");
    Answer(box, IDNO);
    Sleep(200);
    if (search.main) PostMessageW(search.main, WM_CLOSE, 0, 0);
  });
  platform::win32::Win32DnsTransport transport;
  platform::win32::Win32Clipboard clipboard;
  dnsbench::BenchPlatform bench{transport, real.clock, clipboard, {}};
  app::StartupHooks hooks;
  hooks.updater = &updater;
  hooks.dnsbench = &bench;
  hooks.make_host = [] { return std::make_shared<ui::win32::Win32Host>(); };
  hooks.end_process_now = [] {};
  app::RunVelmora(real.services, hooks);
  stop = true;
  user.join();
  real.files.WriteFile(english, *english_before);
  EXPECT_TRUE(main_window_shown);
  EXPECT_EQ(box.yes, "Yes");
  EXPECT_EQ(box.no, "No");
  EXPECT_NE(box.text.find("Update available 4.5.26.229"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("Do you want to update the app now?"), std::string::npos) << box.text;
  EXPECT_TRUE(desktop.started.empty());
}

TEST_F(UpdateWin32, UpdateRequestsCheckTheServerCertificate) {
  if (!std::getenv("VELMORA_LOOPBACK_SERVERS")) GTEST_SKIP() << "needs the loopback servers";
  // The loopback HTTPS server's certificate is self-signed.
  platform::HttpSettings settings = update::VersionRequestSettings({});
  EXPECT_FALSE(real.http.CreateClient(settings)->Get("https://127.0.0.1:47443/whoami").ok);
  settings.verify_certificates = false;
  EXPECT_TRUE(real.http.CreateClient(settings)->Get("https://127.0.0.1:47443/whoami").ok);
}

}  // namespace
