// The version-resource reader over arbitrary blocks, and version normalisation.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "common/FileInfoUtils.h"
#include "common/Text.h"
#include "fakes/FakeSystem.h"

namespace {

// Digit groups joined by single dots, nothing else.
bool IsNormalVersion(const std::string& text) {
  if (text.empty()) return true;
  if (text.front() == '.' || text.back() == '.') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.') {
      if (text[i + 1] == '.') return false;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fakes::FakeVersionResources versions;
  const std::string file = "C:\\Program Files\\Velmora\\Velmora.exe";
  versions.blocks[file] = std::vector<uint8_t>(data, data + size);
  std::string version = common::GetFileVersion(versions, file);
  fuzz::Check(IsNormalVersion(version), "the file version is normalised", version);
  for (const char* name : {"CompanyName", "LegalCopyright", "ProductName", "FileDescription"}) {
    std::string value = common::GetFileInfoString(versions, file, name);
    fuzz::Check(common::IsValidUtf8(value), "a string value is valid UTF-8", value);
  }
  (void)common::GetLegalCopyright(versions, file);
  (void)common::GetCompanyName(versions, file);

  std::string text(reinterpret_cast<const char*>(data), size);
  std::string normal = common::NormaliseVersionText(text);
  fuzz::Check(IsNormalVersion(normal), "normalised text is digit groups", normal);
  fuzz::Check(common::NormaliseVersionText(normal) == normal, "normalising twice changes nothing", normal);
  return 0;
}
