// The platform services the program's windows use, passed in at start so that tests
// can hand in fakes.
#pragma once

#include "platform/Clock.h"
#include "platform/Echo.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/VersionResources.h"
#include "platform/Wmi.h"

namespace shell {

class Journal;

struct Services {
  platform::Registry& registry;
  platform::System& system;
  platform::VersionResources& versions;
  platform::FileSystem& files;
  platform::Processes& processes;
  platform::Clock& clock;
  platform::Wmi& wmi;
  platform::Echo& echo;
  platform::Http& http;
  // The change journal that `registry` and `processes` record into; none in tests
  // that do not look at it.
  Journal* journal = nullptr;
};

}  // namespace shell
