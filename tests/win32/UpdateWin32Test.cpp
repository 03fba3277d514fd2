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
#include "win32/Win32TestSupport.h"

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

// Records what would be started; the temporary folder is the real one.
class RecordingDesktop : public platform::Desktop {
 public:
  struct Opened {
    std::string file, parameters;
    bool hidden;
  };
  std::string TempDirectory() override { return real_.TempDirectory(); }
  bool ShellOpen(const std::string& file, const std::string& parameters, bool hidden) override {
    opened.push_back({file, parameters, hidden});
    return true;
  }
  void ExitProcessNow() override { ++exits; }
  std::vector<Opened> opened;
  std::atomic<int> exits{0};

 private:
  platform::win32::Win32Desktop real_;
};

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
  const std::string target = desktop.TempDirectory() + "Velmora-setup.exe";
  real.files.RemoveFile(target);
  SendMessageW(Control("ButtonDownload"), BM_CLICK, 0, 0);
  Drain();
  EXPECT_EQ(Text("LabelUpDate"), "Файлы обновления загружены!");
  EXPECT_EQ(form->ProgressBarUpdate->Position(), 100);
  EXPECT_EQ(SendMessageW(Control("ProgressBarUpdate"), PBM_GETPOS, 0, 0), 100);
  auto saved = real.files.ReadFile(target);
  ASSERT_TRUE(saved);
  EXPECT_GT(saved->size(), 100000u);
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(desktop.opened[0].file, target);
  EXPECT_EQ(desktop.opened[0].parameters, "");
  EXPECT_EQ(desktop.exits, 0);
  win32_test::SaveScreenshot(window, L"update-downloaded");
  real.files.RemoveFile(target);
}

TEST_F(UpdateWin32, ACancelClickGetsThroughASlowTransferAndTheFileIsGone) {
  REQUIRE_UPDATE_SERVER();
  updater.config.servers = {std::string(kServer) + "/slow/download/"};
  Open(false);
  HWND window = ShowAndCheck();
  ASSERT_TRUE(IsWindowEnabled(Control("ButtonDownload")));
  const std::string target = desktop.TempDirectory() + "Velmora-setup.exe";
  real.files.WriteFile(target, Bytes("from an earlier run"));
  HWND button = Control("ButtonDownload");
  HWND bar = Control("ProgressBarUpdate");
  std::string caption_during;
  std::thread user([&] {
    // Wait for the bar to move, look, then click the button (now "Отмена").
    for (int i = 0; i < 400 && SendMessageW(bar, PBM_GETPOS, 0, 0) < 2; ++i) Sleep(10);
    caption_during = Narrow(ControlText(button));
    win32_test::SaveScreenshot(window, L"update-downloading");
    PostMessageW(button, BM_CLICK, 0, 0);
  });
  SendMessageW(button, BM_CLICK, 0, 0);
  user.join();
  Drain();
  EXPECT_EQ(caption_during, "Отмена");
  EXPECT_EQ(Text("LabelUpDate"), "Файлы обновления не загружены!");
  EXPECT_EQ(Text("ButtonDownload"), "Скачать");
  EXPECT_TRUE(IsWindowEnabled(Control("ButtonClose")));
  EXPECT_FALSE(IsWindowVisible(bar));
  EXPECT_FALSE(real.files.FileExists(target));
  EXPECT_TRUE(desktop.opened.empty());
  win32_test::SaveScreenshot(window, L"update-cancelled");
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
  const std::string zip = ExeFolder() + "Velmora.zip";
  real.files.RemoveFile(zip);
  SendMessageW(Control("ButtonDownload"), BM_CLICK, 0, 0);
  Drain();
  EXPECT_EQ(Text("LabelUpDate"), "Файлы обновления не загружены!");
  EXPECT_FALSE(real.files.FileExists(zip));
  EXPECT_TRUE(desktop.opened.empty());
  EXPECT_EQ(desktop.exits, 0);

  // The same archive unchanged passes and becomes the update script's work.
  updater.config.servers = {std::string(kServer) + "/download/"};
  ShowAndCheck();
  SendMessageW(Control("ButtonDownload"), BM_CLICK, 0, 0);
  Drain();
  EXPECT_TRUE(real.files.FileExists(zip));
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_TRUE(desktop.opened[0].hidden);
  EXPECT_EQ(desktop.exits, 1);
  const std::string script = desktop.opened[0].file;
  EXPECT_TRUE(std::regex_match(script.substr(desktop.TempDirectory().size()), std::regex(R"(update_\d{6}\.bat)")))
      << script;
  std::string exe = Narrow(win32_test::ExeFolder());
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string exe_path = Narrow(path);
  std::string exe_name = exe_path.substr(exe_path.find_last_of('\\') + 1);
  auto bytes = real.files.ReadFile(script);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()),
            common::Utf8ToAnsi(update::PortableUpdateScript(exe, exe_name, "Velmora.zip"), GetACP()));
  real.files.RemoveFile(script);
  real.files.RemoveFile(zip);
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
  std::string prompt_text, yes_caption, no_caption;
  std::atomic<bool> stop{false};
  std::thread user([&] {
    // Answer the prompt with its first button, then close the window once the
    // installer has been started.
    HWND box = nullptr;
    for (int i = 0; i < 1000 && !box && !stop; ++i) {
      box = FindWindowW(L"#32770", L"Velmora");
      if (!box) Sleep(10);
    }
    if (!box) return;
    Sleep(200);
    HWND text = GetDlgItem(box, 0xFFFF);
    prompt_text = Narrow(ControlText(text));
    yes_caption = Narrow(ControlText(GetDlgItem(box, IDYES)));
    no_caption = Narrow(ControlText(GetDlgItem(box, IDNO)));
    win32_test::SaveScreenshot(box, L"update-startup-prompt");
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDYES)));
    for (int i = 0; i < 1000 && desktop.exits == 0 && !stop; ++i) Sleep(10);
    Sleep(100);
    if (HWND window = FindWindowW(nullptr, L"Обновление")) PostMessageW(window, WM_CLOSE, 0, 0);
  });
  Open(true);
  Drain();
  stop = true;
  user.join();
  EXPECT_EQ(yes_caption, "Да");
  EXPECT_EQ(no_caption, "Нет");
  EXPECT_NE(prompt_text.find("Доступно обновление 4.5.26.229"), std::string::npos) << prompt_text;
  EXPECT_NE(prompt_text.find("Хотите обновить приложение сейчас?"), std::string::npos) << prompt_text;
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(desktop.opened[0].file, desktop.TempDirectory() + "Velmora-setup.exe");
  EXPECT_EQ(desktop.opened[0].parameters, "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG= /MERGETASKS=\"runcmd1\"");
  EXPECT_EQ(desktop.exits, 1);
  real.files.RemoveFile(desktop.TempDirectory() + "Velmora-setup.exe");
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
