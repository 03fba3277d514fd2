#include "ui/Component.h"

#include <algorithm>

#include "ui/Form.h"

namespace ui {

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Form: return "Form";
    case Kind::Panel: return "Panel";
    case Kind::GroupBox: return "GroupBox";
    case Kind::Button: return "Button";
    case Kind::SpeedButton: return "SpeedButton";
    case Kind::CheckBox: return "CheckBox";
    case Kind::Label: return "Label";
    case Kind::Edit: return "Edit";
    case Kind::ComboBox: return "ComboBox";
    case Kind::Memo: return "Memo";
    case Kind::ListView: return "ListView";
    case Kind::StatusBar: return "StatusBar";
    case Kind::PageControl: return "PageControl";
    case Kind::TabSheet: return "TabSheet";
    case Kind::PopupMenu: return "PopupMenu";
    case Kind::MenuItem: return "MenuItem";
    case Kind::ProgressBar: return "ProgressBar";
    case Kind::ActivityIndicator: return "ActivityIndicator";
    case Kind::Image: return "Image";
    case Kind::ImageList: return "ImageList";
    case Kind::PaintBox: return "PaintBox";
  }
  return "?";
}

Component::Component(Form* owner, Component* parent, std::string name, Kind kind)
    : owner_(owner), parent_(parent), name_(std::move(name)), kind_(kind) {
  // Visual components without an explicit parent sit on the form itself.
  if (!parent_ && owner_ && kind_ != Kind::Form && IsVisual()) parent_ = owner_;
  if (parent_) parent_->children_.push_back(this);
}

Component::~Component() = default;

void Component::RemoveChild(Component* child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
}

bool Component::IsVisual() const {
  switch (kind_) {
    case Kind::PopupMenu:
    case Kind::MenuItem:
    case Kind::ImageList:
      return false;
    default:
      return true;
  }
}

void Component::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Notify(Change::Enabled);
}

bool Component::EffectivelyEnabled() const {
  for (const Component* c = this; c; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

void Component::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Notify(Change::Visible);
}

std::string* Component::TextField(std::string_view property) {
  if (property == "Hint") return kind_ == Kind::PopupMenu || kind_ == Kind::ImageList ? nullptr : &hint_;
  if (property == "Caption") {
    switch (kind_) {
      case Kind::Form:
      case Kind::Panel:
      case Kind::GroupBox:
      case Kind::Button:
      case Kind::SpeedButton:
      case Kind::CheckBox:
      case Kind::Label:
      case Kind::TabSheet:
      case Kind::MenuItem:
        return &caption_;
      default:
        return nullptr;
    }
  }
  return nullptr;
}

bool Component::HasTextProperty(std::string_view property) const {
  return TextField(property) != nullptr;
}

std::optional<std::string> Component::GetTextProperty(std::string_view property) const {
  if (const std::string* field = TextField(property)) return *field;
  return std::nullopt;
}

bool Component::SetTextProperty(std::string_view property, std::string value) {
  std::string* field = TextField(property);
  if (!field) return false;
  if (*field != value) {
    *field = std::move(value);
    Notify(Change::Text);
  }
  return true;
}

void Component::SetCaption(std::string caption) { SetTextProperty("Caption", std::move(caption)); }
void Component::SetHint(std::string hint) { SetTextProperty("Hint", std::move(hint)); }

void Component::SetBounds(Rect bounds) {
  if (bounds_ == bounds) return;
  bounds_ = bounds;
  Notify(Change::Bounds);
}

const Font& Component::GetFont() const {
  for (const Component* c = this; c; c = c->parent_)
    if (c->own_font_) return *c->own_font_;
  if (owner_ && owner_->own_font_) return *owner_->own_font_;
  static const Font kDefault;
  return kDefault;
}

void Component::SetFont(Font font) {
  if (own_font_ && *own_font_ == font) return;
  own_font_ = std::move(font);
  Notify(Change::Font);
}

void Component::SetBold(bool bold) {
  Font font = GetFont();
  font.bold = bold;
  SetFont(std::move(font));
}

void Component::Click() {
  if (OnClick) OnClick();
}

void Component::Notify(Change change) {
  if (observer_) observer_->ComponentChanged(*this, change);
}

}  // namespace ui
