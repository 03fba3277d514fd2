// The adapters' hardware addresses as a report for the activity log.
#pragma once

#include "platform/System.h"
#include "ui/Controls.h"

namespace adapter {

// Appends number, description, address (as "00-1A-2B-…") and name of every adapter,
// one line each; false when the list cannot be read.
bool AppendAdapterList(platform::System& system, ui::Memo& log);

}  // namespace adapter
