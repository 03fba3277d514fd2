#include "update/UpdateForm.h"

#include <atomic>
#include <memory>
#include <stdexcept>

#include "shell/Catalogue.h"
#include "shell/Page.h"
#include "build_settings.h"
#include "common/FileInfoUtils.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "proxy/ProxyBand.h"
#include "proxy/ProxyText.h"
#include "update/Signature.h"

namespace update {

const UpdateMessage kUpdateMessages[16] = {
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
    {"LangNotSigned", "Файлы обновления не подписаны разработчиком"},
    {"LangNotStarted", "Не удалось запустить обновление"},
};

namespace {

constexpr char kSection[] = "Option";
constexpr char kScriptFailed[] = "Failed to create update script!";

// Used when the window is made without the desktop services: nothing is ever written,
// started or accepted.
class RefusingDesktop : public platform::Desktop {
 public:
  std::unique_ptr<platform::UpdateFolder> CreateUpdateFolder() override { return nullptr; }
  platform::StartResult Start(const std::string&, const std::string&, bool) override {
    return {false, "no desktop"};
  }
  std::string SystemFolder() override { return {}; }
  unsigned OemCodePage() override { return 437; }
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

// Hands the transfer's progress to the window without holding up the transfer; once
// the download it belongs to is over, it asks the transfer to stop.
class DownloadProgress : public platform::HttpProgress {
 public:
  DownloadProgress(TForm10& form, ui::WorkerLink link, std::shared_ptr<std::atomic<bool>> stop)
      : form_(form), link_(std::move(link)), stop_(std::move(stop)) {}
  void WorkBegin(int64_t expected) override {
    TForm10* form = &form_;
    Post([form, expected] { form->IdHTTP1WorkBegin(expected); });
  }
  bool Work(int64_t received) override {
    // Only the newest count matters: one hand-over at a time carries it, so a burst of
    // pieces costs the window one update, not one per piece.
    latest_->store(received);
    if (!pending_->exchange(true)) {
      TForm10* form = &form_;
      std::shared_ptr<std::atomic<int64_t>> latest = latest_;
      std::shared_ptr<std::atomic<bool>> pending = pending_;
      Post([form, latest, pending] {
        pending->store(false);
        form->IdHTTP1Work(latest->load());
      });
    }
    return !*stop_ && !link_.Closed();
  }
  void WorkEnd() override {
    TForm10* form = &form_;
    Post([form] { form->IdHTTP1WorkEnd(); });
  }

 private:
  void Post(std::function<void()> fn) {
    std::shared_ptr<std::atomic<bool>> stop = stop_;
    link_.Post([stop, fn = std::move(fn)] {
      if (!*stop) fn();
    });
  }
  TForm10& form_;
  ui::WorkerLink link_;
  std::shared_ptr<std::atomic<bool>> stop_;
  std::shared_ptr<std::atomic<int64_t>> latest_ = std::make_shared<std::atomic<int64_t>>(0);
  std::shared_ptr<std::atomic<bool>> pending_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace

UpdaterConfig BuildUpdaterConfig() {
  return {{VELMORA_UPDATE_PRIMARY_URL, VELMORA_UPDATE_FALLBACK_URL}, VELMORA_UPDATE_PUBLIC_KEY};
}

TForm10::TForm10(ui::Application& app, shell::Services& services, UpdaterPlatform* platform)
    : ui::Form(app, "Form10"), services_(services), platform_(platform ? platform : &RefusingPlatform()) {
  engine_ = std::make_unique<UpdateEngine>(services_.http, platform_->verifier, platform_->desktop,
                                           platform_->config.public_key, platform_->config.limits);
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
  SetDefaultButton(ButtonDownload);
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

std::string TForm10::Msg(const char* name) const { return shell::Msg(*this, name); }

shell::Shell* TForm10::MainShell() const { return dynamic_cast<shell::Shell*>(App().MainForm()); }

bool TForm10::Portable() const {
  shell::Shell* shell = MainShell();
  return shell && shell->Portable();
}

std::string TForm10::SettingsPath() const {
  shell::Shell* shell = MainShell();
  return shell ? shell->PortablePath() : std::string();
}

std::string TForm10::ProgramFolder() {
  std::string path = services_.system.ProgramPath();
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
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
  showing_ = true;
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
  showing_ = false;
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

void TForm10::Check(const CheckResult& result, const std::string& local_version) {
  if (result.found) {
    UpdateDownloadUrl = result.server.download_url;
    UpdateServerVersion = result.server.version;
    VersionCompareResult = CompareVersions(result.server.version, local_version);
    if (VersionCompareResult == 1)
      LabelUpDate->SetCaption(Msg("LangUpdateAvailable") + " " + local_version + " ---> " + result.server.version);
    else
      LabelUpDate->SetCaption(Msg("LangNoUpdate"));
    LabelServerVersion->SetCaption(result.server.version);
  } else {
    LabelUpDate->SetCaption(Msg("LangFailedCheckUpdates"));
    // A server that answered with a file the maker did not sign is no connection error.
    LabelServerVersion->SetCaption(Msg(result.not_signed ? "LangNotSigned" : "LangConnectionError"));
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
  const ProxyChoice proxy = LookupProxy(FirstServer());
  const std::vector<std::string> servers = platform_->config.servers;
  const bool portable = Portable();
  UpdateEngine* engine = engine_.get();
  App().GetWorkers().Start("CheckThread", [=, this](const ui::WorkerLink& link) {
    CheckResult result = engine->Check(servers, proxy, portable);
    link.Synchronize([=, this] {
      Check(result, local_version);
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
  const ProxyChoice proxy = LookupProxy(FirstServer());
  const std::vector<std::string> servers = platform_->config.servers;
  const bool portable = Portable();
  UpdateEngine* engine = engine_.get();
  App().GetWorkers().Start("UpdateCheckThread", [=, this](const ui::WorkerLink& link) {
    CheckResult result = engine->Check(servers, proxy, portable);
    bool newer = result.found && CompareVersions(result.server.version, local_version) == 1;
    link.Synchronize([=, this] {
      UpdateAvailable = newer;
      BackgroundServerVersion = result.found ? result.server.version : std::string();
      BackgroundDownloadUrl = result.found ? result.server.download_url : std::string();
      if (!UpdateAvailable || BackgroundDownloadUrl.empty()) return;
      // The offer waits until the main window is on screen in the chosen language.
      if (!startup_finished_) {
        offer_waiting_ = true;
        return;
      }
      OfferUpdate();
    });
  });
}

void TForm10::StartupFinished() {
  startup_finished_ = true;
  if (!offer_waiting_) return;
  offer_waiting_ = false;
  OfferUpdate();
}

void TForm10::OfferUpdate() {
  // The window open already (checking, or downloading) is not opened a second time,
  // and a running download goes on.
  if (showing_ || Visible() || Downloading()) return;
  const std::string text = Msg("LangUpdateAvailable") + " " + BackgroundServerVersion + "\r\n" + Msg("LangUpdateNow");
  int answer = App().ShowCaptionedBox(text, App().Title(), ui::kMbYesNo | ui::kMbIconInformation,
                                      {Msg("LangYes"), Msg("LangNo")});
  if (answer != ui::kIdYes || showing_ || Visible() || Downloading()) return;
  UpdateDownloadUrl = BackgroundDownloadUrl;
  UpdateServerVersion = BackgroundServerVersion;
  QuickStartPending = true;
  App().ShowModal(*this);
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
        if (!Downloading()) ButtonDownloadClick();
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
    // Cancel: the window is back at once; the transfer is told to stop and whatever
    // it still brings is dropped.
    ++download_number_;
    if (download_stop_) *download_stop_ = true;
    ReturnToIdle(true);
    AbortUpdate = true;
    LabelUpDate->SetCaption(Msg("LangNoDownload"));
    return;
  }

  AbortUpdate = false;
  StartError.clear();
  ButtonDownload->SetTag(1);
  ButtonDownload->SetCaption(Msg("LangCancel"));
  ButtonClose->SetEnabled(false);
  ProgressBarUpdate->SetPosition(0);
  ProgressBarUpdate->SetVisible(true);
  GroupBoxOption->SetEnabled(false);

  // Everything the worker needs is read here, on the UI thread.
  const int number = ++download_number_;
  const std::string url = UpdateDownloadUrl;
  const std::string version = UpdateServerVersion;
  const std::string file_name = FileNameFromUrl(url);
  const ProxyChoice proxy = LookupProxy(url);
  const bool portable = Portable();
  const bool quick = CheckBoxQuickUpdate->Checked();
  const std::string exe_path = services_.system.ProgramPath();
  const size_t slash = exe_path.find_last_of("\\/");
  const std::string exe_name = slash == std::string::npos ? exe_path : exe_path.substr(slash + 1);
  const std::string program_dir = ProgramFolder();
  const std::string parameters = quick ? InstallerParameters(selected_language_) : std::string();
  const std::string script_name = UpdateScriptName(services_.clock.Now());
  UpdateEngine* engine = engine_.get();
  auto stop = std::make_shared<std::atomic<bool>>(false);
  download_stop_ = stop;
  App().GetWorkers().Start("DownloadThread", [=, this](const ui::WorkerLink& link) {
    DownloadProgress progress(*this, link, stop);
    FetchResult fetched;
    StagedUpdate staged;
    try {
      fetched = engine->Fetch(url, version, proxy, progress);
      // Portable without the quick option: the archive only goes into the program folder.
      if (fetched.failure == UpdateFailure::None && !(portable && !quick)) {
        staged = portable ? engine->StagePortable(file_name, fetched.data, program_dir, exe_name, script_name)
                          : engine->StageInstaller(file_name, fetched.data, parameters);
      }
    } catch (...) {
      fetched.failure = UpdateFailure::Connection;
    }
    auto shared_staged = std::make_shared<StagedUpdate>(std::move(staged));
    auto shared_fetched = std::make_shared<FetchResult>(std::move(fetched));
    link.Synchronize([=, this] {
      // A cancelled download's results go nowhere.
      if (number != download_number_) return;
      *stop = true;
      if (shared_fetched->failure != UpdateFailure::None) {
        DownloadFailed(shared_fetched->failure);
        return;
      }
      InstallDownloaded(std::move(*shared_fetched), std::move(*shared_staged), portable, quick);
    });
  });
}

void TForm10::DownloadFailed(UpdateFailure failure) {
  // A failed, refused or cancelled download leaves the window ready for another try
  // and says that nothing was downloaded, or that the maker did not sign it.
  ReturnToIdle(true);
  LabelUpDate->SetCaption(Msg(failure == UpdateFailure::NotSigned ? "LangNotSigned" : "LangNoDownload"));
  App().ProcessMessages();
}

void TForm10::InstallDownloaded(FetchResult fetched, StagedUpdate staged, bool portable, bool quick) {
  LabelUpDate->SetCaption(Msg("LangDownloadComplet"));
  if (portable && !quick) {
    // The archive is only kept in the program folder, for the user to unpack.
    const std::string target = ProgramFolder() + FileNameFromUrl(UpdateDownloadUrl);
    if (!services_.files.WriteFile(target, {fetched.data.begin(), fetched.data.end()})) {
      services_.files.RemoveFile(target);
      LabelUpDate->SetCaption(Msg("LangNoDownload"));
    }
  } else if (staged.failure == UpdateFailure::Script) {
    ReturnToIdle(false);
    App().ShowMessageBox(kScriptFailed, App().Title(), ui::kMbOk);
    return;
  } else {
    platform::StartResult started = staged.failure == UpdateFailure::None
                                        ? engine_->Start(staged)
                                        : platform::StartResult{false, "the update folder could not be made"};
    if (!started.started) {
      // Nothing replaces the program, so it keeps running and says why.
      StartError = started.error;
      // The status line says so; the system's reason, too long for it, goes to the
      // activity log.
      LabelUpDate->SetCaption(Msg("LangNotStarted"));
      if (shell::Shell* shell = MainShell()) shell->Log(Msg("LangNotStarted") + ": " + started.error);
      ReturnToIdle(false);
      App().ProcessMessages();
      return;
    }
    if (portable || quick) {
      // What replaces the program has started; the files it reads stay held until the
      // process ends here.
      App().ProcessMessages();
      platform_->desktop.ExitProcessNow();
      return;
    }
    App().ProcessMessages();
  }
  // The hidden bar keeps showing how far the download came.
  ReturnToIdle(false);
  App().ProcessMessages();
}

void TForm10::IdHTTP1WorkBegin(int64_t expected) {
  ProgressBarUpdate->SetMax(100);
  SetTaskbarProgress({TaskbarState::Normal, 0, 100});
  ProgressStep = DivideRounded(expected, 100);
}

bool TForm10::IdHTTP1Work(int64_t current) {
  if (AbortUpdate) return false;
  if (ProgressStep > 0) {
    int position = static_cast<int>(std::min<int64_t>(DivideRounded(current, ProgressStep), 100));
    ProgressBarUpdate->SetPosition(position);
    SetTaskbarProgress({TaskbarState::Normal, position, 100});
  }
  return !AbortUpdate;
}

void TForm10::IdHTTP1WorkEnd() { SetTaskbarProgress({TaskbarState::None, GetTaskbarProgress().value, 100}); }

}  // namespace update
