// The message catalogue: hidden menu items whose current captions are the texts the
// main window shows and logs, so the translation engine translates them with
// everything else. Read a text at the moment it is needed; never keep it.
#pragma once

#include <string>

namespace ui {
class Form;
class PopupMenu;
}

namespace shell {

struct CatalogueEntry {
  const char* name;
  const char* text;
};

// The entries in menu order with their Russian default texts.
extern const CatalogueEntry kCatalogue[39];

// Builds the items under `menu`.
void CreateCatalogue(ui::Form& form, ui::PopupMenu& menu);

// The current caption of a catalogue entry.
std::string Msg(const ui::Form& form, const char* name);

}  // namespace shell
