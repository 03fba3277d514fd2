// A registry write that the program cannot do without is reported, in the system's
// own words, through the caller's error report.
#pragma once

#include <stdexcept>
#include <string>

namespace shell {

inline void RequireWritten(bool written, const std::string& value_name) {
  if (!written) throw std::runtime_error("Failed to set data for '" + value_name + "'");
}

}  // namespace shell
