// The control kinds of the component model. Each is a thin state holder; behaviour
// lives in the window's operations.
#pragma once

#include <string>
#include <vector>

#include "ui/Component.h"
#include "ui/Style.h"

namespace ui {

// A plain container. Panels and group boxes disable their children.
class Panel : public Component {
 public:
  Panel(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::Panel) {}
};

class GroupBox : public Component {
 public:
  GroupBox(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::GroupBox) {}
};

class Label : public Component {
 public:
  Label(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::Label) {}
  // Text flush with the right edge (labels standing left of their box).
  bool RightJustified() const { return right_justified_; }
  void SetRightJustified(bool right) { right_justified_ = right; }
  // Centred text; set before the window is shown.
  bool Centered() const { return centered_; }
  void SetCentered(bool centered) { centered_ = centered; }
  // The control this label names: the label's "&" key moves the focus there, and
  // screen readers read the label as the control's name.
  Component* FocusControl() const { return focus_control_; }
  void SetFocusControl(Component* control) { focus_control_ = control; }

 private:
  bool right_justified_ = false;
  bool centered_ = false;
  Component* focus_control_ = nullptr;
};

class ImageList : public Component {
 public:
  ImageList(Form* owner, std::string name, int width, int height, std::string resource)
      : Component(owner, nullptr, std::move(name), Kind::ImageList),
        width_(width), height_(height), resource_(std::move(resource)) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Name of the strip bitmap resource that holds the pictures side by side.
  const std::string& Resource() const { return resource_; }

 private:
  int width_, height_;
  std::string resource_;
};

// A push button, optionally with a picture above its caption.
class Button : public Component {
 public:
  Button(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::Button) {}
  ImageList* Images() const { return images_; }
  int ImageIndex() const { return image_index_; }
  int ImageMarginTop() const { return image_margin_top_; }
  void SetImage(ImageList* images, int index, int margin_top) {
    images_ = images;
    image_index_ = index;
    image_margin_top_ = margin_top;
  }

 private:
  ImageList* images_ = nullptr;
  int image_index_ = -1;
  int image_margin_top_ = 0;
};

// A flat button that takes no focus.
class SpeedButton : public Component {
 public:
  SpeedButton(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::SpeedButton) {}
  bool Flat() const { return flat_; }
  void SetFlat(bool flat) { flat_ = flat; }

 private:
  bool flat_ = true;
};

class CheckBox : public Component {
 public:
  CheckBox(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::CheckBox) {}
  bool Checked() const { return checked_; }
  // Sets the mark without running OnClick (a program's own change).
  void SetChecked(bool checked);
  // A user's click: toggles the mark, then runs OnClick.
  void Click() override;

 private:
  bool checked_ = false;
};

class Edit : public Component {
 public:
  Edit(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::Edit) {}
  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);
  // Centred text; set before the window is shown.
  bool Centered() const { return centered_; }
  void SetCentered(bool centered) { centered_ = centered; }
  std::function<void()> OnChange;
  // A character key reaches the box, before the character is inserted.
  std::function<void(char32_t key)> OnKeyPress;
  void KeyPressed(char32_t key) {
    if (OnKeyPress) OnKeyPress(key);
  }
  // Selects the whole text.
  void SelectAll();
  bool AllSelected() const { return all_selected_; }

  // The peer reports typing here: the text changes and OnChange runs.
  void UserTyped(std::string text);

 protected:
  std::string* TextField(std::string_view property) override;

 private:
  std::string text_;
  std::string text_hint_;
  bool read_only_ = false;
  bool all_selected_ = false;
  bool centered_ = false;
};

// A drop-down list; the text is the chosen item's.
class ComboBox : public Component {
 public:
  ComboBox(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::ComboBox) {}
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  void AddItem(std::string item);
  void ClearItems() { SetItems({}); }
  int ItemIndex() const { return item_index_; }
  // Selects an item (-1 for none) without running OnChange, as a program's own change.
  void SetItemIndex(int index);
  const std::string& Text() const { return text_; }
  // The user picks an item: the selection moves, then OnChange runs.
  void UserSelected(int index);
  std::function<void()> OnChange;

 protected:
  std::string* TextField(std::string_view property) override;

 private:
  std::vector<std::string> items_;
  int item_index_ = -1;
  std::string text_;
  std::string text_hint_;
};

struct ListColumn {
  std::string caption;
  int width = 50;
  int min_width = 0;
  bool centered = false;
  int max_width = 0;       // 0: no upper limit
  bool auto_size = false;  // takes the width the other columns leave (at least min_width)
};

class PopupMenu;

struct ListRow {
  std::string caption;
  std::vector<std::string> sub_items;
  bool checked = false;
};

// A report-style list with columns, optional row check boxes and one selected row.
class ListView : public Component {
 public:
  ListView(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::ListView) {}
  std::vector<ListColumn>& Columns() { return columns_; }
  const std::vector<ListColumn>& Columns() const { return columns_; }
  void SetColumns(std::vector<ListColumn> columns);
  // Changes one column's header text; the rows stay as they are.
  void SetColumnCaption(int index, std::string caption);
  const std::vector<ListRow>& Rows() const { return rows_; }
  // Appends a row; returns its index.
  int AddRow(ListRow row);
  void SetRow(int index, ListRow row);
  void DeleteRow(int index);
  void Clear();
  void SetChecked(int index, bool checked);
  // The row whose mark changed last, so a peer updates only that row.
  int LastCheckedIndex() const { return last_checked_index_; }
  bool CheckBoxes() const { return check_boxes_; }
  void SetCheckBoxes(bool on) { check_boxes_ = on; }
  int Selected() const { return selected_; }
  // Selects (and focuses) a row, -1 for none.
  void SetSelected(int index);
  std::function<void()> OnSelectItem;
  // A click on a column header, with the column's index.
  std::function<void(int column)> OnColumnClick;
  // The menu that a right click opens; its items' shortcuts work while the list has
  // the focus.
  PopupMenu* GetPopupMenu() const { return popup_menu_; }
  void SetPopupMenu(PopupMenu* menu) { popup_menu_ = menu; }
  // Scrolls a row into view (partly visible is enough); the selection stays.
  void MakeVisible(int index) {
    visible_request_ = index;
    Notify(Change::Scroll);
  }
  int VisibleRequest() const { return visible_request_; }

  // What the last change of the rows was, so a peer can mirror it without
  // rebuilding the whole list.
  enum class Edit { Reset, Append, Replace, Delete };
  Edit LastEdit() const { return last_edit_; }
  int LastEditIndex() const { return last_edit_index_; }

 private:
  void Edited(Edit edit, int index);
  Edit last_edit_ = Edit::Reset;
  int last_edit_index_ = -1;
  std::vector<ListColumn> columns_;
  std::vector<ListRow> rows_;
  bool check_boxes_ = false;
  int selected_ = -1;
  PopupMenu* popup_menu_ = nullptr;
  int visible_request_ = -1;
  int last_checked_index_ = -1;
};

class Memo : public Component {
 public:
  Memo(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::Memo) {}
  const std::vector<std::string>& Lines() const { return lines_; }
  void Append(std::string line);
  void SetLines(std::vector<std::string> lines);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }

 private:
  std::vector<std::string> lines_;
  bool read_only_ = false;
};

class StatusBar : public Component {
 public:
  StatusBar(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::StatusBar) {}
  const std::string& SimpleText() const { return simple_text_; }
  void SetSimpleText(std::string text);

 private:
  std::string simple_text_;
};

class TabSheet;

// Pages with an optional tab row. The index is what navigation uses.
class PageControl : public Component {
 public:
  PageControl(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::PageControl) {}
  const std::vector<TabSheet*>& Pages() const { return pages_; }
  int ActivePageIndex() const { return active_; }
  TabSheet* ActivePage() const { return active_ >= 0 ? pages_[active_] : nullptr; }
  // Shows page `index`; the newly shown page's OnShow runs.
  void SetActivePageIndex(int index);
  void SetActivePage(TabSheet* page);
  bool TabsAtBottom() const { return tabs_at_bottom_; }
  void SetTabsAtBottom(bool bottom) { tabs_at_bottom_ = bottom; }

 private:
  friend class TabSheet;
  std::vector<TabSheet*> pages_;
  int active_ = -1;
  bool tabs_at_bottom_ = false;
};

class TabSheet : public Component {
 public:
  TabSheet(Form* owner, PageControl* parent, std::string name);
  PageControl* Pages() const { return static_cast<PageControl*>(Parent()); }
  int PageIndex() const;
  bool TabVisible() const { return tab_visible_; }
  void SetTabVisible(bool visible);
  std::function<void()> OnShow;

 private:
  bool tab_visible_ = true;
};

class MenuItem;

class PopupMenu : public Component {
 public:
  PopupMenu(Form* owner, std::string name)
      : Component(owner, nullptr, std::move(name), Kind::PopupMenu) {}
  std::vector<MenuItem*> Items() const;
  // Opens with the menu's right edge on the point (instead of its left edge).
  bool RightAligned() const { return right_aligned_; }
  void SetRightAligned(bool right) { right_aligned_ = right; }
  bool AutoPopup() const { return auto_popup_; }
  void SetAutoPopup(bool automatic) { auto_popup_ = automatic; }

 private:
  bool right_aligned_ = false;
  bool auto_popup_ = true;
};

// A menu entry; its children form a submenu. Caption "-" is a separator.
class MenuItem : public Component {
 public:
  MenuItem(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::MenuItem) {}
  std::vector<MenuItem*> Items() const;
  bool IsSeparator() const { return Caption() == "-"; }
  bool Checked() const { return checked_; }
  // Checking a radio item clears the other radio items of its group.
  void SetChecked(bool checked);
  bool RadioItem() const { return radio_; }
  void SetRadioItem(bool radio) { radio_ = radio; }
  int GroupIndex() const { return group_index_; }
  void SetGroupIndex(int group) { group_index_ = group; }
  bool AutoCheck() const { return auto_check_; }
  void SetAutoCheck(bool auto_check) { auto_check_ = auto_check; }
  // Shortcut text shown right-aligned in the menu ("F1", "Ctrl+R").
  const std::string& ShortCut() const { return shortcut_; }
  void SetShortCut(std::string shortcut) { shortcut_ = std::move(shortcut); }
  // A click checks an auto-check item, then runs OnClick.
  void Click() override;

 private:
  bool checked_ = false;
  bool radio_ = false;
  bool auto_check_ = false;
  int group_index_ = 0;
  std::string shortcut_;
};

class ProgressBar : public Component {
 public:
  ProgressBar(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::ProgressBar) {}
  int Position() const { return position_; }
  int Max() const { return max_; }
  // The position is kept between 0 and the maximum.
  void SetPosition(int position);
  void SetMax(int max);

 private:
  int position_ = 0;
  int max_ = 100;
};

class ActivityIndicator : public Component {
 public:
  ActivityIndicator(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::ActivityIndicator) {}
  bool Animate() const { return animate_; }
  void SetAnimate(bool animate);

 private:
  bool animate_ = false;
};

class Image : public Component {
 public:
  Image(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::Image) {}
  // Name of the icon resource of the executable shown, centred and scaled to fit;
  // empty, or a resource that does not exist, shows nothing.
  const std::string& IconResource() const { return icon_resource_; }
  void SetIconResource(std::string name) { icon_resource_ = std::move(name); }

 private:
  std::string icon_resource_;
};

// Where a paint box's owner draws: plain shapes in 0xRRGGBB colours, pixel units.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void FillRect(const Rect& rect, Colour colour) = 0;
  virtual void Line(Point from, Point to, Colour colour) = 0;
  // A small filled circle centred on the point.
  virtual void Dot(Point centre, int radius, Colour colour) = 0;
  virtual void Text(Point top_left, const std::string& text, Colour colour) = 0;
  // Width and height of a text in the control's font.
  virtual Point TextSize(const std::string& text) = 0;
};

// A control whose whole surface is drawn by the program through OnPaint.
class PaintBox : public Component {
 public:
  PaintBox(Form* owner, Component* parent, std::string name)
      : Component(owner, parent, std::move(name), Kind::PaintBox) {}
  // Called whenever the surface needs drawing; the size is the control's in pixels.
  std::function<void(Canvas& canvas, Point size)> OnPaint;
  // Asks for the surface to be drawn again.
  void Invalidate() { Notify(Change::Items); }
};

}  // namespace ui
