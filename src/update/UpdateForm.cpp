#include "update/UpdateForm.h"

#include <stdexcept>

#include "app/Catalogue.h"
#include "app/Page.h"
#include "build_settings.h"
#include "common/FileInfoUtils.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "proxy/ProxyBand.h"
#include "proxy/ProxyText.h"
#include "update/Signature.h"

namespace update {

const UpdateMessage kUpdateMessages[14] = {
    {"LangNoDownload", "Файлы обновления не загружены!"},
    {"LangDownloadComplet", "Файлы обновления загружены!"},
    {"LangNoUpdate", "Нет обновления"},
    {"LangServerVersion", "Версия на сервере:"},
    {"LangVersionComputer", "Версия на компьютере:"},
    {"LangUpdateAvailable", "Доступно обновление"},
    {"LangDownload", "Скачать"},
    {"LangCancel", "Отмена"},
    {"LangUpdateNow", "Хотите обновить приложение сейчас?"},
    {"LangYes", "Да"},
    {"LangNo", "Нет"},
    {"LangCheckUpdate", "Проверка обновления..."},
    {"LangFailedCheckUpdates", "Не удалось проверить обновления"},
    {"LangConnectionError", "Ошибка соединения"},
};

namespace {

constexpr char kSection[] = "Option";
constexpr char kScriptFailed[] = "Failed to create update script!";

// Used when the window is made without the desktop services: nothing is ever opened
// or accepted.
class RefusingDesktop : public platform::Desktop {
 public:
  std::string TempDirectory() override { return {}; }
  bool ShellOpen(const std::string&, const std::string&, bool) override { return false; }
  void ExitProcessNow() override {}
};
class RefusingVerifier : public platform::SignatureVerifier {
 public:
  bool VerifyP256Sha256(const std::vector<uint8_t>&, const platform::P256RawSignature&,
                        const platform::P256PublicPoint&) override {
    return false;
  }
};

UpdaterPlatform& RefusingPlatform() {
  static RefusingDesktop desktop;
  static RefusingVerifier verifier;
  static UpdaterPlatform platform{desktop, verifier, UpdaterConfig{}};
  return platform;
}

// a / b rounded to the nearest integer, halves to even; b > 0.
int64_t DivideRounded(int64_t a, int64_t b) {
  int64_t q = a / b, r = a % b;
  if (2 * r > b || (2 * r == b && (q & 1))) ++q;
  return q;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Carries the download client's progress to the window's events.
class DownloadProgress : public platform::HttpProgress {
 public:
  explicit DownloadProgress(TForm10& form) : form_(form) {}
  void WorkBegin(int64_t expected) override { form_.IdHTTP1WorkBegin(expected); }
  bool Work(int64_t received) override { return form_.IdHTTP1Work(received); }
  void WorkEnd() override { form_.IdHTTP1WorkEnd(); }

 private:
  TForm10& form_;
};

}  // namespace

UpdaterConfig BuildUpdaterConfig() {
  return {{VELMORA_UPDATE_PRIMARY_URL, VELMORA_UPDATE_FALLBACK_URL}, VELMORA_UPDATE_PUBLIC_KEY};
}

TForm10::TForm10(ui::Application& app, app::Services& services, UpdaterPlatform* platform)
    : ui::Form(app, "Form10"), services_(services), platform_(platform ? platform : &RefusingPlatform()) {
  CreateComponents();
}

TForm10::~TForm10() = default;

void TForm10::CreateComponents() {
  SetCaption("Обновление");
  SetClientSize(434, 191);
  SetMinSize(400, 230);
  SetResizable(false);
  SetMaximizeBox(false);
  SetMinimizeBox(false);
  SetPosition(ui::Position::DesktopCenter);
  SetDoubleBuffered(true);
  SetFont(ui::Font{"Segoe UI", -12});
  SetOwnTaskbarButton(true);

  // Bottom-aligned parts stack upwards in the order they are made.
  TabControlButtons = Create<ui::Panel>(this, "TabControlButtons");
  TabControlButtons->SetAlign(ui::Align::Bottom);
  TabControlButtons->SetBounds({0, 150, 434, 41});
  ButtonDownload = Create<ui::Button>(TabControlButtons, "ButtonDownload");
  ButtonDownload->SetCaption("Скачать");
  ButtonDownload->SetBounds({246, 8, 90, 25});
  ButtonDownload->OnClick = [this] { ButtonDownloadClick(); };
  ButtonClose = Create<ui::Button>(TabControlButtons, "ButtonClose");
  ButtonClose->SetCaption("Закрыть");
  ButtonClose->SetBounds({338, 8, 90, 25});
  ButtonClose->OnClick = [this] { ButtonCloseClick(); };

  GroupBoxOption = Create<ui::GroupBox>(this, "GroupBoxOption");
  GroupBoxOption->SetCaption("Опции");
  GroupBoxOption->SetAlign(ui::Align::Bottom);
  GroupBoxOption->SetBounds({0, 104, 434, 46});
  CheckBoxQuickUpdate = Create<ui::CheckBox>(GroupBoxOption, "CheckBoxQuickUpdate");
  CheckBoxQuickUpdate->SetCaption("Быстрое");
  CheckBoxQuickUpdate->SetBounds({12, 20, 90, 19});
  CheckBoxQuickUpdate->SetChecked(true);
  CheckBoxForceUpdate = Create<ui::CheckBox>(GroupBoxOption, "CheckBoxForceUpdate");
  CheckBoxForceUpdate->SetCaption("Принудительное");
  CheckBoxForceUpdate->SetBounds({106, 20, 130, 19});
  CheckBoxForceUpdate->OnClick = [this] { CheckBoxForceUpdateClick(); };
  CheckBoxAutoCheck = Create<ui::CheckBox>(GroupBoxOption, "CheckBoxAutoCheck");
  CheckBoxAutoCheck->SetCaption("Проверять при запуске");
  CheckBoxAutoCheck->SetBounds({240, 20, 186, 19});
  CheckBoxAutoCheck->SetChecked(true);

  ProgressBarUpdate = Create<ui::ProgressBar>(this, "ProgressBarUpdate");
  ProgressBarUpdate->SetAlign(ui::Align::Bottom);
  ProgressBarUpdate->SetBounds({0, 88, 434, 16});

  GroupBox1 = Create<ui::GroupBox>(this, "GroupBox1");
  GroupBox1->SetAlign(ui::Align::Client);
  LabelUpDate = Create<ui::Label>(GroupBox1, "LabelUpDate");
  LabelUpDate->SetCaption("Проверка обновления...");
  LabelUpDate->SetBounds({8, 14, 418, 19});
  LabelUpDate->SetCentered(true);
  LabelUpDate->SetBold(true);
  LabelLocalTitle = Create<ui::Label>(GroupBox1, "LabelLocalTitle");
  LabelLocalTitle->SetCaption("Версия на компьютере:");
  LabelLocalTitle->SetBounds({8, 40, 200, 19});
  LabelLocalTitle->SetRightJustified(true);
  LabelLocalVersion = Create<ui::Label>(GroupBox1, "LabelLocalVersion");
  LabelLocalVersion->SetCaption("0.0.0.0");
  LabelLocalVersion->SetBounds({214, 40, 160, 19});
  LabelLocalVersion->SetCentered(true);
  LabelServerTitle = Create<ui::Label>(GroupBox1, "LabelServerTitle");
  LabelServerTitle->SetCaption("Версия на сервере:");
  LabelServerTitle->SetBounds({8, 62, 200, 19});
  LabelServerTitle->SetRightJustified(true);
  LabelServerVersion = Create<ui::Label>(GroupBox1, "LabelServerVersion");
  LabelServerVersion->SetCaption("0.0.0.0");
  LabelServerVersion->SetBounds({214, 62, 160, 19});
  LabelServerVersion->SetCentered(true);
  LabelServerVersion->SetBold(true);

  PopupMenuLanguage = CreateNonVisual<ui::PopupMenu>("PopupMenuLanguage");
  PopupMenuLanguage->SetAutoPopup(false);
  for (const UpdateMessage& message : kUpdateMessages)
    Create<ui::MenuItem>(PopupMenuLanguage, message.name)->SetCaption(message.text);

  ApplyLayout();
}

std::string TForm10::Msg(const char* name) const { return app::Msg(*this, name); }

app::Shell* TForm10::MainShell() const { return dynamic_cast<app::Shell*>(App().MainForm()); }

bool TForm10::Portable() const {
  app::Shell* shell = MainShell();
  return shell && shell->Portable();
}

std::string TForm10::SettingsPath() const {
  app::Shell* shell = MainShell();
  return shell ? shell->PortablePath() : std::string();
}

std::string TForm10::ProgramFolder() {
  std::string path = services_.system.ProgramPath();
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string TForm10::GetTempDirectory() {
  std::string folder = platform_->desktop.TempDirectory();
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

std::string TForm10::LocalVersion() {
  return common::GetFileVersion(services_.versions, services_.system.ProgramPath());
}

std::string TForm10::FirstServer() const {
  return platform_->config.servers.empty() ? std::string() : platform_->config.servers.front();
}

ProxyChoice TForm10::LookupProxy(std::string_view url) {
  std::optional<platform::HttpProxy> found = proxy::SystemProxyFor(services_.registry, proxy::SchemeOf(url));
  return found ? ProxyChoice{true, true, found->host, found->port} : ProxyChoice{};
}

SignatureCheck TForm10::MakeSignatureCheck() {
  platform::SignatureVerifier* verifier = &platform_->verifier;
  std::string key = platform_->config.public_key;
  return [verifier, key](const std::vector<uint8_t>& data, const std::vector<uint8_t>& signature) {
    return VerifyReleaseSignature(*verifier, key, data, signature);
  };
}

// ---- creation, show, close, settings -------------------------------------------

void TForm10::FormCreate() { LoadNastr(); }

void TForm10::LoadNastr() {
  // A settings file that cannot be read leaves the option on.
  try {
    auto document = common::IniDocument::Load(services_.files, SettingsPath(), services_.system.AnsiCodePage(),
                                              common::IniOptions::Settings());
    if (document) CheckBoxAutoCheck->SetChecked(document->ini.ReadBool(kSection, "CheckBoxAutoCheck", true));
  } catch (...) {
  }
  if (CheckBoxAutoCheck->Checked()) {
    CheckForUpdatesInBackground();
    App().ProcessMessages();
  }
}

void TForm10::SaveNastr() {
  const std::string path = SettingsPath();
  const unsigned code_page = services_.system.AnsiCodePage();
  auto document = common::IniDocument::Load(services_.files, path, code_page, common::IniOptions::Settings());
  if (!document) throw std::runtime_error("Cannot read the settings file " + path);
  document->ini.WriteBool(kSection, "CheckBoxAutoCheck", CheckBoxAutoCheck->Checked());
  if (!document->Save(services_.files, path, code_page))
    throw std::runtime_error("Cannot write the settings file " + path);
}

void TForm10::FormShow() {
  LabelUpDate->SetCaption("");
  LabelLocalVersion->SetCaption(LocalVersion());
  LabelServerVersion->SetCaption("");
  LabelUpDate->SetCaption(Msg("LangCheckUpdate"));
  CheckBoxForceUpdate->SetChecked(false);
  if (QuickStartPending) {
    QuickStartPending = false;
    QuickStartUpdate();
  } else {
    StartCheckThread();
  }
}

void TForm10::FormClose() {
  LabelUpDate->SetCaption("");
  LabelLocalVersion->SetCaption("");
  LabelServerVersion->SetCaption("");
  SaveNastr();
}

void TForm10::ButtonCloseClick() {
  try {
    Close();
  } catch (...) {
  }
}

void TForm10::CheckBoxForceUpdateClick() {
  ButtonDownload->SetTag(0);
  ButtonDownload->SetEnabled(CheckBoxForceUpdate->Checked());
}

// ---- the check -------------------------------------------------------------------

void TForm10::Check(bool found, const ServerVersion& fetched, const std::string& local_version) {
  if (found) {
    UpdateDownloadUrl = fetched.download_url;
    UpdateServerVersion = fetched.version;
    VersionCompareResult = CompareVersions(fetched.version, local_version);
    if (VersionCompareResult == 1)
      LabelUpDate->SetCaption(Msg("LangUpdateAvailable") + " " + local_version + " ---> " + fetched.version);
    else
      LabelUpDate->SetCaption(Msg("LangNoUpdate"));
    LabelServerVersion->SetCaption(fetched.version);
  } else {
    LabelUpDate->SetCaption(Msg("LangFailedCheckUpdates"));
    LabelServerVersion->SetCaption(Msg("LangConnectionError"));
    VersionCompareResult = 0;
    UpdateDownloadUrl.clear();
    UpdateServerVersion.clear();
  }
  App().ProcessMessages();
}

void TForm10::StartCheckThread() {
  GroupBoxOption->SetEnabled(false);
  ButtonDownload->SetEnabled(false);
  // Everything the worker needs is read here, on the UI thread.
  const std::string local_version = LocalVersion();
  const platform::HttpSettings settings = VersionRequestSettings(LookupProxy(FirstServer()));
  const std::vector<std::string> servers = platform_->config.servers;
  const bool portable = Portable();
  SignatureCheck check = MakeSignatureCheck();
  platform::Http* http = &services_.http;
  App().GetWorkers().Start("CheckThread", [=, this](const ui::WorkerLink& link) {
    ServerVersion fetched;
    bool found = FetchServerVersion(*http, settings, servers, portable, check, fetched);
    link.Synchronize([=, this] {
      Check(found, fetched, local_version);
      if (!CheckBoxForceUpdate->Checked()) {
        ButtonDownload->SetTag(0);
        ButtonDownload->SetEnabled(VersionCompareResult == 1);
        GroupBoxOption->SetEnabled(true);
      }
    });
  });
}

void TForm10::CheckForUpdatesInBackground() {
  const std::string local_version = LocalVersion();
  const platform::HttpSettings settings = VersionRequestSettings(LookupProxy(FirstServer()));
  const std::vector<std::string> servers = platform_->config.servers;
  const bool portable = Portable();
  SignatureCheck check = MakeSignatureCheck();
  platform::Http* http = &services_.http;
  App().GetWorkers().Start("UpdateCheckThread", [=, this](const ui::WorkerLink& link) {
    ServerVersion fetched;
    bool found = FetchServerVersion(*http, settings, servers, portable, check, fetched);
    bool newer = found && CompareVersions(fetched.version, local_version) == 1;
    link.Synchronize([=, this] {
      UpdateAvailable = newer;
      BackgroundServerVersion = found ? fetched.version : std::string();
      BackgroundDownloadUrl = found ? fetched.download_url : std::string();
      if (!UpdateAvailable || BackgroundDownloadUrl.empty()) return;
      const std::string text =
          Msg("LangUpdateAvailable") + " " + BackgroundServerVersion + "\r\n" + Msg("LangUpdateNow");
      int answer = App().ShowCaptionedBox(text, App().Title(), ui::kMbYesNo | ui::kMbIconInformation,
                                          {Msg("LangYes"), Msg("LangNo")});
      if (answer != ui::kIdYes) return;
      UpdateDownloadUrl = BackgroundDownloadUrl;
      UpdateServerVersion = BackgroundServerVersion;
      QuickStartPending = true;
      App().ShowModal(*this);
    });
  });
}

void TForm10::QuickStartUpdate() {
  UpdateDownloadUrl = BackgroundDownloadUrl;
  UpdateServerVersion = BackgroundServerVersion;
  LabelUpDate->SetCaption(Msg("LangUpdateAvailable") + " " + LocalVersion() + " ---> " + UpdateServerVersion);
  App().ProcessMessages();
  // The download starts once the window is on screen: a worker hands the click back.
  App().GetWorkers().Start("QuickStartThread", [this](const ui::WorkerLink& link) {
    link.Synchronize([this] {
      try {
        ButtonDownloadClick();
        App().ProcessMessages();
      } catch (...) {
      }
    });
  });
}

// ---- download and install ----------------------------------------------------------

void TForm10::ReturnToIdle(bool clear_progress) {
  ButtonDownload->SetTag(0);
  ButtonDownload->SetCaption(Msg("LangDownload"));
  if (clear_progress) ProgressBarUpdate->SetPosition(0);
  ProgressBarUpdate->SetVisible(false);
  ButtonClose->SetEnabled(true);
  GroupBoxOption->SetEnabled(true);
}

void TForm10::ButtonDownloadClick() {
  if (ButtonDownload->Tag() == 1) {
    // Cancel, also while the first click's transfer is still running below us.
    try {
      ReturnToIdle(true);
      AbortUpdate = true;
      ProgressBarUpdate->SetPosition(0);
      LabelUpDate->SetCaption(Msg("LangNoDownload"));
      services_.files.RemoveFile(GetTempDirectory() + FileNameFromUrl(UpdateDownloadUrl));
      App().ProcessMessages();
    } catch (...) {
    }
    return;
  }

  AbortUpdate = false;
  ButtonDownload->SetTag(1);
  ButtonDownload->SetCaption(Msg("LangCancel"));
  ButtonClose->SetEnabled(false);
  ProgressBarUpdate->SetPosition(0);
  ProgressBarUpdate->SetVisible(true);
  GroupBoxOption->SetEnabled(false);

  const std::string url = UpdateDownloadUrl;
  const std::string file_name = FileNameFromUrl(url);
  const bool portable = Portable();
  const std::string target = (portable ? ProgramFolder() : GetTempDirectory()) + file_name;
  bool downloaded = false;
  try {
    downloaded = !url.empty() && !GetTempDirectory().empty() && UpdateApp(url, target);
  } catch (...) {
    downloaded = false;
  }
  if (!downloaded) {
    // A failed, refused or cancelled download leaves the window ready for another try
    // and says that nothing was downloaded.
    ReturnToIdle(true);
    LabelUpDate->SetCaption(Msg("LangNoDownload"));
    App().ProcessMessages();
    return;
  }

  LabelUpDate->SetCaption(Msg("LangDownloadComplet"));
  if (portable) {
    if (CheckBoxQuickUpdate->Checked()) SimplePortableUpdate(target, services_.system.ProgramPath());
  } else if (CheckBoxQuickUpdate->Checked()) {
    platform_->desktop.ShellOpen(target, InstallerParameters(selected_language_), false);
    App().ProcessMessages();
    platform_->desktop.ExitProcessNow();
    return;
  } else {
    platform_->desktop.ShellOpen(target, "", false);
    App().ProcessMessages();
  }
  // The hidden bar keeps showing how far the download came.
  ReturnToIdle(false);
  App().ProcessMessages();
}

bool TForm10::UpdateApp(const std::string& server, const std::string& target) {
  std::unique_ptr<platform::HttpClient> client = services_.http.CreateClient(DownloadSettings(LookupProxy(server)));
  DownloadProgress progress(*this);
  const std::string url = EncodeUrlPath(server);
  // A failed or refused download leaves no file of that name behind, so nothing older
  // can be taken for it.
  services_.files.RemoveFile(target);
  platform::HttpResponse reply = client->Download(url, progress);
  if (!reply.ok || reply.status != 200 || AbortUpdate) return false;
  // Nothing reaches the disk unless the release key signed it.
  platform::HttpResponse signature = client->Get(url + ".sig");
  std::vector<uint8_t> data = Bytes(reply.body);
  if (!signature.ok || signature.status != 200 ||
      !VerifyReleaseSignature(platform_->verifier, platform_->config.public_key, data, Bytes(signature.body))) {
    services_.files.RemoveFile(target);
    return false;
  }
  if (AbortUpdate) return false;
  if (!services_.files.WriteFile(target, data)) {
    services_.files.RemoveFile(target);
    return false;
  }
  App().ProcessMessages();
  return true;
}

void TForm10::IdHTTP1WorkBegin(int64_t expected) {
  ProgressBarUpdate->SetMax(100);
  SetTaskbarProgress({TaskbarState::Normal, 0, 100});
  ProgressStep = DivideRounded(expected, 100);
  App().ProcessMessages();
}

bool TForm10::IdHTTP1Work(int64_t current) {
  if (AbortUpdate) return false;
  if (ProgressStep > 0) {
    int position = static_cast<int>(std::min<int64_t>(DivideRounded(current, ProgressStep), 100));
    ProgressBarUpdate->SetPosition(position);
    SetTaskbarProgress({TaskbarState::Normal, position, 100});
  }
  App().ProcessMessages();
  return !AbortUpdate;
}

void TForm10::IdHTTP1WorkEnd() {
  SetTaskbarProgress({TaskbarState::None, GetTaskbarProgress().value, 100});
  App().ProcessMessages();
}

void TForm10::SimplePortableUpdate(const std::string& zip_in_app_dir, const std::string& current_exe_path) {
  size_t slash = current_exe_path.find_last_of("\\/");
  const std::string exe_name = slash == std::string::npos ? current_exe_path : current_exe_path.substr(slash + 1);
  const std::string program_dir = slash == std::string::npos ? std::string() : current_exe_path.substr(0, slash + 1);
  const std::string zip_name = FileNameFromUrl(zip_in_app_dir.substr(zip_in_app_dir.find_last_of('\\') + 1));
  const std::string script_path = GetTempDirectory() + UpdateScriptName(services_.clock.Now());
  const std::string script =
      common::Utf8ToAnsi(PortableUpdateScript(program_dir, exe_name, zip_name), services_.system.AnsiCodePage());
  bool written = services_.files.WriteFile(script_path, Bytes(script));
  if (written && services_.files.FileExists(script_path)) {
    platform_->desktop.ShellOpen(script_path, "", true);
    platform_->desktop.ExitProcessNow();
    return;
  }
  // A script cut short must never run.
  services_.files.RemoveFile(script_path);
  App().ShowMessageBox(kScriptFailed, App().Title(), ui::kMbOk);
}

}  // namespace update
