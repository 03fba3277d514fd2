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

namespace app {

void TForm1::ButtonMACAddressClick() {
  // The panel stays disabled while the report is written: Log lets messages run.
  TabComButtons->SetEnabled(false);
  try {
    Log(ButtonMACAddress->Caption());
    AppendAdapterList(*MemoLogCom);
    LogSeparator();
  } catch (...) {
    TabComButtons->SetEnabled(true);
    throw;
  }
  TabComButtons->SetEnabled(true);
}

bool TForm1::AppendAdapterList(ui::Memo& log) {
  try {
    auto adapters = services_.system.AdapterList();
    if (!adapters) return false;
    int number = 0;
    for (const platform::AdapterInfo& adapter : *adapters) {
      std::string address;
      for (uint8_t byte : adapter.address) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        if (!address.empty()) address += '-';
        address += pair;
      }
      log.Append(std::to_string(++number));
      log.Append(adapter.description);
      log.Append(address);
      log.Append(adapter.name);
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace app
