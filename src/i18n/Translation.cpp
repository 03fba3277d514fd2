#include "i18n/Translation.h"

#include <chrono>
#include <cstdint>

#include "common/IniFile.h"
#include "common/Text.h"
#include "ui/Application.h"
#include "ui/Controls.h"

namespace i18n {

namespace {

constexpr char kSettingsSection[] = "Language";
constexpr char kSettingsKey[] = "Language";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Whole numbers as the component texts' integer reader takes them: an optional sign,
// then decimal digits within 32 bits, or "$"/"0x" and a 32-bit hexadecimal pattern.
bool IsWholeNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  bool hex = false;
  if (!text.empty() && text.front() == '$') {
    hex = true;
    text.remove_prefix(1);
  } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hex = true;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t value = 0;
  for (const char c : text) {
    const int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return false;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > limit) return false;
  }
  return true;
}

std::string Folded(std::string_view key) { return common::ToLowerText(key); }

}  // namespace

bool IsTranslatable(std::string_view text) {
  return !text.empty() && text != "-" && !IsWholeNumber(text);
}

std::string ReadSelectedLanguage(const TranslationContext& context) {
  if (!context.settings_path) return {};
  const auto settings = common::IniDocument::Load(context.files, context.settings_path(),
                                                  context.ansi_code_page,
                                                  common::IniOptions::Settings());
  if (!settings) return {};
  return settings->ini.ReadString(kSettingsSection, kSettingsKey, "");
}

std::string LanguageFilePath(const std::string& program_folder, const std::string& language) {
  return program_folder + "Language\\" + language + ".ini";
}

std::string MissingLogPath(const std::string& program_folder, const std::string& title) {
  std::string folder = program_folder;
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  const size_t slash = folder.find_last_of("\\/");
  const std::string parent = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
  return parent + title + ".log";
}

TTranslation::TTranslation(TranslationContext context) : context_(std::move(context)) {}

// Pending messages run between lookups, but not more often than every few
// milliseconds: each run asks the system's queue, which costs more than a lookup.
void TTranslation::ProcessMessages() {
  if (!form_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_messages_ < std::chrono::milliseconds(5)) return;
  form_->App().ProcessMessages();
  last_messages_ = std::chrono::steady_clock::now();
}

void TTranslation::AddEntry(std::string key, std::string value) {
  Occurrences& occurrences = index_[Folded(key)];
  occurrences.indices.push_back(static_cast<int>(entries_.size()));
  entries_.push_back({std::move(key), std::move(value)});
}

void TTranslation::SetEntries(const std::vector<std::string>& lines) {
  entries_.clear();
  index_.clear();
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) AddEntry(line, "");
    else AddEntry(line.substr(0, eq), line.substr(eq + 1));
  }
}

int TTranslation::FindEntry(const std::string& key) const {
  const auto found = index_.find(Folded(key));
  if (found == index_.end() || found->second.used >= found->second.indices.size()) return -1;
  return found->second.indices[found->second.used];
}

std::string TTranslation::GetTranslation(const std::string& key, const std::string& current) {
  const int index = FindEntry(key);
  if (index < 0) {
    missing_log_.push_back(key + "=" + current);
    ProcessMessages();
    return current;
  }
  // Each entry serves one lookup: a key listed twice gives its first value first.
  ++index_[Folded(key)].used;
  Entry& entry = entries_[static_cast<size_t>(index)];
  entry.used = true;
  return entry.value;
}

void TTranslation::TranslateProperty(std::string_view property, ui::Component& component) {
  if (!component.HasTextProperty(property)) return;
  const std::string text = component.GetTextProperty(property).value_or("");
  if (!IsTranslatable(text)) return;
  const ui::Form* window = form_ ? form_ : component.Owner();
  const std::string key =
      (window ? window->Name() : std::string()) + "." + component.Name() + "." + std::string(property);
  std::string result = GetTranslation(key, text);
  ProcessMessages();
  if (!result.empty()) {
    component.SetTextProperty(property, std::move(result));
    ProcessMessages();
  }
}

void TTranslation::TranslateText(std::string& text, const std::string& key) {
  if (IsTranslatable(text)) {
    std::string result = GetTranslation(key, text);
    ProcessMessages();
    if (!result.empty()) text = std::move(result);
  }
  ProcessMessages();
}

void TTranslation::TranslateStrings(std::vector<std::string>& list, const std::string& prefix) {
  const std::vector<std::string> lines = list;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (IsTranslatable(lines[i])) {
      std::string result = GetTranslation(prefix + "[" + std::to_string(i) + "]", lines[i]);
      if (!result.empty() && i < list.size()) list[i] = std::move(result);
    }
    ProcessMessages();
  }
}

namespace {

// Texts the engine leaves alone: boxes the user types into or the program fills,
// status bars, and the labels that show version and legal data or the contact
// addresses (build settings that also make the links' targets, so a language file
// cannot make a label show one address and open another).
bool IsExcluded(const ui::Form& window, const ui::Component& component) {
  switch (component.GetKind()) {
    case ui::Kind::Edit:
    case ui::Kind::ComboBox:
    case ui::Kind::StatusBar:
      return true;
    default:
      break;
  }
  const std::string& name = component.Name();
  if (window.Name() == "Form8") return name == "LabelCopyright" || name == "LabelGMail" || name == "LabelYaMail";
  if (window.Name() == "Form10") return name == "LabelLocalVersion" || name == "LabelServerVersion";
  return false;
}

}  // namespace

void TTranslation::TranslateForm(ui::Form& window, const std::string& section) {
  try {
    section_name_ = section;
    const std::string language = ReadSelectedLanguage(context_);
    const std::string path = LanguageFilePath(context_.program_folder, language);
    const std::string log_path = MissingLogPath(context_.program_folder, context_.title);
    if (!context_.files.FileExists(path)) return;

    entries_.clear();
    index_.clear();
    missing_log_.clear();
    const auto document = common::IniDocument::Load(context_.files, path, context_.ansi_code_page,
                                                    common::IniOptions::LanguageFile());
    if (!document) return;
    for (const common::IniEntry& entry : document->ini.Entries(section_name_))
      AddEntry(entry.key, entry.value.value_or(""));

    const bool log_exists = context_.files.FileExists(log_path);
    if (log_exists) {
      const auto log = common::LoadTextFile(context_.files, log_path, context_.ansi_code_page);
      if (log) missing_log_ = common::SplitLines(log->utf8);
    }

    form_ = &window;
    if (&window != window.App().MainForm()) {
      // Unconditional: an entry with an empty value empties the caption.
      const std::string key = window.Name() + ".Caption";
      const bool has_entry = FindEntry(key) >= 0;
      std::string caption = GetTranslation(key, window.Caption());
      if (window.Name() == "Form10") {
        // The update window names the program after its own caption, once.
        if (!has_entry)
          caption = context_.design_caption ? context_.design_caption(window) : window.Caption();
        caption += " " + context_.title;
      }
      window.SetCaption(std::move(caption));
    }

    for (ui::Component* component : window.Components()) {
      if (IsExcluded(window, *component)) continue;
      for (std::string_view property : ui::kTextProperties) TranslateProperty(property, *component);
      ProcessMessages();
      if (auto* list = dynamic_cast<ui::ListView*>(component)) {
        for (size_t i = 0; i < list->Columns().size(); ++i) {
          std::string caption = list->Columns()[i].caption;
          TranslateText(caption, window.Name() + "." + list->Name() + ".Columns[" +
                                     std::to_string(i) + "].Caption");
          list->SetColumnCaption(static_cast<int>(i), std::move(caption));
        }
      }
    }

    entries_.clear();
    index_.clear();
    if (log_exists && !missing_log_.empty()) {
      common::SaveTextFile(context_.files, log_path, common::JoinLines(missing_log_),
                           common::Encoding::Utf16LeBom, context_.ansi_code_page);
    }
  } catch (...) {
    // A window that cannot be translated keeps its texts; the next one is tried.
  }
}

}  // namespace i18n
