// Text decoding and the INI engine: decode, parse, every read, write back, edits.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "common/IniFile.h"
#include "common/Text.h"

namespace {

using common::IniFile;
using common::IniOptions;

std::string Describe(const IniFile& ini) {
  std::string out;
  for (const std::string& section : ini.SectionNames()) {
    out += "[" + section + "]\n";
    for (const common::IniEntry& entry : ini.Entries(section))
      out += entry.key + (entry.value ? "=" + *entry.value : std::string(" (no value)")) + "\n";
  }
  return out;
}

void CheckSameEntries(const IniFile& a, const IniFile& b, const char* what) {
  std::string left = Describe(a), right = Describe(b);
  fuzz::Check(left == right, what, left + "----\n" + right);
}

void CheckDecoding(const std::vector<uint8_t>& bytes, unsigned code_page) {
  common::DecodedText decoded = common::DecodeFile(bytes, code_page);
  fuzz::Check(common::IsValidUtf8(decoded.utf8), "decoded text is valid UTF-8");
  std::vector<uint8_t> encoded = common::EncodeFile(decoded.utf8, decoded.encoding, code_page);
  common::DecodedText again = common::DecodeFile(encoded, code_page);
  fuzz::Check(again.utf8 == decoded.utf8, "text written back reads the same", decoded.utf8);
  fuzz::Check(again.encoding == decoded.encoding, "text written back keeps its encoding");
  // Every byte of a single-byte code page maps to a character and back.
  if (decoded.encoding == common::Encoding::Ansi && code_page != common::kCodePageUtf8)
    fuzz::Check(encoded == bytes, "an ANSI file is written back byte for byte");
}

void CheckIni(std::string_view text, IniOptions options, fuzz::Input& choices) {
  IniFile ini = IniFile::Parse(text, options);
  const std::string written = ini.Serialize();
  IniFile reread = IniFile::Parse(written, options);
  CheckSameEntries(ini, reread, "a file written back holds the same entries");
  fuzz::Check(reread.Serialize() == written, "writing back is stable", written);

  // Every read, over every name the file holds; the first entry of a name wins.
  for (const std::string& section : ini.SectionNames()) {
    fuzz::Check(ini.HasSection(section), "a listed section is found");
    std::vector<common::IniEntry> entries = ini.Entries(section);
    for (const common::IniEntry& entry : entries) {
      fuzz::Check(ini.HasKey(section, entry.key), "a listed key is found", entry.key);
      std::optional<std::string> value = ini.FindValue(section, entry.key);
      for (const common::IniEntry& first : entries) {
        if (!common::EqualsTextNoCase(first.key, entry.key)) continue;
        fuzz::Check(value == first.value, "the first entry of a name gives the value", entry.key);
        break;
      }
      (void)ini.ReadString(section, entry.key, "default");
      (void)ini.ReadInteger(section, entry.key, 7);
      (void)ini.ReadBool(section, entry.key, false);
      if (entry.value) {
        if (auto number = common::ParseIniInteger(*entry.value)) {
          auto again = common::ParseIniInteger(std::to_string(*number));
          fuzz::Check(again == number, "a parsed number reads back from its decimal text");
        }
      }
    }
  }

  // One edit chosen by the input: it changes exactly what it names.
  std::vector<std::string> sections = ini.SectionNames();
  if (sections.empty()) return;
  const std::string section = sections[choices.Byte() % sections.size()];
  std::vector<std::string> keys = ini.KeyNames(section);
  IniFile edited = ini;
  if (keys.empty() || choices.Byte() % 4 == 0) {
    edited.WriteString(section, "FuzzAdded", "value 1");
    fuzz::Check(edited.FindValue(section, "FuzzAdded") == std::optional<std::string>("value 1"),
                "an added key reads back");
    return;
  }
  const std::string key = keys[choices.Byte() % keys.size()];
  const int op = choices.Byte() % 3;
  if (op == 0) {
    edited.WriteString(section, key, "written");
    fuzz::Check(edited.FindValue(section, key) == std::optional<std::string>("written"),
                "a written value reads back", key);
  } else if (op == 1) {
    edited.WriteInteger(section, key, -12);
    fuzz::Check(edited.ReadInteger(section, key, 0) == -12, "a written number reads back", key);
  } else {
    fuzz::Check(edited.DeleteKey(section, key), "an existing key can be deleted", key);
    fuzz::Check(edited.KeyNames(section).size() + 1 == keys.size(), "a delete removes exactly one entry", key);
  }
  // Entries of other sections are untouched, and the edit survives writing back.
  for (const std::string& other : sections) {
    if (common::EqualsTextNoCase(other, section)) continue;
    fuzz::Check(edited.Entries(other) == ini.Entries(other), "other sections are untouched", other);
  }
  CheckSameEntries(edited, IniFile::Parse(edited.Serialize(), options), "an edited file written back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  const unsigned code_page = fuzz::CodePage(input.Byte());
  const uint8_t mode = input.Byte();
  // The edit choices come from the end of the file's bytes, so the file stays whole.
  std::string_view rest = input.Rest();
  std::vector<uint8_t> bytes(rest.begin(), rest.end());
  CheckDecoding(bytes, code_page);
  common::DecodedText decoded = common::DecodeFile(bytes, code_page);
  fuzz::Input choices(data, size > 8 ? 8 : size);
  CheckIni(decoded.utf8, (mode & 1) ? IniOptions::Settings() : IniOptions::LanguageFile(), choices);
  return 0;
}
