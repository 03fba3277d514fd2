#include "common/FileInfoUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>

namespace {

// ---- A version resource builder ------------------------------------------------------
//
// Lays blocks out the way resource compilers do: header, zero-terminated UTF-16 key,
// value and children each on a 32-bit boundary; the block length covers everything up
// to the end of its last child.

struct Node {
  std::u16string key;
  uint16_t type = 1;
  std::vector<uint8_t> value;
  std::optional<uint16_t> value_length;  // overrides the length computed from `value`
  std::vector<Node> children;
};

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
void Pad4(std::vector<uint8_t>& out) {
  while (out.size() % 4 != 0) out.push_back(0);
}

void Append(std::vector<uint8_t>& out, const Node& node) {
  const size_t begin = out.size();
  const uint16_t computed =
      static_cast<uint16_t>(node.type == 1 ? node.value.size() / 2 : node.value.size());
  Put16(out, 0);  // length, patched below
  Put16(out, node.value_length.value_or(computed));
  Put16(out, node.type);
  for (char16_t c : node.key) Put16(out, c);
  Put16(out, 0);
  Pad4(out);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const Node& child : node.children) {
    Pad4(out);
    Append(out, child);
  }
  const size_t length = out.size() - begin;
  out[begin] = static_cast<uint8_t>(length & 0xFF);
  out[begin + 1] = static_cast<uint8_t>(length >> 8);
}

std::vector<uint8_t> Serialize(const Node& root) {
  std::vector<uint8_t> out;
  Append(out, root);
  return out;
}

std::vector<uint8_t> Utf16Z(std::u16string_view text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) Put16(out, c);
  Put16(out, 0);
  return out;
}

Node String(std::u16string key, std::u16string_view text) {
  return Node{std::move(key), 1, Utf16Z(text), std::nullopt, {}};
}

Node StringTable(std::u16string key, std::vector<Node> strings) {
  return Node{std::move(key), 1, {}, std::nullopt, std::move(strings)};
}

Node StringFileInfo(std::vector<Node> tables) {
  return Node{u"StringFileInfo", 1, {}, std::nullopt, std::move(tables)};
}

// VarFileInfo with a Translation value of (language, code page) pairs.
Node VarFileInfo(std::vector<std::pair<uint16_t, uint16_t>> entries) {
  std::vector<uint8_t> value;
  for (auto [language, code_page] : entries) {
    Put16(value, language);
    Put16(value, code_page);
  }
  Node translation{u"Translation", 0, value, std::nullopt, {}};
  return Node{u"VarFileInfo", 1, {}, std::nullopt, {translation}};
}

std::vector<uint8_t> FixedInfo(uint32_t version_ms, uint32_t version_ls) {
  std::vector<uint8_t> v;
  Put32(v, 0xFEEF04BD);                 // signature
  Put32(v, 0x00010000);                 // structure version
  Put32(v, version_ms);                 // file version
  Put32(v, version_ls);
  Put32(v, version_ms);                 // product version
  Put32(v, version_ls);
  for (int i = 0; i < 7; ++i) Put32(v, 0);  // flags mask .. file date
  return v;
}

Node VersionInfo(std::optional<std::pair<uint32_t, uint32_t>> fixed, std::vector<Node> children) {
  Node root{u"VS_VERSION_INFO", 0, {}, std::nullopt, std::move(children)};
  if (fixed) root.value = FixedInfo(fixed->first, fixed->second);
  return root;
}

// The resource of the program's own file.
Node ProgramResource() {
  return VersionInfo(
      std::pair{0x00040005u, 0x001A00E4u},
      {StringFileInfo({StringTable(u"040904E4",
                                   {String(u"CompanyName", u"Velmora Labs"),
                                    String(u"FileDescription", u"Velmora"),
                                    String(u"FileVersion", u"4.5.26.228"),
                                    String(u"LegalCopyright", u"\u00A9 2026 Velmora Labs"),
                                    String(u"ProductName", u"Velmora"),
                                    String(u"ProductVersion", u"4.5.26.228")})}),
       VarFileInfo({{0x0409, 0x04E4}})});
}

class FakeVersionResources : public platform::VersionResources {
 public:
  std::map<std::string, std::vector<uint8_t>> files;
  std::optional<std::vector<uint8_t>> Load(const std::string& file) override {
    auto it = files.find(file);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
};

constexpr const char* kExe = "C:\\Program Files\\Velmora\\Velmora.exe";

struct AllFour {
  std::string version, company, copyright, product;
};

AllFour ReadAll(FakeVersionResources& versions) {
  return {common::GetFileVersion(versions, kExe), common::GetCompanyName(versions, kExe),
          common::GetLegalCopyright(versions, kExe),
          common::GetFileInfoString(versions, kExe, "ProductName")};
}

// ---- Reading the program's own resource ----------------------------------------------

TEST(FileInfoUtilsTest, ReadsTheValuesOfTheProgramsOwnResource) {
  FakeVersionResources versions;
  std::vector<uint8_t> bytes = Serialize(ProgramResource());
  // The system hands out a buffer larger than the block itself.
  bytes.resize(bytes.size() * 2 + 4, 0);
  versions.files[kExe] = bytes;

  const AllFour all = ReadAll(versions);
  EXPECT_EQ(all.version, "4.5.26.228");
  EXPECT_EQ(all.company, "Velmora Labs");
  EXPECT_EQ(all.copyright, "\xC2\xA9 2026 Velmora Labs");
  EXPECT_EQ(all.product, "Velmora");
  EXPECT_EQ(common::GetFileInfoString(versions, kExe, "productversion"), "4.5.26.228");
  EXPECT_EQ(common::GetFileInfoString(versions, kExe, "Comments"), "");
  EXPECT_EQ(common::GetFileInfoString(versions, kExe, "Company"), "");
  EXPECT_EQ(common::GetFileInfoString(versions, kExe, "CompanyNameX"), "");
  EXPECT_EQ(common::GetFileInfoString(versions, "C:\\other.exe", "CompanyName"), "");
}

TEST(FileInfoUtilsTest, ConvertsStringValuesToUtf8) {
  FakeVersionResources versions;
  versions.files[kExe] = Serialize(VersionInfo(
      std::nullopt,
      {StringFileInfo({StringTable(
          u"040904E4",
          {String(u"CompanyName", u"\u0412\u0435\u043B\u044C\u043C\u043E\u0440\u0430"),
           String(u"LegalCopyright", u"A\U0001F600B"),
           String(u"ProductName", u"x\xD800y")})})})); // unpaired surrogate

  const AllFour all = ReadAll(versions);
  EXPECT_EQ(all.company, "\xD0\x92\xD0\xB5\xD0\xBB\xD1\x8C\xD0\xBC\xD0\xBE\xD1\x80\xD0\xB0");
  EXPECT_EQ(all.copyright, "A\xF0\x9F\x98\x80" "B");
  EXPECT_EQ(all.product, "x\xEF\xBF\xBDy");
}

TEST(FileInfoUtilsTest, FileWithoutVersionResourceGivesEmptyTexts) {
  FakeVersionResources versions;
  const AllFour missing = ReadAll(versions);
  EXPECT_EQ(missing.version, "");
  EXPECT_EQ(missing.company, "");
  EXPECT_EQ(missing.copyright, "");
  EXPECT_EQ(missing.product, "");

  versions.files[kExe] = {};  // a zero-sized block
  const AllFour empty = ReadAll(versions);
  EXPECT_EQ(empty.version, "");
  EXPECT_EQ(empty.company, "");
}

// ---- Choice of the string table --------------------------------------------------------

TEST(FileInfoUtilsTest, StringTableFollowsTheFirstTranslationEntry) {
  const Node english = StringTable(u"040904E4", {String(u"CompanyName", u"english")});
  const Node russian = StringTable(u"041904b0", {String(u"CompanyName", u"russian")});
  const Node german = StringTable(u"040704B0", {String(u"CompanyName", u"german")});
  const Node spanish = StringTable(u"0c0afde9", {String(u"CompanyName", u"spanish")});
  const Node bad_translation{u"VarFileInfo", 1, {}, std::nullopt,
                             {Node{u"Translation", 0, {0x19, 0x04}, std::nullopt, {}}}};

  struct Case {
    const char* name;
    std::vector<Node> children;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"no translation table", {StringFileInfo({russian, english})}, "english"},
      {"first entry picks the table",
       {StringFileInfo({english, russian}), VarFileInfo({{0x0419, 0x04B0}})}, "russian"},
      {"only the first entry counts",
       {StringFileInfo({english, german}), VarFileInfo({{0x0407, 0x04B0}, {0x0409, 0x04E4}})},
       "german"},
      {"hex digits in lower case match any case",
       {StringFileInfo({english, spanish}), VarFileInfo({{0x0C0A, 0xFDE9}})}, "spanish"},
      {"0000/0000 means the default table",
       {StringFileInfo({russian, english}), VarFileInfo({{0, 0}})}, "english"},
      {"a language of 0 alone is kept",
       {StringFileInfo({english, StringTable(u"000004b0", {String(u"CompanyName", u"neutral")})}),
        VarFileInfo({{0, 0x04B0}})},
       "neutral"},
      {"translation shorter than one entry",
       {StringFileInfo({russian, english}), bad_translation}, "english"},
      {"empty translation", {StringFileInfo({russian, english}), VarFileInfo({})}, "english"},
      {"named table missing: no fallback to the default",
       {StringFileInfo({english}), VarFileInfo({{0x0419, 0x04B0}})}, ""},
  };
  for (const Case& c : cases) {
    FakeVersionResources versions;
    versions.files[kExe] = Serialize(VersionInfo(std::nullopt, c.children));
    EXPECT_EQ(common::GetCompanyName(versions, kExe), c.expected) << c.name;
  }
}

TEST(FileInfoUtilsTest, DeclaredLengthOnlySaysWhetherThereIsAText) {
  Node declared_empty = String(u"CompanyName", u"ignored");
  declared_empty.value_length = 0;  // a zero length means no value, whatever follows
  Node declared_short = String(u"ProductName", u"Velmora");
  declared_short.value_length = 2;  // the text still runs to its terminating zero
  FakeVersionResources versions;
  const Node table =
      StringTable(u"040904E4", {declared_empty, declared_short, String(u"LegalCopyright", u"")});
  versions.files[kExe] = Serialize(VersionInfo(std::nullopt, {StringFileInfo({table})}));
  const AllFour all = ReadAll(versions);
  EXPECT_EQ(all.company, "");
  EXPECT_EQ(all.copyright, "");
  EXPECT_EQ(all.product, "Velmora");
}

// ---- File version ---------------------------------------------------------------------

TEST(FileInfoUtilsTest, FileVersionIsNormalisedOrTakenFromFixedNumbers) {
  // The fixed numbers differ from every string so the fallback shows.
  const std::pair<uint32_t, uint32_t> fixed{0x00090008u, 0x0007FFFFu};
  struct Case {
    std::u16string file_version;
    std::optional<uint16_t> declared_units;  // when the block declares its own length
    const char* expected;
  };
  const std::vector<Case> cases = {
      {u"4.5.26.228", {}, "4.5.26.228"},
      {u"4, 5, 26, 228", {}, "4.5.26.228"},
      {u"1,2,3,4", {}, "1.2.3.4"},
      {u"4.5.26.228 beta", {}, "4.5.26.228"},
      {u"4.5-rc1", {}, "4.5"},
      {u"4..5.", {}, "4.5"},
      {u",4", {}, "4"},
      {u" .,4 . 5", {}, "4.5"},
      {u"4.5\u00E9.6", {}, "4.5"},
      {u"1.2.3.4.5", {}, "1.2.3.4.5"},
      {u"v4.5", {}, "9.8.7.65535"},
      {u"-1", {}, "9.8.7.65535"},
      {u"...", {}, "9.8.7.65535"},
      {u"", {}, "9.8.7.65535"},
      // only the declared number of characters is scanned
      {u"4.5.26.228", uint16_t{4}, "4.5"},
      {u"4.5.26.228", uint16_t{0}, "9.8.7.65535"},
  };
  for (const Case& c : cases) {
    Node value = String(u"FileVersion", c.file_version);
    value.value_length = c.declared_units;
    FakeVersionResources versions;
    versions.files[kExe] = Serialize(
        VersionInfo(fixed, {StringFileInfo({StringTable(u"040904e4", {value})})}));
    const std::string shown(c.file_version.begin(), c.file_version.end());
    EXPECT_EQ(common::GetFileVersion(versions, kExe), c.expected) << "FileVersion: " << shown;
  }
}

TEST(FileInfoUtilsTest, NormaliseVersionTextKeepsDigitGroups) {
  EXPECT_EQ(common::NormaliseVersionText("4, 5, 26, 228"), "4.5.26.228");
  EXPECT_EQ(common::NormaliseVersionText("4.5.26.228 beta"), "4.5.26.228");
  EXPECT_EQ(common::NormaliseVersionText(std::string_view("4.5\0.6", 6)), "4.5");
  EXPECT_EQ(common::NormaliseVersionText("\t4.5"), "");
  EXPECT_EQ(common::NormaliseVersionText(""), "");
}

TEST(FileInfoUtilsTest, FileVersionWithoutStringOrFixedInfo) {
  struct Case {
    const char* name;
    Node root;
    const char* expected;
  };
  Node unsigned_fixed = VersionInfo(std::pair{0x00010002u, 0x00030004u}, {});
  unsigned_fixed.value[0] = 0;  // signature broken
  Node short_fixed = VersionInfo(std::pair{0x00010002u, 0x00030004u}, {});
  short_fixed.value.resize(16);
  Node cut_fixed = short_fixed;  // declares the whole structure, holds 16 bytes of it
  cut_fixed.value_length = 52;
  const std::vector<Case> cases = {
      {"fixed info only", VersionInfo(std::pair{0x00010002u, 0x00030004u}, {}), "1.2.3.4"},
      {"FileVersion in another table",
       VersionInfo(std::pair{0x00010002u, 0x00030004u},
                   {StringFileInfo({StringTable(u"041904b0", {String(u"FileVersion", u"7.7")})})}),
       "1.2.3.4"},
      {"string only",
       VersionInfo(std::nullopt,
                   {StringFileInfo({StringTable(u"040904E4", {String(u"FileVersion", u"5.6")})})}),
       "5.6"},
      {"neither", VersionInfo(std::nullopt, {VarFileInfo({{0x0409, 0x04E4}})}), ""},
      {"bad string, no fixed info",
       VersionInfo(std::nullopt,
                   {StringFileInfo({StringTable(u"040904E4", {String(u"FileVersion", u"v1")})})}),
       ""},
      {"fixed info without signature", unsigned_fixed, ""},
      {"fixed info too short", short_fixed, ""},
      {"fixed info cut short", cut_fixed, ""},
  };
  for (const Case& c : cases) {
    FakeVersionResources versions;
    versions.files[kExe] = Serialize(c.root);
    EXPECT_EQ(common::GetFileVersion(versions, kExe), c.expected) << c.name;
  }
}

// ---- Damaged resources ----------------------------------------------------------------

bool IsVersionText(const std::string& text) {
  static const std::regex pattern(R"((\d+(\.\d+)*)?)");
  return std::regex_match(text, pattern);
}

TEST(FileInfoUtilsTest, TruncatedResourceGivesEmptyTexts) {
  const std::vector<uint8_t> whole = Serialize(ProgramResource());
  for (size_t size = 0; size < whole.size(); ++size) {
    FakeVersionResources versions;
    versions.files[kExe] = std::vector<uint8_t>(whole.begin(), whole.begin() + size);
    const AllFour all = ReadAll(versions);
    EXPECT_EQ(all.version, "") << "cut at " << size;
    EXPECT_EQ(all.company, "") << "cut at " << size;
    EXPECT_EQ(all.copyright, "") << "cut at " << size;
    EXPECT_EQ(all.product, "") << "cut at " << size;
  }
}

// Offset of the first occurrence of `key` as UTF-16 in the block, minus the header.
size_t BlockOffset(const std::vector<uint8_t>& bytes, std::u16string_view key) {
  const std::vector<uint8_t> needle = Utf16Z(key);
  auto it = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
  EXPECT_NE(it, bytes.end());
  return static_cast<size_t>(it - bytes.begin()) - 6;
}

void SetWord(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

TEST(FileInfoUtilsTest, DamagedBlocksAreSkippedWithoutReadingPastThem) {
  const std::vector<uint8_t> whole = Serialize(ProgramResource());
  struct Case {
    const char* name;
    std::u16string block;  // key of the damaged block
    size_t field;          // 0 length, 2 value length
    uint16_t value;
    AllFour expected;
  };
  const std::vector<Case> cases = {
      {"zero-length string table", u"040904E4", 0, 0, {"4.5.26.228", "", "", ""}},
      {"string table longer than its parent", u"040904E4", 0, 0xF000,
       {"4.5.26.228", "", "", ""}},
      {"zero-length first string", u"CompanyName", 0, 0, {"4.5.26.228", "", "", ""}},
      {"length shorter than the key", u"CompanyName", 0, 10, {"4.5.26.228", "", "", ""}},
      // the value may claim more than the block holds: the text stops at the block end
      {"value length past the block", u"CompanyName", 2, 0x7FFF,
       {"4.5.26.228", "Velmora Labs", "\xC2\xA9 2026 Velmora Labs", "Velmora"}},
      {"fixed info longer than the block", u"VS_VERSION_INFO", 2, 0xFFFF,
       {"4.5.26.228", "", "", ""}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = whole;
    SetWord(bytes, BlockOffset(bytes, c.block) + c.field, c.value);
    FakeVersionResources versions;
    versions.files[kExe] = bytes;
    const AllFour all = ReadAll(versions);
    EXPECT_EQ(all.version, c.expected.version) << c.name;
    EXPECT_EQ(all.company, c.expected.company) << c.name;
    EXPECT_EQ(all.copyright, c.expected.copyright) << c.name;
    EXPECT_EQ(all.product, c.expected.product) << c.name;
  }
}

TEST(FileInfoUtilsTest, UnterminatedStringStopsAtTheBlockEnd) {
  // The last string of the table has no terminating zero and its declared length runs
  // past the whole resource.
  Node last{u"ProductName", 1, {'V', 0, 'e', 0, 'l', 0}, uint16_t{200}, {}};
  FakeVersionResources versions;
  versions.files[kExe] =
      Serialize(VersionInfo(std::nullopt, {StringFileInfo({StringTable(u"040904E4", {last})})}));
  EXPECT_EQ(common::GetFileInfoString(versions, kExe, "ProductName"), "Vel");

  // A key that runs to the end of the data matches nothing: the resource ends inside
  // the key "CompanyName", and every enclosing block ends there too.
  std::vector<uint8_t> bytes = Serialize(VersionInfo(
      std::nullopt, {StringFileInfo({StringTable(u"040904E4", {String(u"CompanyName", u"")})})}));
  std::vector<size_t> starts;
  for (const char16_t* key : {u"VS_VERSION_INFO", u"StringFileInfo", u"040904E4", u"CompanyName"})
    starts.push_back(BlockOffset(bytes, key));
  bytes.resize(starts.back() + 6 + 2 * 11);  // header and key, without its zero
  for (size_t at : starts) SetWord(bytes, at, static_cast<uint16_t>(bytes.size() - at));
  versions.files[kExe] = bytes;
  EXPECT_EQ(common::GetCompanyName(versions, kExe), "");
}

TEST(FileInfoUtilsTest, CorruptedBytesNeverGiveMalformedVersions) {
  // Every single byte set to each of a few telling values: whatever is still readable,
  // the version stays a digit-and-dot text and the reads stay inside the data (ASan).
  const std::vector<uint8_t> whole = Serialize(ProgramResource());
  for (size_t i = 0; i < whole.size(); ++i) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0x7F}, uint8_t{0xFF}}) {
      std::vector<uint8_t> bytes = whole;
      bytes[i] = value;
      FakeVersionResources versions;
      versions.files[kExe] = bytes;
      const AllFour all = ReadAll(versions);
      ASSERT_TRUE(IsVersionText(all.version)) << "byte " << i << " = " << int{value} << ": "
                                              << all.version;
    }
  }
}

}  // namespace
