#include "i18n/LanguageFiles.h"

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "common/Text.h"

namespace i18n {

namespace {

constexpr char kSettingsSection[] = "Language";
constexpr char kSettingsKey[] = "Language";
constexpr char kInformationSection[] = "Language information";
constexpr char kDestDirSection[] = "DestDir";

// Letters A to Z without case; every other byte as it is.
std::string FoldAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

bool EndsWithIni(const std::string& name) {
  return name.size() > 4 && common::EqualsAsciiNoCase(std::string_view(name).substr(name.size() - 4), ".ini");
}

}  // namespace

// ---- Tidying ---------------------------------------------------------------------

KnownNames::KnownNames(const std::vector<ui::Form*>& windows) {
  for (const ui::Form* window : windows) {
    auto& names = components_[FoldAscii(window->Name())];
    for (const ui::Component* component : window->Components()) names.push_back(FoldAscii(component->Name()));
    std::sort(names.begin(), names.end());
  }
}

bool KnownNames::Matches(std::string_view key) const {
  const size_t dot = key.find('.');
  if (dot == std::string_view::npos) return false;
  const auto window = components_.find(FoldAscii(key.substr(0, dot)));
  if (window == components_.end()) return false;
  const std::string_view rest = key.substr(dot + 1);
  const size_t second_dot = rest.find('.');
  if (second_dot == std::string_view::npos) return true;  // such as Form10.Caption
  return std::binary_search(window->second.begin(), window->second.end(),
                            FoldAscii(rest.substr(0, second_dot)));
}

namespace {

// One pass over the sections as the reader sees them now.
bool CleanOnce(std::vector<common::IniTextLine>& lines, const KnownNames& known) {
  using Line = common::IniTextLine;
  size_t section_count = 0;
  for (const Line& line : lines)
    if (line.role == Line::Role::Header) section_count = std::max(section_count, line.section + 1);

  std::vector<bool> removed(lines.size(), false);
  bool changed = false;
  for (size_t section = 0; section < section_count; ++section) {
    std::vector<size_t> entries;  // line numbers of the section's entries, in order
    bool is_protected = false;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].section != section) continue;
      if (lines[i].role == Line::Role::Header)
        is_protected = common::EqualsAsciiNoCase(lines[i].name, kInformationSection) ||
                       common::EqualsAsciiNoCase(lines[i].name, kDestDirSection);
      else if (lines[i].role == Line::Role::Entry)
        entries.push_back(i);
    }
    if (is_protected) continue;

    // A key is a repeat when an earlier key of the section has its name.
    std::vector<bool> repeated(entries.size(), false);
    std::unordered_set<std::string> seen;
    for (size_t j = 0; j < entries.size(); ++j)
      repeated[j] = !seen.insert(FoldAscii(lines[entries[j]].name)).second;

    // Walking from the last key to the first, each deletion takes the first remaining
    // line of that name, as deleting a key from an INI file does: of a key listed
    // several times, the last line is the one that stays.
    std::unordered_map<std::string, std::deque<size_t>> remaining;
    for (size_t line : entries) remaining[common::ToLowerText(lines[line].name)].push_back(line);
    size_t left = entries.size();
    for (size_t j = entries.size(); j-- > 0;) {
      const std::string& key = lines[entries[j]].name;
      if (known.Matches(key) && !repeated[j]) continue;
      auto& queue = remaining[common::ToLowerText(key)];
      if (queue.empty()) continue;
      removed[queue.front()] = true;
      queue.pop_front();
      --left;
      changed = true;
    }

    // A section with no entry left goes with its header, comments and blank lines.
    if (left == 0) {
      for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].section == section) removed[i] = true;
      changed = true;
    }
  }
  if (!changed) return false;

  std::vector<Line> kept;
  kept.reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i)
    if (!removed[i]) kept.push_back(std::move(lines[i]));
  lines = std::move(kept);
  return true;
}

}  // namespace

bool CleanLanguageText(std::vector<common::IniTextLine>& lines, const KnownNames& known) {
  // The lines under a repeated header stay as the translator wrote them. When the first
  // section of that name is erased they become the section the reader sees, so the
  // lines are read again and tidied until nothing more goes: a tidied file needs no
  // second tidy.
  bool changed = false;
  while (CleanOnce(lines, known)) {
    changed = true;
    common::ClassifyIniTextLines(lines);
  }
  return changed;
}

// ---- The language files and the submenu -------------------------------------------

Localization::Localization(Setup setup) : setup_(std::move(setup)) {}

Localization::~Localization() {
  for (auto& item : items_)
    if (item->Parent()) item->Parent()->RemoveChild(item.get());
}

TranslationContext Localization::Context() const {
  const auto* captions = &design_captions_;
  return TranslationContext{setup_.files, setup_.ansi_code_page, setup_.program_folder,
                            setup_.settings_path, setup_.app.Title(),
                            [captions](const ui::Form& window) {
                              const auto found = captions->find(window.Name());
                              return found == captions->end() ? window.Caption() : found->second;
                            }};
}

bool Localization::IsFileWritable(const std::string& path) { return setup_.files.CanOpenForWriting(path); }

std::vector<std::string> Localization::LanguageFileNames() {
  std::vector<std::string> names;
  for (std::string& name : setup_.files.ListFiles(LanguageFolder()))
    if (EndsWithIni(name)) names.push_back(std::move(name));
  return names;
}

void Localization::CleanFile(const std::string& path, const KnownNames& known) {
  if (setup_.files.FileExists(path) && !IsFileWritable(path)) return;
  const auto text = common::LoadTextFile(setup_.files, path, setup_.ansi_code_page);
  if (!text) return;
  std::vector<common::IniTextLine> lines = common::SplitIniText(text->utf8);
  if (!CleanLanguageText(lines, known)) return;
  if (!IsFileWritable(path)) return;
  common::SaveTextFile(setup_.files, path, common::JoinIniText(lines), text->encoding,
                       setup_.ansi_code_page);
}

void Localization::CleanTranslationsLikeGlobload() {
  try {
    const KnownNames known(setup_.app.Forms());
    for (const std::string& name : LanguageFileNames()) {
      try {
        CleanFile(LanguageFolder() + name, known);
      } catch (...) {
        // Tidying never reports anything; the next file is tried.
      }
    }
  } catch (...) {
  }
}

std::vector<ui::MenuItem*> Localization::LanguageItems() const {
  std::vector<ui::MenuItem*> items;
  for (const auto& item : items_) items.push_back(item.get());
  return items;
}

void Localization::LoadLanguage() {
  retired_.clear();
  for (auto& item : items_) {
    if (item->Parent()) item->Parent()->RemoveChild(item.get());
    retired_.push_back(std::move(item));
  }
  items_.clear();

  if (const auto settings = common::IniDocument::Load(setup_.files, setup_.settings_path(),
                                                      setup_.ansi_code_page,
                                                      common::IniOptions::Settings()))
    selected_language_ = settings->ini.ReadString(kSettingsSection, kSettingsKey, "");
  else
    selected_language_.clear();

  std::vector<std::string> names = LanguageFileNames();
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return common::CompareTextNoCase(a, b) < 0;
  });
  if (!setup_.language_menu) return;
  for (const std::string& name : names) {
    const std::string base = name.substr(0, name.size() - 4);
    std::string display = base;
    try {
      if (const auto file = common::IniDocument::Load(setup_.files, LanguageFolder() + name,
                                                      setup_.ansi_code_page,
                                                      common::IniOptions::LanguageFile()))
        display = file->ini.ReadString(kInformationSection, "LANGNAME", base);
    } catch (...) {
      display = base;
    }
    auto item = std::make_unique<ui::MenuItem>(setup_.language_menu->Owner(), setup_.language_menu, "");
    item->SetCaption(base + "\t\t" + display);
    item->SetRadioItem(true);
    item->SetAutoCheck(true);
    ui::MenuItem* raw = item.get();
    item->OnClick = [this, raw] {
      if (setup_.item_click) setup_.item_click(raw);
      else LanguageItemClick(raw);
    };
    if (common::EqualsTextNoCase(base, selected_language_) || base + ".ini" == selected_language_)
      item->SetChecked(true);
    items_.push_back(std::move(item));
  }
}

void Localization::LanguageItemClick(ui::Component* sender) {
  auto* clicked = dynamic_cast<ui::MenuItem*>(sender);
  if (!clicked) return;
  const std::string& caption = clicked->Caption();
  selected_language_ = caption.substr(0, caption.find('\t'));
  for (const auto& item : items_) item->SetChecked(false);
  clicked->SetChecked(true);

  const std::string path = setup_.settings_path();
  auto settings = common::IniDocument::Load(setup_.files, path, setup_.ansi_code_page,
                                            common::IniOptions::Settings());
  if (!settings) throw std::runtime_error("Cannot read the settings file " + path);
  // Any name a file may have: quoted when its blanks or quotes would not read back, and
  // a settings file in the ANSI code page becomes Unicode when the name needs it.
  settings->ini.WriteString(kSettingsSection, kSettingsKey, common::QuoteIniValue(selected_language_));
  if (!settings->Save(setup_.files, path, setup_.ansi_code_page))
    throw std::runtime_error("Cannot write the settings file " + path);

  LoadLanguage();
  globload();
}

void Localization::globload() {
  const std::vector<ui::Form*> windows = setup_.app.Forms();
  for (ui::Form* window : windows) {
    design_captions_.emplace(window->Name(), window->Caption());
    const TranslationContext context = Context();
    const std::string path = LanguageFilePath(setup_.program_folder, ReadSelectedLanguage(context));
    const auto file = common::IniDocument::Load(setup_.files, path, setup_.ansi_code_page,
                                                common::IniOptions::LanguageFile());
    if (file && file->ini.HasSection(context.title)) {
      TTranslation translation(context);
      translation.TranslateForm(*window, context.title);
      setup_.app.ProcessMessages();
    }
  }
}

}  // namespace i18n
