// Our INI reader against the system's own profile functions, over the fuzzing seed
// corpus and a table of shapes where the two could part: every section and key
// lookup must give the same text, except where the program deliberately reads
// differently (listed below with the reason).
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "common/IniFile.h"
#include "common/Text.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  std::u16string text = common::Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(const wchar_t* text, size_t length) {
  return common::Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

// The names in a double-zero-terminated list.
std::vector<std::string> SplitList(const std::vector<wchar_t>& buffer, DWORD length) {
  std::vector<std::string> names;
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (buffer[i] != 0) continue;
    if (i > start) names.push_back(Narrow(&buffer[start], i - start));
    start = i + 1;
  }
  return names;
}

struct SystemReader {
  std::wstring path;

  std::vector<std::string> Sections() const {
    std::vector<wchar_t> buffer(1 << 16);
    DWORD n = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
    return SplitList(buffer, n);
  }
  std::vector<std::string> Keys(const std::string& section) const {
    std::vector<wchar_t> buffer(1 << 16);
    DWORD n = GetPrivateProfileStringW(Wide(section).c_str(), nullptr, L"", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), path.c_str());
    return SplitList(buffer, n);
  }
  std::string Read(const std::string& section, const std::string& key) const {
    std::vector<wchar_t> buffer(1 << 16);
    DWORD n = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), L"<absent>", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), path.c_str());
    return Narrow(buffer.data(), n);
  }
};

std::filesystem::path TempFile() {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::filesystem::path(folder) / L"velmora-ini-differential.ini";
}

// Every lookup on which the two readers give different text, one line each.
std::vector<std::string> Differences(const std::vector<uint8_t>& bytes, common::IniOptions options) {
  const std::filesystem::path path = TempFile();
  const common::DecodedText decoded = common::DecodeFile(bytes, GetACP());
  {
    // A file without a mark that is valid UTF-8 with non-ASCII text is read as UTF-8,
    // where the system reads it in the ANSI code page (see the test below); the
    // system is handed the same text with the UTF-8 mark, so the rest still compares.
    std::vector<uint8_t> system_bytes = bytes;
    if (decoded.encoding == common::Encoding::Utf8) system_bytes.insert(system_bytes.begin(), {0xEF, 0xBB, 0xBF});
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(system_bytes.data()), static_cast<std::streamsize>(system_bytes.size()));
  }
  SystemReader system{path.wstring()};
  common::IniFile ours = common::IniFile::Parse(decoded.utf8, options);

  std::vector<std::string> sections = ours.SectionNames();
  for (const std::string& name : system.Sections()) sections.push_back(name);
  std::vector<std::string> differences;
  std::set<std::string> seen;
  for (const std::string& section : sections) {
    if (!seen.insert(common::ToLowerText(section)).second) continue;
    std::vector<std::string> keys = ours.KeyNames(section);
    for (const std::string& key : system.Keys(section)) keys.push_back(key);
    keys.push_back("NoSuchKey");
    std::set<std::string> seen_keys;
    for (const std::string& key : keys) {
      if (!seen_keys.insert(common::ToLowerText(key)).second) continue;
      const std::string theirs = system.Read(section, key);
      const std::string mine = ours.ReadString(section, key, "<absent>");
      if (theirs != mine) differences.push_back("[" + section + "] " + key + ": system \"" + theirs + "\", ours \"" + mine + "\"");
    }
  }
  std::filesystem::remove(path);
  return differences;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::filesystem::path CorpusFolder(const char* target) {
  std::string source = VELMORA_SOURCE_DIR;
  // The tests run under Wine, where the Linux root is drive Z:.
  if (!source.empty() && source[0] == '/') source = "Z:" + source;
  return std::filesystem::path(Wide(source)) / "fuzz" / "corpus" / target;
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(IniDifferentialWin32, DnsListsReadAsTheSystemReadsThem) {
  const auto folder = CorpusFolder("dns_list_fuzz");
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder.string();
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    ++files;
    for (const std::string& difference : Differences(ReadAll(entry.path()), common::IniOptions::DnsList()))
      ADD_FAILURE() << entry.path().filename().string() << ": " << difference;
  }
  EXPECT_GT(files, 0);
}

TEST(IniDifferentialWin32, SeedFilesReadAsTheSystemReadsThem) {
  for (const char* target : {"ini_fuzz", "settings_fuzz"}) {
    for (const auto& entry : std::filesystem::directory_iterator(CorpusFolder(target))) {
      std::vector<uint8_t> bytes = ReadAll(entry.path());
      // The INI target's first two bytes are its own choices, not part of the file.
      if (std::string(target) == "ini_fuzz") bytes.erase(bytes.begin(), bytes.begin() + std::min<size_t>(2, bytes.size()));
      for (const std::string& difference : Differences(bytes, common::IniOptions::LanguageFile()))
        ADD_FAILURE() << target << "/" << entry.path().filename().string() << ": " << difference;
    }
  }
}

TEST(IniDifferentialWin32, ShapesAtTheEdgesOfTheFormat) {
  const char* cases[] = {
      "[S]\r\na=1\r\nA=2\r\n",                 // the first entry of a name wins
      "[S]\r\n  key  =  spaced value  \r\n",   // blanks around names and values
      "[S]\r\nk=\"quoted\"\r\n",               // quotes
      "[S]\r\nk=a=b\r\n",                      // "=" inside a value
      "[S]\r\n;k=comment\r\nk=1\r\n",          // comment lines
      "[S]\r\nnovalue\r\n",                    // a line without "="
      "[ S ]\r\nk=1\r\n",                      // blanks inside the brackets
      "[S]\nk=lf\n[T]\rk=cr\r",                // other line ends
      "k=before any section\r\n[S]\r\nk=1\r\n",
      "[S]\r\nk=1\r\n[s]\r\nk=2\r\nj=3\r\n",   // a repeated section
      "[S]\r\n=no name\r\nk=1\r\n",
      "[S\r\nk=1\r\n",                         // a header without "]"
  };
  for (const char* text : cases)
    for (const std::string& difference : Differences(Bytes(text), common::IniOptions::DnsList()))
      ADD_FAILURE() << "case " << ::testing::PrintToString(std::string(text)) << ": " << difference;
}

}  // namespace

namespace {

// The one place where the program reads differently on purpose: the settings file joins
// the lines under a repeated header to the first section of that name (so a hand edit
// is neither lost nor ignored), where the system stops at the first section. Once the
// program has saved the file, the joined lines stand in the first section and the two
// readers agree again.
TEST(IniDifferentialWin32, SettingsJoinARepeatedSectionWhereTheSystemReadsOnlyTheFirst) {
  const std::string text = "[Option]\r\nA=1\r\n[option]\r\nB=2\r\nA=3\r\n";
  EXPECT_EQ(Differences(Bytes(text), common::IniOptions::Settings()),
            (std::vector<std::string>{"[Option] B: system \"<absent>\", ours \"2\""}));
  const std::string saved = common::IniFile::Parse(text, common::IniOptions::Settings()).Serialize();
  EXPECT_TRUE(Differences(Bytes(saved), common::IniOptions::Settings()).empty()) << saved;
}

}  // namespace

namespace {

// The other deliberate difference: a file saved as UTF-8 without a mark (Notepad's
// default) is read as UTF-8, where the system's reader shows its Cyrillic garbled.
TEST(IniDifferentialWin32, UnmarkedUtf8IsReadAsUtf8WhereTheSystemReadsItInTheAnsiCodePage) {
  if (GetACP() == common::kCodePageUtf8) GTEST_SKIP() << "a system set to UTF-8 reads it as UTF-8 too";
  const std::string text = "[Ipv4_Default]\r\n\xD0\xAF\xD0\xBD\xD0\xB4\xD0\xB5\xD0\xBA\xD1\x81=77.88.8.8,77.88.8.1\r\n";
  const common::IniFile ours = common::IniFile::Parse(common::DecodeFile(Bytes(text), GetACP()).utf8,
                                                      common::IniOptions::DnsList());
  EXPECT_EQ(ours.KeyNames("Ipv4_Default"), (std::vector<std::string>{"\xD0\xAF\xD0\xBD\xD0\xB4\xD0\xB5\xD0\xBA\xD1\x81"}));
  const std::filesystem::path path = TempFile();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  SystemReader system{path.wstring()};
  const std::vector<std::string> keys = system.Keys("Ipv4_Default");
  std::filesystem::remove(path);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_NE(keys[0], ours.KeyNames("Ipv4_Default")[0]) << "the system reads the bytes in code page " << GetACP();
}

}  // namespace
