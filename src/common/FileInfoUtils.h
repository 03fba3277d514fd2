// Text values of an executable's version resource: the maker's name, the legal
// notice and the normalised file version ("4.5.26.228").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/VersionResources.h"

namespace common {

// The named string value (e.g. "CompanyName"), empty when missing.
std::string GetFileInfoString(platform::VersionResources& versions, const std::string& file,
                              const std::string& value_name);
// The file version, normalised to dot-separated digit groups; falls back to the
// fixed version numbers; empty when the file has no version resource.
std::string GetFileVersion(platform::VersionResources& versions, const std::string& file);
std::string GetLegalCopyright(platform::VersionResources& versions, const std::string& file);
std::string GetCompanyName(platform::VersionResources& versions, const std::string& file);

// Digits kept, "." or "," become one ".", blanks skipped, anything else ends the scan;
// a trailing "." is dropped.
std::string NormaliseVersionText(std::string_view text);

}  // namespace common
