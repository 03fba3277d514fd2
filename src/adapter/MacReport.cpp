#include "adapter/MacReport.h"

#include <cstdio>

namespace adapter {

bool AppendAdapterList(platform::System& system, ui::Memo& log) {
  try {
    auto adapters = system.AdapterList();
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

}  // namespace adapter
