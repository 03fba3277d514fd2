#include "changes/ChangesForm.h"

#include <stdexcept>

namespace changes {

namespace {

constexpr int kClientWidth = 720;
constexpr int kClientHeight = 440;
constexpr int kButtonStripHeight = 35;
constexpr int kStatusHeight = 20;
constexpr int kDetailsHeight = 130;

enum Column { kTime, kAction, kChanged, kCannotUndo };

// "%s" markers are replaced by the arguments in order.
std::string Format(std::string pattern, const std::vector<std::string>& args) {
  size_t from = 0;
  for (const std::string& arg : args) {
    size_t at = pattern.find("%s", from);
    if (at == std::string::npos) break;
    pattern.replace(at, 2, arg);
    from = at + arg.size();
  }
  return pattern;
}

}  // namespace

TFormChanges::TFormChanges(ui::Application& app, shell::Journal& journal)
    : ui::Form(app, "FormChanges"), journal_(journal) {
  SetCaption("Журнал изменений");
  SetClientSize(kClientWidth, kClientHeight);
  SetMinSize(520, 360);
  SetPosition(ui::Position::DesktopCenter);
  SetOwnTaskbarButton(true);

  TabControlChangesButtons = Create<ui::Panel>(this, "TabControlChangesButtons");
  TabControlChangesButtons->SetAlign(ui::Align::Bottom);
  TabControlChangesButtons->SetBounds({0, kClientHeight - kButtonStripHeight, kClientWidth, kButtonStripHeight});

  LabelChangesStatus = Create<ui::Label>(this, "LabelChangesStatus");
  LabelChangesStatus->SetAlign(ui::Align::Bottom);
  LabelChangesStatus->SetBounds(
      {0, kClientHeight - kButtonStripHeight - kStatusHeight, kClientWidth, kStatusHeight});

  MemoChangesDetails = Create<ui::Memo>(this, "MemoChangesDetails");
  MemoChangesDetails->SetAlign(ui::Align::Bottom);
  MemoChangesDetails->SetReadOnly(true);
  MemoChangesDetails->SetBounds({0, kClientHeight - kButtonStripHeight - kStatusHeight - kDetailsHeight,
                                 kClientWidth, kDetailsHeight});

  ListViewChanges = Create<ui::ListView>(this, "ListViewChanges");
  ListViewChanges->SetAlign(ui::Align::Client);
  ListViewChanges->SetColumns({{"Время", 130, 110},
                               {"Действие", 200, 120},
                               {.caption = "Что изменено", .width = 250, .min_width = 120, .auto_size = true},
                               {"Нельзя отменить", 130, 90}});
  ListViewChanges->OnSelectItem = [this] { ListViewChangesSelectItem(); };

  ButtonChangesUndo = Create<ui::Button>(TabControlChangesButtons, "ButtonChangesUndo");
  ButtonChangesUndo->SetCaption("Отменить выбранное");
  ButtonChangesUndo->SetBounds({4, 5, 170, 25});
  ButtonChangesUndo->OnClick = [this] { ButtonChangesUndoClick(); };
  ButtonChangesUndo->SetEnabled(false);
  ButtonChangesClose = Create<ui::Button>(TabControlChangesButtons, "ButtonChangesClose");
  ButtonChangesClose->SetCaption("Закрыть");
  ButtonChangesClose->SetBounds({180, 5, 100, 25});
  ButtonChangesClose->OnClick = [this] { ButtonChangesCloseClick(); };

  // Texts the window shows at run time, translated with everything else.
  PopupMenuChangesTexts = CreateNonVisual<ui::PopupMenu>("PopupMenuChangesTexts");
  const std::pair<const char*, const char*> texts[] = {
      {"LangChangesEmpty", "Журнал изменений пуст."},
      {"LangChangesMore", "и ещё %s"},
      {"LangChangesCommands", "команд: %s"},
      {"LangChangesNothing", "ничего"},
      {"LangChangesNote", "Примечание: %s"},
      {"LangChangesCannotUndo", "Нельзя отменить: %s"},
      {"LangChangesConflict", "Значение изменено после этой записи: %s"},
      {"LangChangesBefore", "Было до записи: %s"},
      {"LangChangesAfter", "Оставлено записью: %s"},
      {"LangChangesNow", "Сейчас: %s"},
      {"LangChangesOverwrite", "Перезаписать его прежним значением?"},
      {"LangChangesKeyNow", "раздел есть"},
      {"LangChangesKeyGone", "раздела нет"},
      {"LangChangesUndone", "Запись %s отменена; все значения прочитаны обратно без расхождений."},
      {"LangChangesDiffer", "Запись %s отменена с расхождениями: %s"},
      {"LangChangesGone", "Записи больше нет в журнале."},
      {"LangChangesFailed", "Отмена не выполнена: %s"},
      {"LangChangesBusy", "Идёт другое действие программы; отмените запись после его окончания."},
      {"LangChangesAbsent", "(нет)"},
      {"LangChangesEmptyValue", "(пусто)"},
      {"LangChangesDefault", "(по умолчанию)"},
      {"LangChangesKeyDeleted", "раздел удалён"},
      {"LangChangesKeyCreated", "раздел создан"},
  };
  for (const auto& [name, caption] : texts) Create<ui::MenuItem>(PopupMenuChangesTexts, name)->SetCaption(caption);

  ApplyLayout();
}

std::string TFormChanges::Text(const char* item) const {
  const ui::Component* c = Find(item);
  if (!c) throw std::logic_error(std::string("no text ") + item);
  return c->Caption();
}

shell::ChangeWords TFormChanges::Words() const {
  return {Text("LangChangesAbsent"), Text("LangChangesEmptyValue"), Text("LangChangesDefault"),
          Text("LangChangesKeyDeleted"), Text("LangChangesKeyCreated")};
}

uint64_t TFormChanges::RowEntry(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= shown_.size()) return 0;
  return shown_[static_cast<size_t>(row)].id;
}

void TFormChanges::FormShow() {
  LabelChangesStatus->SetCaption("");
  Reload();
}

void TFormChanges::Reload() {
  const uint64_t selected = RowEntry(ListViewChanges->Selected());
  std::vector<shell::Entry> entries = journal_.Entries();
  shown_.assign(entries.rbegin(), entries.rend());
  ListViewChanges->Clear();
  int select = shown_.empty() ? -1 : 0;
  for (const shell::Entry& e : shown_) {
    std::string changed;
    if (!e.changes.empty()) {
      changed = shell::DescribeChange(e.changes.front(), Words());
      if (e.changes.size() > 1) changed += " " + Format(Text("LangChangesMore"), {std::to_string(e.changes.size() - 1)});
    } else {
      changed = Text("LangChangesNothing");
    }
    size_t irreversible = 0;
    for (const shell::CommandRun& run : e.commands) irreversible += run.irreversible ? 1 : 0;
    std::string cannot = irreversible ? Format(Text("LangChangesCommands"), {std::to_string(irreversible)}) : "";
    if (e.id == selected) select = static_cast<int>(ListViewChanges->Rows().size());
    ListViewChanges->AddRow({e.time, {e.action, changed, cannot}});
  }
  ListViewChanges->SetSelected(select);
  ListViewChangesSelectItem();
  // A damaged journal was set aside: said once, here.
  if (std::optional<std::string> damage = journal_.TakeDamageReport()) LabelChangesStatus->SetCaption(*damage);
  else if (shown_.empty()) LabelChangesStatus->SetCaption(Text("LangChangesEmpty"));
}

void TFormChanges::ListViewChangesSelectItem() {
  const int row = ListViewChanges->Selected();
  std::vector<std::string> lines;
  if (row >= 0 && static_cast<size_t>(row) < shown_.size()) {
    const shell::Entry& e = shown_[static_cast<size_t>(row)];
    lines.push_back(std::to_string(e.id) + "  " + e.time + "  " + e.action);
    for (const shell::Change& c : e.changes) lines.push_back(shell::DescribeChange(c, Words()));
    for (const shell::CommandRun& run : e.commands)
      lines.push_back(run.irreversible ? Format(Text("LangChangesCannotUndo"), {run.line}) : run.line);
    for (const std::string& note : e.notes) lines.push_back(Format(Text("LangChangesNote"), {note}));
    ButtonChangesUndo->SetEnabled(e.Undoable());
  } else {
    ButtonChangesUndo->SetEnabled(false);
  }
  MemoChangesDetails->SetLines(std::move(lines));
}

bool TFormChanges::AskOverwrite(const shell::Conflict& conflict) {
  const shell::Change& c = conflict.change;
  std::string before, after, now;
  if (c.kind == shell::ChangeKind::Value) {
    before = shell::DescribeState(c.before, Words());
    after = shell::DescribeState(c.after, Words());
    now = shell::DescribeState(conflict.now, Words());
  } else {
    before = Text(c.kind == shell::ChangeKind::KeyDeleted ? "LangChangesKeyNow" : "LangChangesKeyGone");
    after = Text(c.key_exists_after ? "LangChangesKeyNow" : "LangChangesKeyGone");
    now = Text(conflict.key_exists_now ? "LangChangesKeyNow" : "LangChangesKeyGone");
  }
  const std::string question = Format(Text("LangChangesConflict"), {shell::ChangeWhere(c, Words())}) + "\r\n\r\n" +
                               Format(Text("LangChangesBefore"), {before}) + "\r\n" +
                               Format(Text("LangChangesAfter"), {after}) + "\r\n" +
                               Format(Text("LangChangesNow"), {now}) + "\r\n\r\n" + Text("LangChangesOverwrite");
  return App().ShowMessageBox(question, Caption(), ui::kMbYesNo | ui::kMbIconQuestion, this) == ui::kIdYes;
}

void TFormChanges::ButtonChangesUndoClick() {
  const uint64_t id = RowEntry(ListViewChanges->Selected());
  if (id == 0) return;
  ButtonChangesUndo->SetEnabled(false);
  std::string status;
  try {
    shell::UndoReport report = journal_.Undo(id, [this](const shell::Conflict& c) { return AskOverwrite(c); });
    if (!report.found) {
      status = Text("LangChangesGone");
    } else if (report.busy) {
      status = Text("LangChangesBusy");
    } else if (report.Clean()) {
      status = Format(Text("LangChangesUndone"), {std::to_string(id)});
    } else {
      std::string listed;
      for (const auto* list : {&report.differences, &report.kept})
        for (const std::string& line : *list) listed += (listed.empty() ? "" : "; ") + line;
      status = Format(Text("LangChangesDiffer"), {std::to_string(id), listed});
    }
  } catch (const std::exception& e) {
    status = Format(Text("LangChangesFailed"), {e.what()});
  }
  Reload();
  LabelChangesStatus->SetCaption(status);
}

void TFormChanges::ButtonChangesCloseClick() { App().Host().CloseForm(*this); }

}  // namespace changes
