#include "app/Startup.h"

#include "shell/Catalogue.h"
#include "app/MainForm.h"

namespace app {

namespace {
constexpr char kTitle[] = "Velmora";
constexpr uint32_t kRussianLocale = 0x0419;
}  // namespace

int RunVelmora(shell::Services& services, const StartupHooks& hooks) {
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
