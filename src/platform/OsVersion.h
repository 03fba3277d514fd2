#pragma once

#include "platform/Registry.h"
#include "platform/System.h"

namespace platform {

// The version record: what the version call reports, overridden for anything above
// 6.1 by the CurrentVersion key of the machine (the version call itself answers
// 6.2 to programs the system does not know).
OsVersion ResolveOsVersion(const OsVersion& reported, Registry& registry);

}  // namespace platform
