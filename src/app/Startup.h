// The process entry's sequence: single instance, locale, application, windows,
// language, operating-system check, message loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/Services.h"
#include "dnsbench/DnsBenchForm.h"
#include "ui/Application.h"
#include "update/UpdateForm.h"

namespace app {

class TForm1;

struct StartupHooks {
  // Makes the UI host: initialises the screen side (and COM on this thread).
  std::function<std::shared_ptr<ui::UiHost>()> make_host;
  // Creates the main window; tests pass a window whose later steps record calls.
  std::function<TForm1*(ui::Application&, shell::Services&)> create_main;
  // Ends the process at once, without tidying up; called when workers are still
  // running after the main window has closed. They are not waited for, and the
  // services they hold must not be freed under them.
  std::function<void()> end_process_now;
  // The updater's desktop services and signature check; without them the update
  // window checks but installs nothing.
  update::UpdaterPlatform* updater = nullptr;
  // Sockets and clipboard of the DNS benchmark window; without them it is not made.
  dnsbench::BenchPlatform* dnsbench = nullptr;
  // The command line's arguments after the program's name; with any, the program
  // answers on `write_output` and shows no window (app/CommandLine.h).
  std::vector<std::string> arguments;
  std::function<void(const std::string&)> write_output;
};

// Runs the program; returns the process exit code (0 for a run with a window).
int RunVelmora(shell::Services& services, const StartupHooks& hooks);

}  // namespace app
