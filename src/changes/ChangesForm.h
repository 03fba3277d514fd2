// The change history window: the journal's entries newest first (time, action, what
// changed, what cannot be undone), the selected entry's details, and its undo. A value
// changed since the entry is overwritten only when the user says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/Journal.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Form.h"

namespace changes {

class TFormChanges : public ui::Form {
 public:
  TFormChanges(ui::Application& app, shell::Journal& journal);

  void FormShow() override;
  // Reads the journal again and shows it, newest first.
  void Reload();
  void ListViewChangesSelectItem();
  void ButtonChangesUndoClick();
  void ButtonChangesCloseClick();

  // The entry shown in a row.
  uint64_t RowEntry(int row) const;

  ui::Panel* TabControlChangesButtons;
  ui::Label* LabelChangesStatus;
  ui::Memo* MemoChangesDetails;
  ui::ListView* ListViewChanges;
  ui::Button* ButtonChangesUndo;
  ui::Button* ButtonChangesClose;
  ui::PopupMenu* PopupMenuChangesTexts;

 private:
  std::string Text(const char* item) const;
  // The words of the change descriptions, in the window's language.
  shell::ChangeWords Words() const;
  bool AskOverwrite(const shell::Conflict& conflict);

  shell::Journal& journal_;
  std::vector<shell::Entry> shown_;  // newest first, as the rows
};

}  // namespace changes
