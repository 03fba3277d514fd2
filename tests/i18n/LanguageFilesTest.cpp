#include <gtest/gtest.h>

#include "shell/Catalogue.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/RecordingMainForm.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "fakes/FakePlatform.h"
#include "fakes/HeadlessHost.h"
#include "i18n/LanguageFiles.h"

namespace {

// ---- Tidying of one file's text ------------------------------------------------------

struct CleanCase {
  const char* name;
  const char* what;
  const char* before;
  const char* after;  // nullptr: unchanged
};

class CleanTable : public ::testing::TestWithParam<CleanCase> {};

std::string Clean(const std::string& text) {
  fakes::HeadlessHost host;
  ui::Application app(host);
  auto* main = app.CreateForm<ui::Form>("Form1");
  main->Create<ui::Button>(main, "ButtonTestDNS");
  main->Create<ui::MenuItem>(main, "LangError");
  app.CreateForm<ui::Form>("Form10");
  app.CreateForm<ui::Form>("Form8");
  std::vector<common::IniTextLine> lines = common::SplitIniText(text);
  const bool changed = i18n::CleanLanguageText(lines, i18n::KnownNames(app.Forms()));
  const std::string after = common::JoinIniText(lines);
  EXPECT_EQ(changed, after != text);
  return after;
}

TEST_P(CleanTable, KeepsWhatAddressesSomethingAndEveryOtherLineByteForByte) {
  const CleanCase& c = GetParam();
  EXPECT_EQ(Clean(c.before), c.after ? c.after : c.before) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    LanguageFiles, CleanTable,
    ::testing::Values(
        CleanCase{"OwnedComponentsAndWindowCaptionsStay", "a component of the window, a window caption, another case of the names",
                  "[Velmora]\r\nForm1.ButtonTestDNS.Caption=Test\r\nForm10.Caption=Update\r\n"
                  "FORM1.buttontestdns.Hint=h\r\nForm1.LangError.Caption=Error!\r\n",
                  nullptr},
        CleanCase{"UnknownComponentWindowOrNoDotGoes", "unknown component, unknown window, no dot",
                  "[Velmora]\r\nForm1.ButtonGone.Caption=x\r\nForm1.ButtonTestDNS.Caption=Test\r\n"
                  "Form99.Caption=x\r\nNoDot=x\r\n",
                  "[Velmora]\r\nForm1.ButtonTestDNS.Caption=Test\r\n"},
        CleanCase{"RepeatedKeysKeepTheLast", "of repeated keys the last occurrence stays, whatever the case",
                  "[Velmora]\r\nForm1.ButtonTestDNS.Caption=one\r\nForm10.Caption=u\r\n"
                  "form1.buttontestdns.caption=two\r\nForm1.ButtonTestDNS.Caption=three\r\n",
                  "[Velmora]\r\nForm10.Caption=u\r\nForm1.ButtonTestDNS.Caption=three\r\n"},
        CleanCase{"RepeatedUnknownKeyGoesEntirely", "a repeated unknown key goes entirely",
                  "[Velmora]\r\nForm1.Gone.Caption=1\r\nForm10.Caption=u\r\nForm1.Gone.Caption=2\r\n",
                  "[Velmora]\r\nForm10.Caption=u\r\n"},
        CleanCase{"EmptiedAndEmptySectionsAreErased", "an emptied section is erased with its comments; an empty one too",
                  "[Language information]\r\nLANGNAME=English\r\n\r\n[Old]\r\n; notes\r\nForm2.X.Caption=x\r\n\r\n"
                  "[Empty]\r\n[Velmora]\r\nForm10.Caption=u\r\n",
                  "[Language information]\r\nLANGNAME=English\r\n\r\n[Velmora]\r\nForm10.Caption=u\r\n"},
        CleanCase{"InformationAndDestDirUntouched", "information and DestDir are never touched, even empty or without dots",
                  "[Language information]\r\nLANGNAME=English\r\nNoDot\r\nNoDot\r\n[DestDir]\r\n"
                  "[destdir]\r\nx=1\r\n",
                  nullptr},
        CleanCase{"CommentsBlankLinesAndRepeatedHeadersStay", "comments, blank lines and the lines under a repeated header stay byte for byte",
                  "; Translated by hand\n\n[Velmora]\n; the buttons\nForm1.ButtonTestDNS.Caption=Test\n\n"
                  "Form1.Gone.Caption=x\n  ; indented note\n[VELMORA]\n; second thoughts\nForm1.ButtonTestDNS.Caption=never read\n"
                  "junk without equals\nForm1.Gone.Caption=y\n[Language information]\nLANGNAME=English",
                  "; Translated by hand\n\n[Velmora]\n; the buttons\nForm1.ButtonTestDNS.Caption=Test\n\n"
                  "  ; indented note\n[VELMORA]\n; second thoughts\nForm1.ButtonTestDNS.Caption=never read\n"
                  "junk without equals\nForm1.Gone.Caption=y\n[Language information]\nLANGNAME=English"},
        // Once the first section of a name is erased, the next one is what the reader
        // sees: it is tidied in the same run, so a second tidy finds nothing more.
        CleanCase{"ErasedSectionRevealsItsRepeatTidied", "the revealed section loses what addresses nothing and keeps the rest",
                  "[Old]\r\nForm9.Label1.Caption=x\r\n[Velmora]\r\nForm10.Caption=u\r\n[old]\r\n; kept note\r\n"
                  "Form9.Label1.Caption=y\r\nForm1.ButtonTestDNS.Caption=z\r\n[OLD]\r\nForm1.LangError.Caption=w\r\n",
                  "[Velmora]\r\nForm10.Caption=u\r\n[old]\r\n; kept note\r\nForm1.ButtonTestDNS.Caption=z\r\n"
                  "[OLD]\r\nForm1.LangError.Caption=w\r\n"},
        CleanCase{"ErasedSectionWithUselessRepeat", "a revealed section that addresses nothing goes as well",
                  "[Old]\r\nForm9.Label1.Caption=x\r\n[Velmora]\r\nForm10.Caption=u\r\n[old]\r\nForm9.Label1.Caption=y\r\n",
                  "[Velmora]\r\nForm10.Caption=u\r\n"},
        CleanCase{"RepeatedHeadersStayWhenNothingIsRemoved", "nothing to remove: the file is not rewritten",
                  "[Velmora]\r\nForm10.Caption=u\r\n[VELMORA]\r\nanything\r\n", nullptr},
        CleanCase{"LineEndsAreKept", "mixed line ends and the last line without one are kept",
                  "[Velmora]\rForm1.Gone.Caption=x\r\nForm10.Caption=u\n; end",
                  "[Velmora]\rForm10.Caption=u\n; end"},
        CleanCase{"BlanksAroundKeys", "blanks around keys do not hide them",
                  "[ Velmora ]\r\n  Form1.ButtonTestDNS.Caption = Test \r\n\tForm1.Gone.Caption=x\r\n",
                  "[ Velmora ]\r\n  Form1.ButtonTestDNS.Caption = Test \r\n"}),
    [](const ::testing::TestParamInfo<CleanCase>& info) { return std::string(info.param.name); });

// ---- Files, the menu and the setting, with the program's windows -------------------------

constexpr char kLanguageFolder[] = "C:\\Program Files\\Velmora\\Language\\";

struct LanguageFixture : ::testing::Test, fakes::FakePlatform {
  fakes::HeadlessHost host;
  ui::Application application{host};
  app::TForm1* form = nullptr;
  ui::Form* update = nullptr;
  ui::Form* about = nullptr;

  void SetUp() override {
    application.SetTitle("Velmora");
    form = application.CreateForm<testing_support::RecordingMainForm>(services, log);
    update = application.CreateForm<app::TForm10>(services);
    about = application.CreateForm<app::TForm8>(services);
  }
  i18n::Localization& Languages() { return form->Languages(); }
  void SetSetting(const std::string& language) {
    files.SetFile(form->PortablePath(), "\xEF\xBB\xBF[Language]\r\nLanguage=" + language + "\r\n");
  }
  std::string Setting() {
    auto doc = common::IniDocument::Load(files, form->PortablePath(), 1251);
    return doc ? doc->ini.ReadString("Language", "Language", "<none>") : "<unreadable>";
  }
  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (ui::MenuItem* item : form->LanguageMenu->Items())
      captions.push_back(item->Caption() + (item->Checked() ? " [x]" : ""));
    return captions;
  }
};

TEST_F(LanguageFixture, WritesBackOnlyChangedFilesInTheirOwnEncoding) {
  // The translator's lines under a repeated header, comments among them, survive in
  // every encoding.
  const std::string repeated = "[velmora]\r\n; заметка переводчика\r\nForm1.ButtonTestDNS.Caption=Проба\r\n";
  const std::string body = "[Velmora]\r\nForm1.ButtonTestDNS.Caption=Тест\r\nForm1.Gone.Caption=x\r\n" + repeated;
  const std::string cleaned = "[Velmora]\r\nForm1.ButtonTestDNS.Caption=Тест\r\n" + repeated;
  struct Case {
    const char* name;
    common::Encoding encoding;
  };
  const Case cases[] = {{"Ansi.ini", common::Encoding::Ansi},
                        {"Utf8.ini", common::Encoding::Utf8Bom},
                        {"Utf16Le.ini", common::Encoding::Utf16LeBom},
                        {"Utf16Be.ini", common::Encoding::Utf16BeBom}};
  for (const Case& c : cases)
    files.SetFile(kLanguageFolder + std::string(c.name), common::EncodeFile(body, c.encoding, 1251));
  const std::string untouched = "[Velmora]\nForm10.Caption=x";
  files.SetFile(kLanguageFolder + std::string("Clean.ini"), untouched);
  files.SetFile(kLanguageFolder + std::string("Notes.txt"), "NoDot=1");

  Languages().CleanTranslationsLikeGlobload();
  for (const Case& c : cases)
    EXPECT_EQ(*files.Contents(kLanguageFolder + std::string(c.name)), common::EncodeFile(cleaned, c.encoding, 1251))
        << c.name;
  EXPECT_EQ(files.Text(kLanguageFolder + std::string("Clean.ini")), untouched);
  EXPECT_EQ(files.Text(kLanguageFolder + std::string("Notes.txt")), "NoDot=1");
  for (const std::string& entry : files.Log()) EXPECT_EQ(entry.find("Clean.ini"), std::string::npos) << entry;
}

TEST_F(LanguageFixture, AReadOnlyFileAndAFileHeldOpenAreNeverModified) {
  const std::string body = "[Velmora]\r\nNoDot=x\r\n";
  const std::string read_only = kLanguageFolder + std::string("ReadOnly.ini");
  const std::string held = kLanguageFolder + std::string("Held.ini");
  const std::string plain = kLanguageFolder + std::string("Plain.ini");
  for (const std::string& path : {read_only, held, plain}) files.SetFile(path, body);
  files.SetReadOnly(read_only);
  files.SetHeldOpen(held);

  Languages().CleanTranslationsLikeGlobload();
  EXPECT_EQ(files.Text(read_only), body);
  EXPECT_EQ(files.Text(held), body);
  EXPECT_EQ(files.Text(plain), "");  // its only section emptied
  for (const std::string& entry : files.Log()) {
    EXPECT_EQ(entry.find("ReadOnly.ini"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("Held.ini"), std::string::npos) << entry;
  }
  EXPECT_TRUE(Languages().IsFileWritable(plain));
  EXPECT_FALSE(Languages().IsFileWritable(read_only));
  EXPECT_FALSE(Languages().IsFileWritable(held));
  EXPECT_FALSE(Languages().IsFileWritable(kLanguageFolder + std::string("Missing.ini")));
}

TEST_F(LanguageFixture, TheSubmenuListsTheFilesSortedAndChecksTheChosenOne) {
  files.SetFile(kLanguageFolder + std::string("english.ini"),
                "[Language information]\r\nLANGNAME=English (US)\r\n");
  files.SetFile(kLanguageFolder + std::string("Deutsch.ini"), "[Velmora]\r\n");
  files.SetFile(kLanguageFolder + std::string("Broken.ini"), "x");
  files.SetUnreadable(kLanguageFolder + std::string("Broken.ini"));
  files.SetFile(kLanguageFolder + std::string("Ünicode&Co.INI"),
                "\xEF\xBB\xBF[Language information]\r\nLANGNAME=Ü & Co\r\n");

  struct Case {
    const char* setting;
    const char* checked;  // nullptr: none
  };
  const Case cases[] = {{"English", "english"},      {"ENGLISH", "english"}, {"english.ini", "english"},
                        {"English.ini", nullptr},    {"Ünicode&Co", "Ünicode&Co"},
                        {"üNICODE&CO", "Ünicode&Co"}, {"", nullptr},         {"Missing", nullptr}};
  for (const Case& c : cases) {
    SetSetting(c.setting);
    Languages().LoadLanguage();
    EXPECT_EQ(form->SelectedLanguage(), c.setting);
    std::vector<std::string> expected = {"Broken\t\tBroken", "Deutsch\t\tDeutsch",
                                         "english\t\tEnglish (US)", "Ünicode&Co\t\tÜ & Co"};
    for (std::string& caption : expected)
      if (c.checked && caption.rfind(std::string(c.checked) + "\t", 0) == 0) caption += " [x]";
    EXPECT_EQ(Captions(), expected) << "setting " << c.setting;
  }
  for (ui::MenuItem* item : form->LanguageMenu->Items()) {
    EXPECT_TRUE(item->RadioItem());
    // Built at run time, the items belong to no window: no key can address them.
    EXPECT_EQ(form->Find(item->Name()), nullptr);
  }
}

TEST_F(LanguageFixture, NoLanguageFolderGivesAnEmptySubmenuAndNoTranslation) {
  SetSetting("English");
  Languages().CleanTranslationsLikeGlobload();
  Languages().LoadLanguage();
  Languages().globload();
  EXPECT_TRUE(form->LanguageMenu->Items().empty());
  EXPECT_EQ(form->ButtonProxy->Caption(), "Proxy");
  EXPECT_EQ(form->ButtonDNS->Caption(), "Тест DNS");
}

TEST_F(LanguageFixture, AClickSavesTheChoiceAtOnceAndRetranslatesEveryWindow) {
  update->Create<ui::Button>(update, "ButtonCheck")->SetCaption("Проверить");
  about->Create<ui::Label>(about, "LabelAbout")->SetCaption("О программе");
  files.SetFile(kLanguageFolder + std::string("English.ini"),
                "[Language information]\r\nLANGNAME=English\r\n[Velmora]\r\n"
                "Form1.ButtonDNS.Caption=DNS test\r\nForm1.LangError.Caption=Error!\r\n"
                "Form10.Caption=Update\r\nForm10.ButtonCheck.Caption=Check\r\n"
                "Form8.Caption=About\r\nForm8.LabelAbout.Caption=About Velmora\r\n");
  files.SetFile(kLanguageFolder + std::string("Other.ini"),
                "[Velmora]\r\nForm1.ButtonDNS.Caption=Other DNS\r\n");
  SetSetting("");
  Languages().LoadLanguage();
  ASSERT_EQ(Captions(), (std::vector<std::string>{"English\t\tEnglish", "Other\t\tOther"}));

  form->LanguageMenu->Items()[0]->Click();
  EXPECT_EQ(Setting(), "English");
  EXPECT_EQ(form->SelectedLanguage(), "English");
  EXPECT_EQ(Captions(), (std::vector<std::string>{"English\t\tEnglish [x]", "Other\t\tOther"}));
  EXPECT_EQ(form->ButtonDNS->Caption(), "DNS test");
  EXPECT_EQ(shell::Msg(*form, "LangError"), "Error!");
  EXPECT_EQ(update->Caption(), "Update Velmora");
  EXPECT_EQ(update->Find("ButtonCheck")->Caption(), "Check");
  EXPECT_EQ(about->Caption(), "About");
  EXPECT_EQ(about->Find("LabelAbout")->Caption(), "About Velmora");

  // The other file translates what it has; the rest keeps the previous language.
  form->LanguageMenu->Items()[1]->Click();
  EXPECT_EQ(Setting(), "Other");
  EXPECT_EQ(Captions(), (std::vector<std::string>{"English\t\tEnglish", "Other\t\tOther [x]"}));
  EXPECT_EQ(form->ButtonDNS->Caption(), "Other DNS");
  EXPECT_EQ(update->Caption(), "Обновление Velmora");
  EXPECT_EQ(update->Find("ButtonCheck")->Caption(), "Check");
}

// A system whose ANSI code page is Western: Cyrillic and the rest cannot be written in it.
struct WesternLanguageFixture : LanguageFixture {
  WesternLanguageFixture() { system.code_page = 1252; }
};

TEST_F(WesternLanguageFixture, AnyFileNameIsKeptReadBackAndCheckedAfterARestart) {
  struct Case {
    const char* name;
    bool ansi_file;  // whether the settings file can stay in the ANSI code page
  };
  const Case cases[] = {{"English", true},
                        {"Français (Québec)", true},
                        {"Русский язык", false},
                        {"日本語 🌐", false},
                        {"  two leading blanks", true},
                        {"'quoted'", true},
                        {"a=b; c [d]", true}};
  const std::string settings_before = "[Option]\r\nCheckBoxEnableDNS=1\r\n\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    files.SetFile(form->PortablePath(), settings_before);
    for (const std::string& old : files.ListFiles(kLanguageFolder)) files.RemoveFile(kLanguageFolder + old);
    files.SetFile(kLanguageFolder + std::string(c.name) + ".ini",
                  common::EncodeFile("[Velmora]\r\nForm1.ButtonDNS.Caption=<" + std::string(c.name) + ">\r\n",
                                     common::Encoding::Utf8Bom, 1252));
    form->ButtonDNS->SetCaption("Тест DNS");
    Languages().LoadLanguage();
    ASSERT_EQ(form->LanguageMenu->Items().size(), 1u);

    form->LanguageMenu->Items()[0]->Click();
    const std::string translated = "<" + std::string(c.name) + ">";
    EXPECT_EQ(form->ButtonDNS->Caption(), translated) << "retranslated at once";
    const std::vector<uint8_t> bytes = *files.Contents(form->PortablePath());
    const common::DecodedText text = common::DecodeFile(bytes, 1252);
    EXPECT_EQ(text.encoding, c.ansi_file ? common::Encoding::Ansi : common::Encoding::Utf16LeBom);
    const common::IniFile ini = common::IniFile::Parse(text.utf8, common::IniOptions::Settings());
    EXPECT_EQ(ini.ReadString("Language", "Language", "<none>"), c.name);
    EXPECT_TRUE(ini.ReadBool("Option", "CheckBoxEnableDNS", false)) << "the other settings stay";

    // A restart: the setting is read again, the item checked, the windows translated.
    form->ButtonDNS->SetCaption("Тест DNS");
    Languages().LoadLanguage();
    Languages().globload();
    EXPECT_EQ(form->SelectedLanguage(), c.name);
    ASSERT_EQ(form->LanguageMenu->Items().size(), 1u);
    EXPECT_TRUE(form->LanguageMenu->Items()[0]->Checked());
    EXPECT_EQ(form->ButtonDNS->Caption(), translated);
  }
}

// Settings files written before any of this read exactly as they did: values in the
// ANSI code page, quotes taken off as the system's profile functions do.
TEST_F(WesternLanguageFixture, ExistingSettingsFilesReadAsBefore) {
  struct Case {
    std::string bytes;
    const char* language;
  };
  const Case cases[] = {{"[Language]\r\nLanguage=English\r\n", "English"},
                        {"[Language]\r\nLanguage=\"English\"\r\n", "English"},
                        {"[Language]\r\nLanguage= Fran\xE7" "ais \r\n", "Français"},
                        {"\xEF\xBB\xBF[Language]\r\nLanguage=Русский\r\n", "Русский"}};
  for (const Case& c : cases) {
    files.SetFile(form->PortablePath(), c.bytes);
    Languages().LoadLanguage();
    EXPECT_EQ(form->SelectedLanguage(), c.language);
  }
}

TEST_F(LanguageFixture, AClickFromTheGeneralMenuRunsThroughTheHost) {
  files.SetFile(kLanguageFolder + std::string("English.ini"),
                "[Velmora]\r\nForm1.ButtonDNS.Caption=DNS test\r\n");
  SetSetting("");
  Languages().LoadLanguage();
  host.popup_actions.push_back([](ui::PopupMenu& menu) {
    for (ui::MenuItem* item : menu.Items())
      if (item->Name() == "LanguageMenu") item->Items().front()->Click();
  });
  form->SpeedButton_GeneralMenuClick();
  EXPECT_EQ(form->ButtonDNS->Caption(), "DNS test");
  EXPECT_FALSE(form->GeneralMenuOpen());
  // A second click on the item now shown checks it again and stays consistent.
  form->LanguageMenu->Items().front()->Click();
  EXPECT_EQ(Captions(), std::vector<std::string>{"English\t\tEnglish [x]"});
}

}  // namespace

namespace {

// The whole start-up with the real main window: the language steps run after the
// three windows exist, so even the unsupported-system box speaks the chosen language.
TEST(LanguageStartup, TheUnsupportedSystemBoxIsInTheChosenLanguage) {
  fakes::FakePlatform platform;
  platform.system.os = {6, 1, 7601};
  platform.system.files.insert("C:\\Program Files\\Velmora\\portable.ini");
  platform.files.SetFile("C:\\Program Files\\Velmora\\Config\\Option.ini", "[Language]\r\nLanguage=English\r\n");
  platform.files.SetFile(std::string(kLanguageFolder) + "English.ini",
                         "[Velmora]\r\nForm1.LangOnlyWindows.Caption=Windows 10 or 11 only.\r\n"
                         "Form1.LangError.Caption=Error\r\nForm1.Unknown.Caption=x\r\n");
  std::shared_ptr<fakes::HeadlessHost> host;
  app::StartupHooks hooks;
  hooks.make_host = [&] {
    host = std::make_shared<fakes::HeadlessHost>();
    return std::shared_ptr<ui::UiHost>(host);
  };
  EXPECT_EQ(app::RunVelmora(platform.services, hooks), 0);
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(host->boxes[0].text, "Windows 10 or 11 only.");
  EXPECT_EQ(host->boxes[0].title, "Error");
  // Tidied before it was read.
  EXPECT_EQ(platform.files.Text(std::string(kLanguageFolder) + "English.ini"),
            "[Velmora]\r\nForm1.LangOnlyWindows.Caption=Windows 10 or 11 only.\r\n"
            "Form1.LangError.Caption=Error\r\n");
}

}  // namespace
