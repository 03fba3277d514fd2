#include <gtest/gtest.h>

#include <algorithm>

#include "common/IniFile.h"
#include "common/Text.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/HeadlessHost.h"
#include "i18n/Translation.h"
#include "ui/Application.h"
#include "ui/Controls.h"

namespace {

constexpr char kFolder[] = "C:\\Apps\\Velmora\\";
constexpr char kSettings[] = "C:\\Apps\\Velmora\\Config\\Option.ini";
constexpr char kLanguageFile[] = "C:\\Apps\\Velmora\\Language\\Test.ini";
constexpr char kLog[] = "C:\\Apps\\Velmora.log";

std::vector<uint8_t> Utf16Le(const std::string& utf8) {
  return common::EncodeFile(utf8, common::Encoding::Utf16LeBom, 1252);
}

// Three windows as the program has them: the main one first, then the update and
// the about window, with a language file "Test" selected.
struct TranslationFixture : ::testing::Test {
  fakes::FakeFileSystem files;
  fakes::HeadlessHost host;
  ui::Application app{host};
  ui::Form* main = nullptr;
  ui::Form* update = nullptr;
  ui::Form* about = nullptr;

  void SetUp() override {
    app.SetTitle("Velmora");
    main = app.CreateForm<ui::Form>("Form1");
    main->SetCaption("Velmora 4.5");
    update = app.CreateForm<ui::Form>("Form10");
    update->SetCaption("Обновление");
    about = app.CreateForm<ui::Form>("Form8");
    about->SetCaption("О программе");
    files.SetFile(kSettings, "[Language]\r\nLanguage=Test\r\n");
  }

  i18n::TranslationContext Context() {
    return {files, 1251, kFolder, [] { return std::string(kSettings); }, "Velmora",
            [](const ui::Form& form) { return form.Name() == "Form10" ? std::string("Обновление") : form.Caption(); }};
  }
  void SetLanguageFile(const std::string& body) {
    files.SetFile(kLanguageFile, common::EncodeFile(body, common::Encoding::Utf8Bom, 1251));
  }
  void Translate(ui::Form& form) { i18n::TTranslation(Context()).TranslateForm(form, "Velmora"); }
  std::vector<std::string> LogLines() {
    auto text = common::LoadTextFile(files, kLog, 1251);
    return text ? common::SplitLines(text->utf8) : std::vector<std::string>{};
  }
};

// The key each text is looked up under, and which texts are never looked up: with an
// empty translation section and an empty log present, every lookup lands in the log.
TEST_F(TranslationFixture, KeyGrammarAndWhichTextsAreLookedUp) {
  struct Case {
    const char* name;
    ui::Kind kind;
    const char* property;
    const char* text;
    const char* logged;  // nullptr: never looked up
  };
  const Case cases[] = {
      {"LabelText", ui::Kind::Label, "Caption", "Адрес", "Form1.LabelText.Caption=Адрес"},
      {"ButtonHint", ui::Kind::Button, "Hint", "Подсказка", "Form1.ButtonHint.Hint=Подсказка"},
      {"CheckBoxBlanks", ui::Kind::CheckBox, "Caption", " 7 ", "Form1.CheckBoxBlanks.Caption= 7 "},
      {"MenuSeparator", ui::Kind::MenuItem, "Caption", "-", nullptr},
      {"MenuDashes", ui::Kind::MenuItem, "Caption", "--", "Form1.MenuDashes.Caption=--"},
      {"LabelEmpty", ui::Kind::Label, "Caption", "", nullptr},
      {"LabelDecimal", ui::Kind::Label, "Caption", "42", nullptr},
      {"LabelNegative", ui::Kind::Label, "Caption", "-7", nullptr},
      {"LabelPlus", ui::Kind::Label, "Caption", "+7", nullptr},
      {"LabelLowest", ui::Kind::Label, "Caption", "-2147483648", nullptr},
      {"LabelHighest", ui::Kind::Label, "Caption", "2147483647", nullptr},
      {"LabelTooBig", ui::Kind::Label, "Caption", "2147483648", "Form1.LabelTooBig.Caption=2147483648"},
      {"LabelDollarHex", ui::Kind::Label, "Caption", "$1F", nullptr},
      {"LabelCHex", ui::Kind::Label, "Caption", "0x1f", nullptr},
      {"LabelAllBits", ui::Kind::Label, "Caption", "0xFFFFFFFF", nullptr},
      {"LabelHexTooBig", ui::Kind::Label, "Caption", "$100000000", "Form1.LabelHexTooBig.Caption=$100000000"},
      {"LabelDollarOnly", ui::Kind::Label, "Caption", "$", "Form1.LabelDollarOnly.Caption=$"},
      {"LabelFraction", ui::Kind::Label, "Caption", "1.5", "Form1.LabelFraction.Caption=1.5"},
      {"LabelVersion", ui::Kind::Label, "Caption", "12a", "Form1.LabelVersion.Caption=12a"},
      {"EditTyped", ui::Kind::Edit, "Text", "Адрес", nullptr},
      {"EditHinted", ui::Kind::Edit, "Hint", "Подсказка", nullptr},
      {"ComboBoxHinted", ui::Kind::ComboBox, "Hint", "Подсказка", nullptr},
      {"StatusBarHinted", ui::Kind::StatusBar, "Hint", "Подсказка", nullptr},
  };
  for (const Case& c : cases) {
    ui::Component* component = nullptr;
    switch (c.kind) {
      case ui::Kind::Label: component = main->Create<ui::Label>(main, c.name); break;
      case ui::Kind::Button: component = main->Create<ui::Button>(main, c.name); break;
      case ui::Kind::CheckBox: component = main->Create<ui::CheckBox>(main, c.name); break;
      case ui::Kind::Edit: component = main->Create<ui::Edit>(main, c.name); break;
      case ui::Kind::ComboBox: component = main->Create<ui::ComboBox>(main, c.name); break;
      case ui::Kind::StatusBar: component = main->Create<ui::StatusBar>(main, c.name); break;
      default: component = main->Create<ui::MenuItem>(main, c.name); break;
    }
    component->SetTextProperty(c.property, c.text);
  }
  auto* list = main->Create<ui::ListView>(main, "ListViewNames");
  list->SetColumns({{"Имя"}, {""}, {"Адрес"}});

  SetLanguageFile("[Velmora]\r\n");
  files.SetFile(kLog, "");
  Translate(*main);
  Translate(*update);

  const std::vector<std::string> log = LogLines();
  for (const Case& c : cases) {
    const std::string prefix = std::string("Form1.") + c.name + ".";
    const auto found = std::find_if(log.begin(), log.end(),
                                    [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    if (c.logged) {
      EXPECT_NE(std::find(log.begin(), log.end(), c.logged), log.end()) << c.name;
    } else {
      EXPECT_EQ(found, log.end()) << c.name << " was looked up as " << *found;
    }
  }
  // Column headers carry no blank before the bracket; an empty header is left alone.
  // The update window's caption is looked up whatever it holds; the main window's never.
  for (const char* line : {"Form1.ListViewNames.Columns[0].Caption=Имя",
                           "Form1.ListViewNames.Columns[2].Caption=Адрес", "Form10.Caption=Обновление"})
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
  for (const std::string& line : log) {
    EXPECT_EQ(line.find("Columns[1]"), std::string::npos) << line;
    EXPECT_NE(line.rfind("Form1.Caption", 0), 0u) << line;
  }
  // Nothing was found, so nothing changed but the update window's caption.
  EXPECT_EQ(main->Caption(), "Velmora 4.5");
  EXPECT_EQ(update->Caption(), "Обновление Velmora");
}

TEST_F(TranslationFixture, LinesOfAListAreKeyedWithABlankBeforeTheBracket) {
  i18n::TTranslation translation(Context());
  translation.SetEntries({"Form1.TabControl1.Tabs[0]=First", "Form1.TabControl1.Tabs [1]=Second",
                          "Form1.TabControl1.Tabs [2]=Third"});
  std::vector<std::string> tabs = {"Первая", "Вторая", "-", ""};
  translation.TranslateStrings(tabs, "Form1.TabControl1.Tabs ");
  EXPECT_EQ(tabs, (std::vector<std::string>{"Первая", "Second", "-", ""}));
  EXPECT_EQ(translation.MissingLog(), std::vector<std::string>{"Form1.TabControl1.Tabs [0]=Первая"});
}

TEST_F(TranslationFixture, AKeyListedTwiceServesItsFirstValueFirstAndEachOnlyOnce) {
  i18n::TTranslation translation(Context());
  translation.SetEntries({"Form1.A.Caption=first", "form1.a.caption=second", "Form1.B.Caption=b"});
  EXPECT_EQ(translation.FindEntry("FORM1.A.CAPTION"), 0);
  EXPECT_EQ(translation.GetTranslation("Form1.A.Caption", "cur"), "first");
  EXPECT_EQ(translation.FindEntry("Form1.A.Caption"), 1);
  EXPECT_EQ(translation.GetTranslation("Form1.A.Caption", "cur"), "second");
  EXPECT_EQ(translation.FindEntry("Form1.A.Caption"), -1);
  EXPECT_EQ(translation.GetTranslation("Form1.A.Caption", "cur"), "cur");
  EXPECT_EQ(translation.MissingLog(), std::vector<std::string>{"Form1.A.Caption=cur"});

  // Through a window: the first value wins.
  auto* label = main->Create<ui::Label>(main, "LabelTwice");
  label->SetCaption("Дважды");
  SetLanguageFile("[Velmora]\r\nForm1.LabelTwice.Caption=Twice\r\nForm1.LabelTwice.Caption=Second\r\n");
  Translate(*main);
  EXPECT_EQ(label->Caption(), "Twice");
}

TEST_F(TranslationFixture, AnEmptyValueLeavesAPropertyButEmptiesAWindowCaption) {
  auto* label = main->Create<ui::Label>(about, "LabelName");
  label->SetCaption("Имя");
  auto* button = about->Create<ui::Button>(about, "ButtonOk");
  button->SetCaption("Закрыть");
  SetLanguageFile(
      "[Velmora]\r\nForm8.Caption=\r\nForm8.LabelName.Caption=\r\nForm8.ButtonOk.Caption=Close\r\n"
      "Form8.ButtonOk.Hint=Closes the window\r\n");
  Translate(*about);
  EXPECT_EQ(about->Caption(), "");
  EXPECT_EQ(label->Caption(), "Имя");
  EXPECT_EQ(button->Caption(), "Close");
  EXPECT_EQ(button->Hint(), "");  // an empty hint is never looked up
}

TEST_F(TranslationFixture, TheUpdateWindowCarriesTheTitleOnceAfterAnyNumberOfChanges) {
  SetLanguageFile("[Velmora]\r\nForm10.Caption=Update\r\n");
  Translate(*update);
  EXPECT_EQ(update->Caption(), "Update Velmora");
  Translate(*update);
  Translate(*update);
  EXPECT_EQ(update->Caption(), "Update Velmora");
  // A file without an entry builds on the caption the window was designed with.
  SetLanguageFile("[Velmora]\r\nForm1.Other.Caption=x\r\n");
  Translate(*update);
  EXPECT_EQ(update->Caption(), "Обновление Velmora");
  Translate(*update);
  EXPECT_EQ(update->Caption(), "Обновление Velmora");
}

TEST_F(TranslationFixture, WithoutTheSelectedFileNothingChanges) {
  update->Create<ui::Label>(update, "LabelUpdate")->SetCaption("Проверка");
  files.SetFile(kLog, "");
  files.SetFile(kSettings, "[Language]\r\nLanguage=Missing\r\n");
  Translate(*update);
  EXPECT_EQ(update->Caption(), "Обновление");
  EXPECT_EQ(update->Find("LabelUpdate")->Caption(), "Проверка");
  EXPECT_EQ(files.Text(kLog), "");
}

TEST_F(TranslationFixture, LabelsWithRunTimeDataAreLeftAlone) {
  const char* names[] = {"LabelLocalVersion", "LabelServerVersion", "LabelOther"};
  for (const char* name : names) update->Create<ui::Label>(update, name)->SetCaption("Текст");
  const char* about_names[] = {"LabelCopyright", "LabelGMail", "LabelYaMail"};
  for (const char* name : about_names) about->Create<ui::Label>(about, name)->SetCaption("Текст");
  SetLanguageFile(
      "[Velmora]\r\nForm10.LabelLocalVersion.Caption=x\r\nForm10.LabelServerVersion.Caption=x\r\n"
      "Form10.LabelOther.Caption=x\r\nForm8.LabelCopyright.Caption=x\r\nForm8.LabelGMail.Caption=x\r\n"
      "Form8.LabelYaMail.Caption=x\r\n");
  Translate(*update);
  Translate(*about);
  EXPECT_EQ(update->Find("LabelLocalVersion")->Caption(), "Текст");
  EXPECT_EQ(update->Find("LabelServerVersion")->Caption(), "Текст");
  EXPECT_EQ(update->Find("LabelOther")->Caption(), "x");
  for (const char* name : about_names) EXPECT_EQ(about->Find(name)->Caption(), "Текст") << name;
}

// The missing-keys log is used only when it exists; then it is reloaded and appended
// to on every run, in UTF-16 LE with a byte-order mark.
TEST_F(TranslationFixture, MissingKeysLogIsNeverCreatedButFilledAndAppendedWhenPresent) {
  main->Create<ui::Label>(main, "LabelKnown")->SetCaption("Известно");
  main->Create<ui::Label>(main, "LabelUnknown")->SetCaption("Неизвестно");
  main->Create<ui::Label>(main, "LabelNumber")->SetCaption("10");
  SetLanguageFile("[Velmora]\r\nForm1.LabelKnown.Caption=Known\r\n");

  Translate(*main);
  EXPECT_FALSE(files.FileExists(kLog));
  EXPECT_EQ(main->Find("LabelKnown")->Caption(), "Known");

  files.SetFile(kLog, "");
  Translate(*main);
  const auto bytes = files.Contents(kLog);
  ASSERT_TRUE(bytes);
  ASSERT_GE(bytes->size(), 2u);
  EXPECT_EQ((*bytes)[0], 0xFF);
  EXPECT_EQ((*bytes)[1], 0xFE);
  EXPECT_EQ(LogLines(), std::vector<std::string>{"Form1.LabelUnknown.Caption=Неизвестно"});

  Translate(*main);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Form1.LabelUnknown.Caption=Неизвестно",
                                                  "Form1.LabelUnknown.Caption=Неизвестно"}));
  EXPECT_EQ(*files.Contents(kLog), Utf16Le("Form1.LabelUnknown.Caption=Неизвестно\r\n"
                                           "Form1.LabelUnknown.Caption=Неизвестно\r\n"));
}

TEST_F(TranslationFixture, AnUnreadableLanguageFileLeavesTheWindowAsItWas) {
  main->Create<ui::Label>(main, "LabelKnown")->SetCaption("Известно");
  SetLanguageFile("[Velmora]\r\nForm1.LabelKnown.Caption=Known\r\n");
  files.SetUnreadable(kLanguageFile);
  Translate(*main);
  EXPECT_EQ(main->Find("LabelKnown")->Caption(), "Известно");
}

}  // namespace
