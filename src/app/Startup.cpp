#include "app/Startup.h"

#include "shell/Catalogue.h"
#include "shell/Journal.h"
#include "shell/SettingsFolder.h"
#include "app/CommandLine.h"
#include "app/MainForm.h"
#include "changes/ChangesForm.h"

namespace app {

namespace {
constexpr char kTitle[] = "Velmora";
constexpr uint32_t kRussianLocale = 0x0419;
}  // namespace

int RunVelmora(shell::Services& services, const StartupHooks& hooks) {
  if (services.journal) {
    services.journal->SetPath(shell::SettingsFolder(services, shell::RunsPortable(services), kTitle) + "\\" +
                              shell::Journal::kFileName);
    // Programs that keep the proxy settings hear that they may have changed back.
    services.journal->SetAfterUndo([&system = services.system] { system.InternetSettingsChanged(); });
  }
  // Started with arguments: an answer and an exit code, whether or not a window runs.
  if (!hooks.arguments.empty()) {
    CommandLineAnswer answer;
    if (services.journal) {
      answer = RunCommandLine(hooks.arguments, *services.journal);
    } else {
      answer.exit_code = kExitBadArguments;
      answer.text = "Журнал изменений недоступен.\r\n";
    }
    if (hooks.write_output) hooks.write_output(answer.text);
    return answer.exit_code;
  }
  // A second copy leaves at once, silently; the first one is not disturbed.
  if (services.system.OpenNamedMutex(kTitle)) return 0;
  services.system.CreateNamedMutex(kTitle);
  services.system.SetThreadLocale(kRussianLocale);

  std::shared_ptr<ui::UiHost> host = hooks.make_host();
  ui::Application app(*host);
  app.SetTitle(kTitle);

  TForm1* main = hooks.create_main ? hooks.create_main(app, services)
                                   : app.CreateForm<TForm1>(services);
  TForm10* updater = app.CreateForm<TForm10>(services, hooks.updater);
  app.CreateForm<TForm8>(services);
  if (hooks.dnsbench) app.CreateForm<dnsbench::TFormDnsBench>(main->Adapter(), main->DnsTest(), *hooks.dnsbench);
  if (services.journal) app.CreateForm<changes::TFormChanges>(*services.journal);

  main->CleanTranslationsLikeGlobload();
  main->LoadLanguage();
  main->globload();

  if (main->IsWindows10Or11()) {
    // Runs once the message loop has shown the main window: an update offer that came
    // in during start-up is made then, in the chosen language.
    app.GetWorkers().Link().Post([updater] { updater->StartupFinished(); });
    app.Run();
    if (app.GetWorkers().Running() > 0 && hooks.end_process_now) hooks.end_process_now();
  } else {
    app.ShowMessageBox(shell::Msg(*main, "LangOnlyWindows"), shell::Msg(*main, "LangError"),
                   ui::kMbOk | ui::kMbIconError);
  }
  return 0;
}

}  // namespace app
