// The command runner and the activity log of the useful commands page.
#include <cstdio>

#include "app/MainForm.h"

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
  return services_.processes.Run(command + " " + params, wait);
}

void TForm1::Log(const std::string& msg) {
  MemoLogCom->Append(FormatLogLine(services_.clock.Now(), time_separator_, msg));
  App().ProcessMessages();
}

void TForm1::LogFromWorker(const std::string& msg) {
  std::string line = FormatLogLine(services_.clock.Now(), time_separator_, msg);
  App().Synchronize([this, line] { MemoLogCom->Append(line); });
}

void TForm1::LogRaw(const std::string& line) { MemoLogCom->Append(line); }

}  // namespace app
