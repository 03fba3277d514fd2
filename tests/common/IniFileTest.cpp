#include "common/IniFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeFileSystem.h"

namespace {

using common::Encoding;
using common::IniDocument;
using common::IniEntry;
using common::IniFile;
using common::IniOptions;

const std::string kFolder = "C:\\Users\\anna\\AppData\\Roaming\\Velmora Labs\\Velmora\\Config";
const std::string kPath = kFolder + "\\Option.ini";

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

// ---- Whole files through the disk ------------------------------------------------

TEST(IniDocumentTest, FirstSaveWritesExactlyTheSectionAndItsKeys) {
  fakes::FakeFileSystem fs;
  fs.AddDirectory(kFolder);
  auto doc = IniDocument::Load(fs, kPath, 1251);
  ASSERT_TRUE(doc.has_value());
  EXPECT_EQ(doc->encoding, Encoding::Ansi);
  EXPECT_TRUE(doc->ini.empty());

  const char* keys[] = {"ThemeAuto", "ThemeLight", "ThemeDark", "CheckBoxEnableDNS",
                        "CheckBoxFlushDNS", "CheckBoxResetTCPIP", "CheckBoxResetProxy",
                        "CheckBoxRebuildWMI", "CheckBoxResetFirewall", "CheckBoxRepairWorkgroup",
                        "CheckBoxClearARPcache", "CheckBoxNetworkVisibility",
                        "CheckBoxRestoreNetworkAdapters", "CheckBoxRenewIP"};
  for (const char* key : keys) doc->ini.WriteBool("Option", key, std::string(key) == "ThemeDark");
  ASSERT_TRUE(doc->Save(fs, kPath, 1251));

  EXPECT_EQ(fs.Text(kPath),
            "[Option]\r\n"
            "ThemeAuto=0\r\n"
            "ThemeLight=0\r\n"
            "ThemeDark=1\r\n"
            "CheckBoxEnableDNS=0\r\n"
            "CheckBoxFlushDNS=0\r\n"
            "CheckBoxResetTCPIP=0\r\n"
            "CheckBoxResetProxy=0\r\n"
            "CheckBoxRebuildWMI=0\r\n"
            "CheckBoxResetFirewall=0\r\n"
            "CheckBoxRepairWorkgroup=0\r\n"
            "CheckBoxClearARPcache=0\r\n"
            "CheckBoxNetworkVisibility=0\r\n"
            "CheckBoxRestoreNetworkAdapters=0\r\n"
            "CheckBoxRenewIP=0\r\n"
            "\r\n");
  // Written beside the target first, then moved onto it; nothing else stays behind.
  EXPECT_EQ(fs.Log(), (std::vector<std::string>{"write " + kPath + ".tmp",
                                                "rename " + kPath + ".tmp -> " + kPath}));
  EXPECT_EQ(fs.FilePaths(), std::vector<std::string>{kPath});
}

TEST(IniDocumentTest, RewriteKeepsOtherOwnersKeysAndSections) {
  fakes::FakeFileSystem fs;
  fs.SetFile(kPath,
             "; written by hand\r\n"
             "[Option]\r\n"
             "ThemeAuto=0\r\n"
             "CheckBoxAutoCheck = 1\r\n"
             "; keep this note\r\n"
             "\r\n"
             "[Language]\r\n"
             "Language=English\r\n"
             "\r\n"
             "[Extra]\r\n"
             "Anything=goes here\r\n");
  auto doc = IniDocument::Load(fs, kPath, 1252);
  ASSERT_TRUE(doc.has_value());
  doc->ini.WriteBool("Option", "ThemeAuto", true);
  doc->ini.WriteBool("Option", "ThemeDark", false);
  doc->ini.WriteBool("Option", "CheckBoxAutoCheck", true);  // same value: line untouched
  ASSERT_TRUE(doc->Save(fs, kPath, 1252));

  EXPECT_EQ(fs.Text(kPath),
            "; written by hand\r\n"
            "[Option]\r\n"
            "ThemeAuto=1\r\n"
            "CheckBoxAutoCheck = 1\r\n"
            "ThemeDark=0\r\n"
            "; keep this note\r\n"
            "\r\n"
            "[Language]\r\n"
            "Language=English\r\n"
            "\r\n"
            "[Extra]\r\n"
            "Anything=goes here\r\n"
            "\r\n");
}

TEST(IniDocumentTest, RewritesInTheEncodingItWasReadIn) {
  // The same change in each encoding: a Cyrillic value read, another one written.
  const std::string before = "[Language]\r\nLanguage=Русский\r\n\r\n";
  const std::string after = "[Language]\r\nLanguage=Русский\r\nLANGNAME=Ёжик\r\n\r\n";
  struct Case {
    Encoding encoding;
    std::vector<uint8_t> after_bytes;
  } cases[] = {
      {Encoding::Ansi, Bytes("[Language]\r\n"
                             "Language=\xD0\xF3\xF1\xF1\xEA\xE8\xE9\r\n"
                             "LANGNAME=\xA8\xE6\xE8\xEA\r\n\r\n")},
      {Encoding::Utf8Bom, Bytes("\xEF\xBB\xBF" + after)},
      {Encoding::Utf16LeBom, common::EncodeFile(after, Encoding::Utf16LeBom, 1251)},
      {Encoding::Utf16BeBom, common::EncodeFile(after, Encoding::Utf16BeBom, 1251)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.encoding));
    fakes::FakeFileSystem fs;
    fs.SetFile(kPath, common::EncodeFile(before, c.encoding, 1251));
    auto doc = IniDocument::Load(fs, kPath, 1251);
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(doc->encoding, c.encoding);
    EXPECT_EQ(doc->ini.ReadString("language", "language", ""), "Русский");
    doc->ini.WriteString("Language", "LANGNAME", "Ёжик");
    ASSERT_TRUE(doc->Save(fs, kPath, 1251));
    EXPECT_EQ(fs.Contents(kPath), c.after_bytes);
  }
  // The UTF-16 bytes spelled out once, so the table above does not only check
  // EncodeFile against itself.
  EXPECT_EQ(common::EncodeFile("[Ё]", Encoding::Utf16LeBom, 1251),
            Bytes(std::string("\xFF\xFE[\0\x01\x04]\0", 8)));
}

TEST(IniDocumentTest, FailedSaveLeavesTheOldFileUntouched) {
  const std::string old_text =
      "[Option]\r\nThemeDark=1\r\n\r\n[Language]\r\nLanguage=Deutsch\r\n\r\n";
  struct Case {
    const char* name;
    void (*arrange)(fakes::FakeFileSystem&);
  } cases[] = {
      {"write stops half way", [](fakes::FakeFileSystem& fs) { fs.FailNextWrite(20); }},
      {"write stops at once", [](fakes::FakeFileSystem& fs) { fs.FailNextWrite(0); }},
      {"move onto the target fails", [](fakes::FakeFileSystem& fs) { fs.FailRenames(); }},
      {"target is read-only", [](fakes::FakeFileSystem& fs) { fs.SetReadOnly(kPath); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fakes::FakeFileSystem fs;
    fs.SetFile(kPath, old_text);
    auto doc = IniDocument::Load(fs, kPath, 1252);
    ASSERT_TRUE(doc.has_value());
    doc->ini.WriteBool("Option", "ThemeDark", false);
    doc->ini.WriteBool("Option", "CheckBoxRenewIP", true);
    c.arrange(fs);

    EXPECT_FALSE(doc->Save(fs, kPath, 1252));
    EXPECT_EQ(fs.Text(kPath), old_text);
    EXPECT_EQ(fs.FilePaths(), std::vector<std::string>{kPath});  // the temporary is gone
  }
}

TEST(IniDocumentTest, SaveIntoAMissingFolderFailsAndCreatesNothing) {
  fakes::FakeFileSystem fs;
  IniDocument doc;
  doc.ini.WriteBool("Option", "ThemeAuto", true);
  EXPECT_FALSE(doc.Save(fs, kPath, 1252));
  EXPECT_TRUE(fs.FilePaths().empty());
}

TEST(IniDocumentTest, UnreadableFileIsAnErrorButAMissingOneIsEmpty) {
  fakes::FakeFileSystem fs;
  fs.SetFile(kPath, "[Option]\r\nThemeDark=1\r\n");
  fs.SetUnreadable(kPath);
  EXPECT_FALSE(IniDocument::Load(fs, kPath, 1252).has_value());

  const auto missing = IniDocument::Load(fs, kFolder + "\\dns.ini", 1252);
  ASSERT_TRUE(missing.has_value());
  EXPECT_TRUE(missing->ini.empty());
  EXPECT_EQ(missing->encoding, Encoding::Ansi);
}

TEST(IniDocumentTest, NewFileIsWrittenInTheAnsiCodePageWithoutMark) {
  fakes::FakeFileSystem fs;
  fs.AddDirectory(kFolder);
  auto doc = IniDocument::Load(fs, kPath, 1251);
  ASSERT_TRUE(doc.has_value());
  doc->ini.WriteString("Language", "Language", "Русский");
  ASSERT_TRUE(doc->Save(fs, kPath, 1251));
  EXPECT_EQ(fs.Text(kPath), "[Language]\r\nLanguage=\xD0\xF3\xF1\xF1\xEA\xE8\xE9\r\n\r\n");
}

TEST(IniDocumentTest, TextFileRoundTripKeepsTheEncodingForLineEdits) {
  // A whole-list rewrite as UTF-16 LE, then a line removed and written back.
  fakes::FakeFileSystem fs;
  fs.AddDirectory(kFolder);
  const std::string dns = kFolder + "\\dns.ini";
  ASSERT_TRUE(common::SaveTextFile(fs, dns, "[Ipv4_Default]\r\nRU - Yandex=77.88.8.1,77.88.8.8\r\n",
                                   Encoding::Utf16LeBom, 1251));
  auto text = common::LoadTextFile(fs, dns, 1251);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->encoding, Encoding::Utf16LeBom);
  auto lines = common::SplitLines(text->utf8);
  ASSERT_EQ(lines.size(), 2u);
  lines.pop_back();
  ASSERT_TRUE(common::SaveTextFile(fs, dns, common::JoinLines(lines), text->encoding, 1251));
  EXPECT_EQ(fs.Contents(dns), common::EncodeFile("[Ipv4_Default]\r\n", Encoding::Utf16LeBom, 1251));
}

// ---- Reading rules -----------------------------------------------------------

TEST(IniFileTest, NamesAreComparedWithoutCase) {
  IniFile ini = IniFile::Parse("[option]\r\nthemedark=1\r\n[Язык]\r\nТема=Тёмная\r\n");
  EXPECT_TRUE(ini.ReadBool("Option", "ThemeDark", false));
  EXPECT_TRUE(ini.HasSection("OPTION"));
  EXPECT_EQ(ini.ReadString("ЯЗЫК", "тема", ""), "Тёмная");

  // Writing under another spelling changes the existing line and keeps its spelling.
  ini.WriteBool("Option", "ThemeDark", false);
  ini.WriteString("язык", "ТЕМА", "Светлая");
  EXPECT_EQ(ini.Serialize(), "[option]\r\nthemedark=0\r\n\r\n[Язык]\r\nТема=Светлая\r\n\r\n");
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"option", "Язык"}));
}

TEST(IniFileTest, BooleansAndIntegers) {
  struct Case {
    const char* line;
    bool if_default_false;
    bool if_default_true;
    std::optional<int> integer;
  } cases[] = {
      {"K=1", true, true, 1},
      {"K=0", false, false, 0},
      {"K=0x10", true, true, 16},
      {"K=0X1f", true, true, 31},
      {"K=0x0", false, false, 0},
      {"K= 1 ", true, true, 1},
      {"K=-1", true, true, -1},
      {"K=+2", true, true, 2},
      {"K=abc", false, true, std::nullopt},
      {"K=", false, true, std::nullopt},
      {"K=1abc", false, true, std::nullopt},
      {"K=0x", false, true, std::nullopt},
      {"K=1 0", false, true, std::nullopt},
      {"K=99999999999", false, true, std::nullopt},
      {"K", false, true, std::nullopt},  // no value at all
      {"Other=1", false, true, std::nullopt},  // no such key
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const IniFile ini = IniFile::Parse(std::string("[Option]\r\n") + c.line + "\r\n");
    EXPECT_EQ(ini.ReadBool("Option", "K", false), c.if_default_false);
    EXPECT_EQ(ini.ReadBool("Option", "K", true), c.if_default_true);
    EXPECT_EQ(ini.ReadInteger("Option", "K", -7), c.integer.value_or(-7));
  }
}

TEST(IniFileTest, IntegerLimits) {
  EXPECT_EQ(common::ParseIniInteger("2147483647"), 2147483647);
  EXPECT_EQ(common::ParseIniInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(common::ParseIniInteger("2147483648"), std::nullopt);
  EXPECT_EQ(common::ParseIniInteger("-2147483649"), std::nullopt);
  EXPECT_EQ(common::ParseIniInteger("0xFFFFFFFF"), -1);
  EXPECT_EQ(common::ParseIniInteger("0x0000000010"), 16);
  EXPECT_EQ(common::ParseIniInteger("0x100000000"), std::nullopt);
  EXPECT_EQ(common::ParseIniInteger("-"), std::nullopt);
}

TEST(IniFileTest, BlanksAroundNamesAndValuesAreIgnored) {
  IniFile ini = IniFile::Parse(
      "  [ Ipv4_Default ]  \r\n"
      "  US - Google Public DNS  =  8.8.8.8,8.8.4.4  \r\n"
      "\tTabbed\t=\tx y\t\r\n"
      "Path=C:\\a=b\r\n"
      "=no name\r\n");
  EXPECT_EQ(ini.SectionNames(), std::vector<std::string>{"Ipv4_Default"});
  EXPECT_EQ(ini.Entries("ipv4_default"),
            (std::vector<IniEntry>{{"US - Google Public DNS", "8.8.8.8,8.8.4.4"},
                                   {"Tabbed", "x y"},
                                   {"Path", "C:\\a=b"},  // split at the first "="
                                   {"", "no name"}}));
  EXPECT_EQ(ini.ReadString("Ipv4_Default", " us - google public dns ", ""), "8.8.8.8,8.8.4.4");

  // Rewriting a value it already has leaves the line as it was typed.
  ini.WriteString("Ipv4_Default", "Tabbed", "x y");
  ini.WriteString("Ipv4_Default", "Path", "D:\\");
  EXPECT_EQ(ini.Serialize(),
            "  [ Ipv4_Default ]  \r\n"
            "  US - Google Public DNS  =  8.8.8.8,8.8.4.4  \r\n"
            "\tTabbed\t=\tx y\t\r\n"
            "Path=D:\\\r\n"
            "=no name\r\n"
            "\r\n");
}

TEST(IniFileTest, LineWithoutEqualsIsAKeyWithoutValue) {
  const IniFile ini = IniFile::Parse(
      "[Velmora]\r\n"
      "Form1.ButtonTestDNS.Caption\r\n"
      "Form1.ButtonTestDNS.Hint=Run\r\n"
      "Form1.ButtonTestDNS.Caption=Test\r\n");
  EXPECT_EQ(ini.KeyNames("Velmora"),
            (std::vector<std::string>{"Form1.ButtonTestDNS.Caption", "Form1.ButtonTestDNS.Hint",
                                      "Form1.ButtonTestDNS.Caption"}));
  EXPECT_EQ(ini.Entries("Velmora")[0], (IniEntry{"Form1.ButtonTestDNS.Caption", std::nullopt}));
  EXPECT_TRUE(ini.HasKey("Velmora", "form1.buttontestdns.caption"));
  // The first entry of the name is the one found, and it has no value.
  EXPECT_EQ(ini.ReadString("Velmora", "Form1.ButtonTestDNS.Caption", "design"), "design");
  EXPECT_EQ(ini.ReadString("Velmora", "Form1.ButtonTestDNS.Hint", ""), "Run");
}

// Files read as the system's profile functions read them lose one pair of matching
// quotes around a value; language files keep them; writing back keeps the file's text.
TEST(IniFileTest, QuotesAroundAValue) {
  const std::string text =
      "[S]\r\nd=\"1.1.1.1,1.0.0.1\"\r\ns='x'\r\nmixed=\"x'\r\none=\"\r\nempty=\"\"\r\n"
      "inner=a\"b\"c\r\ntwice=\"\"x\"\"\r\nn=\"1\"\r\n";
  const struct {
    const char* key;
    const char* unquoted;
    const char* kept;
  } cases[] = {
      {"d", "1.1.1.1,1.0.0.1", "\"1.1.1.1,1.0.0.1\""},
      {"s", "x", "'x'"},
      {"mixed", "\"x'", "\"x'"},
      {"one", "\"", "\""},
      {"empty", "", "\"\""},
      {"inner", "a\"b\"c", "a\"b\"c"},
      {"twice", "\"x\"", "\"\"x\"\""},
  };
  for (common::IniOptions options : {common::IniOptions::DnsList(), common::IniOptions::Settings()}) {
    const IniFile ini = IniFile::Parse(text, options);
    for (const auto& c : cases) EXPECT_EQ(ini.ReadString("S", c.key, "?"), c.unquoted) << c.key;
    EXPECT_EQ(ini.Entries("S")[0].value, "1.1.1.1,1.0.0.1");
    EXPECT_EQ(ini.ReadInteger("S", "n", 0), 1);
    EXPECT_EQ(ini.Serialize(), text + "\r\n") << "the file keeps its quotes";
  }
  const IniFile language = IniFile::Parse(text, common::IniOptions::LanguageFile());
  for (const auto& c : cases) EXPECT_EQ(language.ReadString("S", c.key, "?"), c.kept) << c.key;
}

TEST(IniFileTest, FirstEntryOfANameWins) {
  const IniFile ini = IniFile::Parse(
      "[Ipv4_Default]\r\nRU - Yandex=77.88.8.1,77.88.8.8\r\nru - yandex=1.1.1.1,1.0.0.1\r\n");
  EXPECT_EQ(ini.ReadString("Ipv4_Default", "RU - Yandex", ""), "77.88.8.1,77.88.8.8");
  EXPECT_EQ(ini.Entries("Ipv4_Default").size(), 2u);  // both stay listed, in file order
}

TEST(IniFileTest, RepeatedSectionHeader) {
  const std::string text =
      "[Option]\r\n"
      "A=1\r\n"
      "[Language]\r\n"
      "Language=Deutsch\r\n"
      "[OPTION]\r\n"
      "A=2\r\n"
      "; under the repeat\r\n"
      "B=3\r\n";

  // The settings file: the repeated lines join the first section; the first A wins.
  const IniFile joined = IniFile::Parse(text, IniOptions::Settings());
  EXPECT_EQ(joined.SectionNames(), (std::vector<std::string>{"Option", "Language"}));
  EXPECT_EQ(joined.ReadString("Option", "A", ""), "1");
  EXPECT_EQ(joined.ReadString("Option", "B", ""), "3");
  EXPECT_EQ(joined.Serialize(),
            "[Option]\r\nA=1\r\nA=2\r\n; under the repeat\r\nB=3\r\n\r\n"
            "[Language]\r\nLanguage=Deutsch\r\n\r\n");

  // Language files and the DNS list: the repeated lines are not read, nor written back.
  const IniFile ignored = IniFile::Parse(text, IniOptions::LanguageFile());
  EXPECT_EQ(ignored.SectionNames(), (std::vector<std::string>{"Option", "Language"}));
  EXPECT_EQ(ignored.KeyNames("Option"), std::vector<std::string>{"A"});
  EXPECT_EQ(ignored.ReadString("Option", "B", "none"), "none");
  EXPECT_EQ(ignored.Serialize(),
            "[Option]\r\nA=1\r\n\r\n[Language]\r\nLanguage=Deutsch\r\n\r\n");
  EXPECT_EQ(IniFile::Parse(text, IniOptions::DnsList()).Serialize(), ignored.Serialize());
}

TEST(IniFileTest, CommentsStayWhereTheyStood) {
  IniFile ini = IniFile::Parse(
      "; top of file\r\n"
      "[Velmora]\r\n"
      "; translated by someone\r\n"
      "Form1.A.Caption=a\r\n"
      "  ; indented\r\n"
      "Form1.B.Caption=b\r\n"
      ";Form1.C.Caption=c\r\n"
      "[DestDir]\r\n"
      "; nothing here\r\n");
  EXPECT_EQ(ini.KeyNames("Velmora"),
            (std::vector<std::string>{"Form1.A.Caption", "Form1.B.Caption"}));
  EXPECT_FALSE(ini.HasKey("Velmora", ";Form1.C.Caption"));
  EXPECT_TRUE(ini.Entries("DestDir").empty());

  EXPECT_TRUE(ini.DeleteKey("Velmora", "Form1.A.Caption"));
  ini.WriteString("DestDir", "Path", "x");  // a section of comments only: added at its end
  ini.WriteString("Velmora", "Form1.D.Caption", "d");
  EXPECT_EQ(ini.Serialize(),
            "; top of file\r\n"
            "[Velmora]\r\n"
            "; translated by someone\r\n"
            "  ; indented\r\n"
            "Form1.B.Caption=b\r\n"
            "Form1.D.Caption=d\r\n"
            ";Form1.C.Caption=c\r\n"
            "\r\n"
            "[DestDir]\r\n"
            "; nothing here\r\n"
            "Path=x\r\n"
            "\r\n");
}

TEST(IniFileTest, EmptyLinesAreNormalisedToOneAfterEachSection) {
  const IniFile ini = IniFile::Parse("\n\n[A]\n\n\nx=1\n\n\n\n[B]\ny=2");
  EXPECT_EQ(ini.Serialize(), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\r\n");
  // A file already in that form comes back byte for byte.
  EXPECT_EQ(IniFile::Parse(ini.Serialize()).Serialize(), ini.Serialize());
}

TEST(IniFileTest, KeysKeepTheOrderTheyWereFirstWrittenIn) {
  IniFile ini;
  ini.WriteString("S", "B", "1");
  ini.WriteString("S", "A", "2");
  ini.WriteString("T", "C", "3");
  ini.WriteString("s", "b", "4");
  EXPECT_EQ(ini.Serialize(), "[S]\r\nB=4\r\nA=2\r\n\r\n[T]\r\nC=3\r\n\r\n");
}

TEST(IniFileTest, LineBreaksInWrittenTextDoNotSplitTheLine) {
  IniFile ini;
  ini.WriteString("S", "K", "one\r\ntwo\nthree");
  EXPECT_EQ(ini.Serialize(), "[S]\r\nK=one  two three\r\n\r\n");
  EXPECT_EQ(IniFile::Parse(ini.Serialize()).KeyNames("S"), std::vector<std::string>{"K"});
}

TEST(IniFileTest, DeletingRemovesTheFirstRemainingOccurrence) {
  IniFile ini = IniFile::Parse("[S]\r\nk=1\r\nother=x\r\nK=2\r\nk=3\r\n[T]\r\nt=1\r\n");
  EXPECT_TRUE(ini.DeleteKey("s", "K"));
  EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
  EXPECT_TRUE(ini.DeleteKey("S", "k"));
  EXPECT_EQ(ini.ReadString("S", "k", ""), "3");
  EXPECT_EQ(ini.KeyNames("S"), (std::vector<std::string>{"other", "k"}));
  EXPECT_FALSE(ini.DeleteKey("S", "missing"));
  EXPECT_FALSE(ini.DeleteKey("Missing", "k"));

  EXPECT_TRUE(ini.EraseSection("t"));
  EXPECT_FALSE(ini.EraseSection("T"));
  EXPECT_EQ(ini.Serialize(), "[S]\r\nother=x\r\nk=3\r\n\r\n");
}

// ---- The in-memory disk the tests above rely on ------------------------------------

TEST(FakeFileSystemTest, PathsFollowTheSystemsRules) {
  fakes::FakeFileSystem fs;
  // Case of A to Z, "/" for "\" and doubled separators (an empty maker name gives
  // one) all name the same file.
  ASSERT_TRUE(fs.CreateDirectories("C:\\Users\\anna\\AppData\\Roaming\\\\Velmora\\Config"));
  EXPECT_TRUE(fs.HasDirectory("c:/users/anna/appdata/roaming"));
  ASSERT_TRUE(
      fs.WriteFile("C:\\Users\\anna\\AppData\\Roaming\\\\Velmora\\Config\\dns.ini", Bytes("x")));
  EXPECT_TRUE(fs.FileExists("c:/USERS/anna/appdata/roaming/velmora/config/DNS.INI"));
  EXPECT_FALSE(fs.FileExists("C:\\Users\\anna\\AppData\\Roaming\\Velmora\\Config"));  // a folder

  // No file in a folder that does not exist; no folder where a file is.
  EXPECT_FALSE(fs.WriteFile("D:\\Portable\\Config\\Option.ini", Bytes("x")));
  EXPECT_FALSE(
      fs.CreateDirectories("C:\\Users\\anna\\AppData\\Roaming\\Velmora\\Config\\dns.ini\\sub"));
  fs.FailCreateDirectories();
  EXPECT_FALSE(fs.CreateDirectories("D:\\Portable\\Config"));
  EXPECT_FALSE(fs.HasDirectory("D:\\Portable"));
}

}  // namespace
