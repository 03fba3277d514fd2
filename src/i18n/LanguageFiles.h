// The language files beside the program (Language\*.ini), the language submenu of
// the general menu, the chosen language in the settings file, and the start-up tidying
// of the files. Every window is designed in Russian; a language file translates it.
//
// A language file holds a [Language information] section (LANGNAME, the name shown in
// the menu), the translations under the application title, and sections the program
// never reads ([DestDir] among them).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/IniFile.h"
#include "i18n/Translation.h"
#include "platform/FileSystem.h"
#include "ui/Application.h"
#include "ui/Controls.h"

namespace i18n {

// Which keys of a language file still address something: a window of that name (the
// first part, letters A to Z without case) and, when the key has more parts, a
// component of that window named by the second part.
class KnownNames {
 public:
  explicit KnownNames(const std::vector<ui::Form*>& windows);
  bool Matches(std::string_view key) const;

 private:
  std::map<std::string, std::vector<std::string>> components_;  // folded window -> sorted folded names
};

// Removes from the text's sections (all but [Language information] and [DestDir]) the
// entries without a dot, those that address nothing, and all but the last of repeated
// keys; a section left without entries goes too. Every other line stays as it was,
// comments, blank lines and the lines under a header that repeats an earlier section's
// name included; once the first section of a name is erased, the next one of that name
// is what the reader sees, and it is tidied in turn. Returns whether anything was
// removed.
bool CleanLanguageText(std::vector<common::IniTextLine>& lines, const KnownNames& known);

class Localization {
 public:
  struct Setup {
    ui::Application& app;
    platform::FileSystem& files;
    unsigned ansi_code_page = 1252;
    std::string program_folder;  // ends in "\"
    std::function<std::string()> settings_path;
    ui::MenuItem* language_menu = nullptr;
    // What a click on a language item runs; LanguageItemClick when empty.
    std::function<void(ui::Component*)> item_click;
  };
  explicit Localization(Setup setup);
  ~Localization();

  // Tidies every language file (start-up).
  void CleanTranslationsLikeGlobload();
  // Reads the chosen language and builds the language submenu again.
  void LoadLanguage();
  // Translates every window from the chosen language file.
  void globload();
  // Handler of every language item: choose, save, rebuild, translate.
  void LanguageItemClick(ui::Component* sender);
  // Whether the existing file can be opened for writing right now, with no sharing.
  bool IsFileWritable(const std::string& path);

  // Base name of the chosen language file as last read or written.
  const std::string& SelectedLanguage() const { return selected_language_; }
  std::string LanguageFolder() const { return setup_.program_folder + "Language\\"; }
  // The items of the language submenu, in menu order.
  std::vector<ui::MenuItem*> LanguageItems() const;

 private:
  TranslationContext Context() const;
  // The language files' names in the order the folder lists them.
  std::vector<std::string> LanguageFileNames();
  void CleanFile(const std::string& path, const KnownNames& known);

  Setup setup_;
  std::string selected_language_;
  std::vector<std::unique_ptr<ui::MenuItem>> items_;
  // Items of the previous submenu: a click handler may still run on one of them while
  // the submenu is rebuilt, so they are freed one rebuild later.
  std::vector<std::unique_ptr<ui::MenuItem>> retired_;
  // Window captions as designed, noted when each window is first translated.
  std::map<std::string, std::string> design_captions_;
};

}  // namespace i18n
