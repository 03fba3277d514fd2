// A language file of any bytes over three small windows as the program has them.
// Translation: a text changes only to its key's first entry in the file (a key the file
// lacks leaves it alone), only the window being translated changes, the files stay as
// they were, and translating again gives the same texts. Tidying: what it keeps is the
// file's lines in order, minus entries that address nothing or repeat; protected
// sections stay whole; the file keeps its encoding; a second tidy changes nothing; and
// when no key repeats, the tidied file translates the same as the original, unless a
// section was erased whose name a later header repeats (those lines are then read).
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/HeadlessHost.h"
#include "i18n/LanguageFiles.h"
#include "i18n/Translation.h"
#include "ui/Application.h"
#include "ui/Controls.h"

namespace {

constexpr char kFolder[] = "C:\\Apps\\Velmora\\";
constexpr char kSettings[] = "C:\\Apps\\Velmora\\Config\\Option.ini";
constexpr char kLanguageFile[] = "C:\\Apps\\Velmora\\Language\\Test.ini";
constexpr char kLog[] = "C:\\Apps\\Velmora.log";
constexpr unsigned kCodePage = 1251;

using Texts = std::map<std::string, std::string>;  // "Form.Component.Property" -> text

struct World {
  fakes::FakeFileSystem files;
  fakes::HeadlessHost host;
  std::unique_ptr<ui::Application> app;
  ui::Form* main = nullptr;
  ui::Form* update = nullptr;
  ui::Form* about = nullptr;
  Texts design;
  ui::Button* button = nullptr;
  ui::MenuItem* error = nullptr;
  ui::MenuItem* separator = nullptr;
  ui::Label* number = nullptr;
  ui::ListView* list = nullptr;
  ui::Edit* edit = nullptr;

  World() {
    app = std::make_unique<ui::Application>(host);
    app->SetTitle("Velmora");
    main = app->CreateForm<ui::Form>("Form1");
    number = main->Create<ui::Label>(main, "LabelAddress");
    button = main->Create<ui::Button>(main, "ButtonTestDNS");
    main->Create<ui::CheckBox>(main, "CheckBoxFlushDNS");
    error = main->Create<ui::MenuItem>(main, "LangError");
    separator = main->Create<ui::MenuItem>(main, "N1");
    edit = main->Create<ui::Edit>(main, "EditPreferredDNS");
    list = main->Create<ui::ListView>(main, "ListViewDNS");
    list->SetColumns({{"Имя"}, {"DNS 1"}, {"Время 1"}});
    update = app->CreateForm<ui::Form>("Form10");
    update->Create<ui::Label>(update, "LabelUpdate");
    about = app->CreateForm<ui::Form>("Form8");
    about->Create<ui::Label>(about, "LabelAbout");
    Reset();
    design = Snapshot();
    files.SetFile(kSettings, "[Language]\r\nLanguage=Test\r\n");
  }

  // The design-time texts.
  void Reset() {
    main->SetCaption("Velmora 4.5");
    update->SetCaption("Обновление");
    about->SetCaption("О программе");
    for (ui::Form* form : app->Forms())
      for (ui::Component* component : form->Components()) component->SetTextProperty("Caption", "Текст");
    button->SetHint("Проверить DNS");
    error->SetTextProperty("Caption", "Ошибка!");
    separator->SetTextProperty("Caption", "-");
    number->SetTextProperty("Caption", "42");
    list->SetColumnCaption(0, "Имя");
    list->SetColumnCaption(1, "DNS 1");
    list->SetColumnCaption(2, "Время 1");
    edit->SetText("8.8.8.8");
  }

  Texts Snapshot() const {
    Texts texts;
    for (const ui::Form* form : app->Forms()) {
      texts[form->Name() + ".Caption"] = form->Caption();
      for (const ui::Component* component : form->Components()) {
        for (std::string_view property : ui::kTextProperties)
          if (auto text = component->GetTextProperty(property))
            texts[form->Name() + "." + component->Name() + "." + std::string(property)] = *text;
        if (auto* list = dynamic_cast<const ui::ListView*>(component))
          for (size_t i = 0; i < list->Columns().size(); ++i)
            texts[form->Name() + "." + list->Name() + ".Columns[" + std::to_string(i) + "].Caption"] =
                list->Columns()[i].caption;
      }
    }
    return texts;
  }

  i18n::TranslationContext Context() {
    return {files, kCodePage, kFolder, [] { return std::string(kSettings); }, "Velmora",
            [](const ui::Form& form) { return form.Name() == "Form10" ? std::string("Обновление") : form.Caption(); }};
  }
  void Translate() { i18n::TTranslation(Context()).TranslateForm(*main, "Velmora"); }
};

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

struct Translated {
  Texts texts;
  bool repeats = false;  // a key of the translated section is listed more than once
};

Translated CheckTranslation(World& world, const std::string& bytes, const std::string& decoded) {
  world.Reset();
  world.Translate();
  const Texts once = world.Snapshot();
  fuzz::Check(world.files.Text(kLanguageFile) == bytes, "translating leaves the language file alone");
  fuzz::Check(!world.files.FileExists(kLog), "no log is made when there was none");

  // The first entry of each key in the translated section, as the INI reader sees it.
  const common::IniFile ini = common::IniFile::Parse(decoded, common::IniOptions::LanguageFile());
  std::map<std::string, std::string> first;
  bool repeats = false;
  for (const common::IniEntry& entry : ini.Entries("Velmora"))
    repeats |= !first.emplace(common::ToLowerText(entry.key), entry.value.value_or("")).second;

  for (const auto& [key, text] : once) {
    const std::string& before = world.design.at(key);
    if (!StartsWith(key, "Form1.")) {
      fuzz::Check(text == before, "only the translated window changes", key);
      continue;
    }
    if (text == before) continue;
    const auto entry = first.find(common::ToLowerText(key));
    fuzz::Check(entry != first.end(), "a key the file lacks leaves its text alone", key);
    fuzz::Check(text == entry->second, "a text becomes its key's first entry", key);
    fuzz::Check(i18n::IsTranslatable(before), "texts that are never looked up stay", key);
    fuzz::Check(key != "Form1.EditPreferredDNS.Text", "what the user types is never translated");
  }

  world.Translate();
  fuzz::Check(world.Snapshot() == once, "translating twice gives what translating once gave");
  return {once, repeats};
}

bool IsProtected(const std::string& section) {
  return common::EqualsAsciiNoCase(section, "Language information") || common::EqualsAsciiNoCase(section, "DestDir");
}

void CheckTidying(World& world, const std::string& bytes, const common::DecodedText& decoded,
                  const Translated& translated) {
  const i18n::KnownNames known(world.app->Forms());
  const std::vector<common::IniTextLine> original = common::SplitIniText(decoded.utf8);
  std::vector<common::IniTextLine> lines = original;
  const bool changed = i18n::CleanLanguageText(lines, known);

  // What stays is the original lines in order.
  size_t at = 0;
  for (const common::IniTextLine& line : lines) {
    while (at < original.size() && (original[at].text != line.text || original[at].end != line.end)) ++at;
    fuzz::Check(at < original.size(), "tidying keeps lines in order and adds none", line.text);
    ++at;
  }
  fuzz::Check(changed == (lines.size() != original.size()), "tidying reports exactly when it removes lines");

  // Section numbers as the reader sees each text (the tidied text is read afresh).
  auto names_of = [](const std::vector<common::IniTextLine>& text) {
    std::map<size_t, std::string> names;
    for (const common::IniTextLine& line : text)
      if (line.role == common::IniTextLine::Role::Header) names[line.section] = common::ToLowerText(line.name);
    return names;
  };
  std::map<size_t, std::string> original_names = names_of(original);
  const std::vector<common::IniTextLine>& reread_lines = lines;
  std::map<size_t, std::string> tidied_names = names_of(reread_lines);

  // A section erased while a later header repeats its name lets the reader see those
  // lines from then on (the translator wrote them): the only way the tidied file may
  // read differently from the original beyond what was removed.
  auto headers_of = [](const std::vector<common::IniTextLine>& text) {
    std::map<std::string, int> headers;  // folded name -> header lines of that name
    for (const common::IniTextLine& line : text) {
      const common::IniLine kind = common::ClassifyIniLine(line.text);
      if (kind.kind == common::IniLine::Kind::Header) ++headers[common::ToLowerText(kind.name)];
    }
    return headers;
  };
  // A name with more than one header lost one: its first section was erased.
  const std::map<std::string, int> headers_before = headers_of(original), headers_after = headers_of(reread_lines);
  bool revealed = false;
  for (const auto& [name, count] : headers_before) {
    const auto after = headers_after.find(name);
    if (count > 1 && (after == headers_after.end() ? 0 : after->second) < count) revealed = true;
  }

  // Protected sections stay whole; elsewhere every key that addresses something stays
  // once, and nothing else stays.
  auto lines_of = [](const std::vector<common::IniTextLine>& text, std::map<size_t, std::string>& names,
                     bool want_protected) {
    std::vector<std::string> out;
    for (const common::IniTextLine& line : text)
      if (line.section != common::IniTextLine::kNoSection && IsProtected(names[line.section]) == want_protected)
        out.push_back(line.text);
    return out;
  };
  fuzz::Check(lines_of(reread_lines, tidied_names, true) == lines_of(original, original_names, true),
              "protected sections stay whole");
  std::map<std::string, std::set<std::string>> wanted, kept;
  for (const common::IniTextLine& line : original)
    if (line.role == common::IniTextLine::Role::Entry && !IsProtected(original_names[line.section]) &&
        known.Matches(line.name))
      wanted[original_names[line.section]].insert(common::ToLowerText(line.name));
  for (const common::IniTextLine& line : reread_lines) {
    if (line.role != common::IniTextLine::Role::Entry || IsProtected(tidied_names[line.section])) continue;
    fuzz::Check(known.Matches(line.name), "a kept entry addresses something", line.text);
    fuzz::Check(kept[tidied_names[line.section]].insert(common::ToLowerText(line.name)).second,
                "a kept key appears once", line.text);
  }
  if (!revealed) fuzz::Check(kept == wanted, "every key that addresses something stays");

  // The file on disk: same encoding, the tidied text, and a second tidy changes nothing.
  i18n::Localization localization({*world.app, world.files, kCodePage, kFolder,
                                   [] { return std::string(kSettings); }, nullptr, {}});
  localization.CleanTranslationsLikeGlobload();
  const std::string tidied = world.files.Text(kLanguageFile);
  if (!changed) {
    fuzz::Check(tidied == bytes, "a file with nothing to remove is not touched");
  } else {
    // Written in the encoding it was read in. (An ANSI file whose only bytes that are
    // not UTF-8 were removed reads as UTF-8 next time: the same bytes either way.)
    const std::vector<uint8_t> expected = common::EncodeFile(common::JoinIniText(lines), decoded.encoding, kCodePage);
    fuzz::Check(tidied == std::string(expected.begin(), expected.end()), "the tidied text in the file's encoding");
    const common::DecodedText reread =
        common::DecodeFile(std::vector<uint8_t>(tidied.begin(), tidied.end()), kCodePage);
    std::vector<common::IniTextLine> again = common::SplitIniText(reread.utf8);
    fuzz::Check(!i18n::CleanLanguageText(again, known), "a tidied file needs no more tidying", reread.utf8);
  }
  localization.CleanTranslationsLikeGlobload();
  fuzz::Check(world.files.Text(kLanguageFile) == tidied, "tidying twice writes nothing more");

  // (A file read in the ANSI code page only for bytes the tidy removed is read as UTF-8
  // next time; its texts then differ by their decoding, not by the tidy.)
  const common::DecodedText reread =
      common::DecodeFile(std::vector<uint8_t>(tidied.begin(), tidied.end()), kCodePage);
  if (!translated.repeats && !revealed && reread.encoding == decoded.encoding) {
    world.Reset();
    world.Translate();
    fuzz::Check(world.Snapshot() == translated.texts, "the tidied file translates as the original did");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const common::DecodedText decoded = common::DecodeFile(std::vector<uint8_t>(data, data + size), kCodePage);
  world->files.SetFile(kLanguageFile, bytes);
  world->files.RemoveFile(kLog);
  const Translated translated = CheckTranslation(*world, bytes, decoded.utf8);
  world->Reset();
  CheckTidying(*world, bytes, decoded, translated);
  // A run allocates no more than it frees, or every run costs a full leak scan.
  world->files.ClearLog();
  return 0;
}
