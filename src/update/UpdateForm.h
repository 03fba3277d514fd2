// The update window: the program's own version and the one on the update server, the
// check run each time the window shows (and once at start-up in the background), the
// download button that also cancels, and the options. Its message texts are captions
// of hidden items of PopupMenuLanguage, so the translation engine translates them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shell/Services.h"
#include "platform/Crypto.h"
#include "platform/Desktop.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Form.h"
#include "update/UpdateCheck.h"
#include "update/UpdateEngine.h"

namespace shell {
class Shell;
}

namespace update {

// Where updates come from and the key their signatures are checked with.
struct UpdaterConfig {
  std::vector<std::string> servers;  // base URLs ending in "/", tried in order
  std::string public_key;            // PEM or Base64 of the P-256 public key
  UpdateLimits limits = {};
};
// The primary and fallback servers and the release key of this build.
UpdaterConfig BuildUpdaterConfig();

// What the updater needs beyond the program's common services.
struct UpdaterPlatform {
  platform::Desktop& desktop;
  platform::SignatureVerifier& verifier;
  UpdaterConfig config = BuildUpdaterConfig();
};

struct UpdateMessage {
  const char* name;
  const char* text;
};
// The window's message items in menu order with their Russian default texts.
extern const UpdateMessage kUpdateMessages[16];

class TForm10 : public ui::Form {
 public:
  // Without `platform` the window can check but never installs anything: files have
  // no temporary folder to go to and no signature is accepted.
  TForm10(ui::Application& app, shell::Services& services, UpdaterPlatform* platform = nullptr);
  ~TForm10() override;

  void FormCreate() override;
  void FormShow() override;
  void FormClose() override;
  // The option a close saves.
  void SessionEnding() override { SaveNastr(); }
  void LoadNastr();
  void SaveNastr();
  void ButtonCloseClick();
  void CheckBoxForceUpdateClick();

  // The check.
  void CheckForUpdatesInBackground();
  void StartCheckThread();
  void QuickStartUpdate();
  // Writes a finished window check into the labels and the state.
  void Check(const CheckResult& result, const std::string& local_version);
  // Start-up has finished (the main window is on screen and translated): an update
  // offer that came in before is made now.
  void StartupFinished();

  // Download and install. The transfer runs on a worker; the window keeps handling
  // messages, and a click on the button while it runs cancels at once.
  void ButtonDownloadClick();
  void IdHTTP1WorkBegin(int64_t expected);
  bool IdHTTP1Work(int64_t current);
  void IdHTTP1WorkEnd();
  // True while a download runs.
  bool Downloading() const { return ButtonDownload->Tag() == 1; }

  // The base name of the selected language file, for the installer's language.
  void SetSelectedLanguage(std::string language) { selected_language_ = std::move(language); }
  const std::string& SelectedLanguage() const { return selected_language_; }

  // The running program's file version.
  virtual std::string LocalVersion();

  // Updater state.
  std::string UpdateDownloadUrl;
  std::string UpdateServerVersion;
  int VersionCompareResult = 0;
  std::string BackgroundServerVersion;
  std::string BackgroundDownloadUrl;
  bool QuickStartPending = false;
  bool UpdateAvailable = false;
  bool AbortUpdate = false;
  int64_t ProgressStep = 0;
  // The last failure to start what replaces the program, in the system's words.
  std::string StartError;

  // Components.
  ui::GroupBox* GroupBox1;
  ui::Label* LabelUpDate;
  ui::Label* LabelLocalTitle;
  ui::Label* LabelLocalVersion;
  ui::Label* LabelServerTitle;
  ui::Label* LabelServerVersion;
  ui::ProgressBar* ProgressBarUpdate;
  ui::GroupBox* GroupBoxOption;
  ui::CheckBox* CheckBoxQuickUpdate;
  ui::CheckBox* CheckBoxForceUpdate;
  ui::CheckBox* CheckBoxAutoCheck;
  ui::Panel* TabControlButtons;
  ui::Button* ButtonDownload;
  ui::Button* ButtonClose;
  ui::PopupMenu* PopupMenuLanguage;

 private:
  void CreateComponents();
  std::string Msg(const char* name) const;
  shell::Shell* MainShell() const;
  bool Portable() const;
  std::string SettingsPath() const;
  std::string ProgramFolder();
  // The proxy for a request of the URL's scheme; the version requests go to the
  // servers in turn, all with the first one's proxy.
  ProxyChoice LookupProxy(std::string_view url);
  std::string FirstServer() const;
  // Shows the start-up offer, unless the window is open or downloading already.
  void OfferUpdate();
  // A finished, verified download (on the UI thread): hand it over and start it.
  void InstallDownloaded(FetchResult fetched, StagedUpdate staged, bool portable, bool quick);
  // A download that produced nothing to start.
  void DownloadFailed(UpdateFailure failure);
  // The window after a download that did not end in an installation: the button
  // reads "download" again, the bar is hidden (and emptied when asked), the options and
  // Close work again.
  void ReturnToIdle(bool clear_progress);

  shell::Services& services_;
  UpdaterPlatform* platform_;
  std::unique_ptr<UpdateEngine> engine_;
  std::string selected_language_;
  // Each download has a number; the results of one that was cancelled are dropped.
  int download_number_ = 0;
  std::shared_ptr<std::atomic<bool>> download_stop_;
  bool startup_finished_ = false;
  bool showing_ = false;
  bool offer_waiting_ = false;
};

}  // namespace update
