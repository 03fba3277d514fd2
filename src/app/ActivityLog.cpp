// The command runner and the activity log of the useful commands page.
#include <cstdio>

#include "app/MainForm.h"
#include "platform/ToolPaths.h"

namespace app {

std::string FormatLogLine(const platform::LocalTime& time, const std::string& separator,
                          const std::string& msg) {
  char part[4];
  std::string line;
  const int fields[] = {time.hour, time.minute, time.second};
  for (int i = 0; i < 3; ++i) {
    std::snprintf(part, sizeof part, "%02d", fields[i] % 100);
    if (i) line += separator;
    line += part;
  }
  return line + " - " + msg;
}

bool TForm1::RunCommand(const std::string& command, const std::string& params, bool wait) {
  // Only from the system folder (or, for devcon, beside the program): never searched.
  platform::ToolLocation tool = platform::LocateTool(services_.system, command);
  if (!tool.Found()) return false;
  return services_.processes.Execute(tool.path, params, wait, platform::Processes::kNoTimeLimit).started;
}

void TForm1::Log(const std::string& msg) {
  commands_->MemoLogCom->Append(FormatLogLine(services_.clock.Now(), time_separator_, msg));
  App().ProcessMessages();
}

std::function<void(const std::string&)> TForm1::WorkerLog(ui::WorkerLink ui_thread) {
  return [ui_thread = std::move(ui_thread), &clock = services_.clock, separator = time_separator_,
          memo = commands_->MemoLogCom](const std::string& msg) {
    std::string line = FormatLogLine(clock.Now(), separator, msg);
    ui_thread.Synchronize([memo, line] { memo->Append(line); });
  };
}

void TForm1::LogRaw(const std::string& line) { commands_->MemoLogCom->Append(line); }

}  // namespace app

namespace app {

}  // namespace app
