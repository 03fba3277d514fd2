#include "ui/Controls.h"

#include <algorithm>

namespace ui {

void CheckBox::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Notify(Change::Checked);
}

void CheckBox::Click() {
  SetChecked(!checked_);
  Component::Click();
}

void Edit::SetText(std::string text) {
  if (text_ == text) return;
  text_ = std::move(text);
  all_selected_ = false;
  Notify(Change::Text);
  if (OnChange) OnChange();
}

void Edit::UserTyped(std::string text) { SetText(std::move(text)); }

void Edit::SelectAll() {
  all_selected_ = true;
  Notify(Change::Selection);
}

void Edit::SetReadOnly(bool read_only) {
  if (read_only_ == read_only) return;
  read_only_ = read_only;
  Notify(Change::ReadOnly);
}

std::string* Edit::TextField(std::string_view property) {
  if (property == "Text") return &text_;
  if (property == "TextHint") return &text_hint_;
  return Component::TextField(property);
}

void ComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  item_index_ = -1;
  text_.clear();
  Notify(Change::Items);
}

void ComboBox::AddItem(std::string item) {
  items_.push_back(std::move(item));
  Notify(Change::Items);
}

void ComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(items_.size())) index = -1;
  item_index_ = index;
  text_ = index >= 0 ? items_[index] : std::string();
  Notify(Change::Selection);
}

void ComboBox::UserSelected(int index) {
  SetItemIndex(index);
  if (OnChange) OnChange();
}

std::string* ComboBox::TextField(std::string_view property) {
  if (property == "Text") return &text_;
  if (property == "TextHint") return &text_hint_;
  return Component::TextField(property);
}

void ListView::Edited(Edit edit, int index) {
  last_edit_ = edit;
  last_edit_index_ = index;
  Notify(Change::Items);
}

void ListView::SetColumns(std::vector<ListColumn> columns) {
  columns_ = std::move(columns);
  Edited(Edit::Reset, -1);
}

void ListView::SetColumnCaption(int index, std::string caption) {
  if (index < 0 || index >= static_cast<int>(columns_.size())) return;
  if (columns_[index].caption == caption) return;
  columns_[index].caption = std::move(caption);
  Notify(Change::Text);
}

int ListView::AddRow(ListRow row) {
  rows_.push_back(std::move(row));
  Edited(Edit::Append, static_cast<int>(rows_.size()) - 1);
  return static_cast<int>(rows_.size()) - 1;
}

void ListView::SetRow(int index, ListRow row) {
  if (index < 0 || index >= static_cast<int>(rows_.size())) return;
  rows_[index] = std::move(row);
  Edited(Edit::Replace, index);
}

void ListView::DeleteRow(int index) {
  if (index < 0 || index >= static_cast<int>(rows_.size())) return;
  rows_.erase(rows_.begin() + index);
  if (selected_ >= static_cast<int>(rows_.size())) selected_ = static_cast<int>(rows_.size()) - 1;
  else if (selected_ > index) --selected_;
  Edited(Edit::Delete, index);
}

void ListView::Clear() {
  rows_.clear();
  selected_ = -1;
  Edited(Edit::Reset, -1);
}

void ListView::SetChecked(int index, bool checked) {
  if (index < 0 || index >= static_cast<int>(rows_.size())) return;
  rows_[index].checked = checked;
  last_checked_index_ = index;
  Notify(Change::Checked);
}

void ListView::SetSelected(int index) {
  if (index < -1 || index >= static_cast<int>(rows_.size())) index = -1;
  selected_ = index;
  Notify(Change::Selection);
  if (OnSelectItem) OnSelectItem();
}

void Memo::Append(std::string line) {
  lines_.push_back(std::move(line));
  Notify(Change::Items);
}

void Memo::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  Notify(Change::Items);
}

void StatusBar::SetSimpleText(std::string text) {
  if (simple_text_ == text) return;
  simple_text_ = std::move(text);
  Notify(Change::Text);
}

void PageControl::SetActivePageIndex(int index) {
  if (index < -1 || index >= static_cast<int>(pages_.size()) || index == active_) return;
  active_ = index;
  Notify(Change::ActivePage);
  if (TabSheet* page = ActivePage(); page && page->OnShow) page->OnShow();
}

void PageControl::SetActivePage(TabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it != pages_.end()) SetActivePageIndex(static_cast<int>(it - pages_.begin()));
}

TabSheet::TabSheet(Form* owner, PageControl* parent, std::string name)
    : Component(owner, parent, std::move(name), Kind::TabSheet) {
  parent->pages_.push_back(this);
}

int TabSheet::PageIndex() const {
  const auto& pages = Pages()->Pages();
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TabSheet::SetTabVisible(bool visible) {
  if (tab_visible_ == visible) return;
  tab_visible_ = visible;
  Pages()->Notify(Change::TabVisible);
}

namespace {
std::vector<MenuItem*> MenuChildren(const Component& parent) {
  std::vector<MenuItem*> items;
  for (Component* child : parent.Children())
    if (auto* item = dynamic_cast<MenuItem*>(child)) items.push_back(item);
  return items;
}
}  // namespace

std::vector<MenuItem*> PopupMenu::Items() const { return MenuChildren(*this); }
std::vector<MenuItem*> MenuItem::Items() const { return MenuChildren(*this); }

void MenuItem::SetChecked(bool checked) {
  if (checked && radio_ && Parent()) {
    for (MenuItem* sibling : MenuChildren(*Parent()))
      if (sibling != this && sibling->radio_ && sibling->group_index_ == group_index_ &&
          sibling->checked_) {
        sibling->checked_ = false;
        sibling->Notify(Change::Checked);
      }
  }
  if (checked_ == checked) return;
  checked_ = checked;
  Notify(Change::Checked);
}

void MenuItem::Click() {
  if (auto_check_) SetChecked(radio_ ? true : !checked_);
  Component::Click();
}

void ActivityIndicator::SetAnimate(bool animate) {
  if (animate_ == animate) return;
  animate_ = animate;
  Notify(Change::Visible);
}

void ProgressBar::SetPosition(int position) {
  position = position < 0 ? 0 : (position > max_ ? max_ : position);
  if (position_ == position) return;
  position_ = position;
  Notify(Change::Progress);
}

void ProgressBar::SetMax(int max) {
  if (max < 0) max = 0;
  if (max_ == max) return;
  max_ = max;
  if (position_ > max_) position_ = max_;
  Notify(Change::Progress);
}

}  // namespace ui
