// The translation engine: replaces the design-time texts of one window with the texts
// of the selected language file. Every text is addressed by a key made of the window's
// name, the component's name and the property's name, so language files are plain INI
// files and no text of the program needs an identifier of its own:
//
//   Form10.Caption                         caption of a window other than the main one
//   Form1.ButtonTestDNS.Caption            Caption, Hint, Title, Text or TextHint
//   Form1.ListViewDNS.Columns[0].Caption   a list view's column header
//   Form1.TabControl1.Tabs [0]             a line of a string list (note the blank
//                                          before the bracket: stored files rely on it)
//
// Keys the file lacks can be collected in a log beside the program folder, so that a
// translator sees what is missing; the log is used only when it already exists.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"
#include "ui/Component.h"
#include "ui/Form.h"

namespace i18n {

// Where the engine finds the language, the language files and the log.
struct TranslationContext {
  platform::FileSystem& files;
  unsigned ansi_code_page = 1252;
  // The program's folder, ending in "\".
  std::string program_folder;
  // The settings file that names the selected language.
  std::function<std::string()> settings_path;
  // The application title: the section name of translations and the log's name.
  std::string title;
  // The caption a window was designed with; the update window's caption is built on
  // it when the file has no entry for it. Null: the window's current caption.
  std::function<std::string(const ui::Form&)> design_caption;
};

// A text is looked up only when it is not empty, not a menu separator ("-") and not a
// 32-bit whole number (decimal, or hexadecimal after "$" or "0x").
bool IsTranslatable(std::string_view text);

// Base name of the selected language file as the settings file holds it; empty when
// none is selected or the settings cannot be read.
std::string ReadSelectedLanguage(const TranslationContext& context);
// program folder + "Language\" + language + ".ini".
std::string LanguageFilePath(const std::string& program_folder, const std::string& language);
// The log of missing keys: the program folder's parent, the title, ".log".
std::string MissingLogPath(const std::string& program_folder, const std::string& title);

class TTranslation {
 public:
  explicit TTranslation(TranslationContext context);

  // Translates the whole window from section `section` of the selected language
  // file. Never throws: an error ends the window's translation, keeping what was
  // already changed.
  void TranslateForm(ui::Form& window, const std::string& section);
  // One named text property of one component.
  void TranslateProperty(std::string_view property, ui::Component& component);
  // One free-standing text under a full key.
  void TranslateText(std::string& text, const std::string& key);
  // Every line of a list, under the keys prefix + "[" + index + "]".
  void TranslateStrings(std::vector<std::string>& list, const std::string& prefix);
  // Index of the first unused entry with that key (compared without case), or -1.
  int FindEntry(const std::string& key) const;
  // The file's text for the key, used up by this lookup; the current text when the
  // file has no entry (and the key goes to the log).
  std::string GetTranslation(const std::string& key, const std::string& current);

  // The entry lines to look up in ("key=value"), for a translation without a file.
  void SetEntries(const std::vector<std::string>& lines);
  const std::vector<std::string>& MissingLog() const { return missing_log_; }

 private:
  struct Entry {
    std::string key;
    std::string value;
    bool used = false;
  };
  void ProcessMessages();
  void AddEntry(std::string key, std::string value);

  TranslationContext context_;
  ui::Form* form_ = nullptr;
  std::string section_name_;
  std::vector<Entry> entries_;
  // Folded key -> indices of its entries in file order, and how many are used up.
  struct Occurrences {
    std::vector<int> indices;
    size_t used = 0;
  };
  std::unordered_map<std::string, Occurrences> index_;
  std::vector<std::string> missing_log_;
  std::chrono::steady_clock::time_point last_messages_{};
};

}  // namespace i18n
