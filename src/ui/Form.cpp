#include "ui/Form.h"

#include "ui/Application.h"
#include "ui/Controls.h"

namespace ui {

Form::Form(Application& app, std::string name)
    : Component(this, nullptr, std::move(name), Kind::Form), app_(app) {
  SetFont(Font{});
  SetVisible(false);  // a window shows when it is run or shown modally
}

Form::~Form() = default;

void Form::Adopt(std::unique_ptr<Component> component) { owned_.push_back(std::move(component)); }

std::vector<Component*> Form::Components() const {
  std::vector<Component*> all;
  all.reserve(owned_.size());
  for (const auto& c : owned_) all.push_back(c.get());
  return all;
}

Component* Form::Find(std::string_view name) const {
  for (const auto& c : owned_)
    if (c->Name() == name) return c.get();
  return nullptr;
}

void Form::Close() { app_.Host().CloseForm(*this); }

void Form::SetTaskbarProgress(const TaskbarProgress& progress) {
  if (taskbar_progress_ == progress) return;
  taskbar_progress_ = progress;
  Notify(Change::Progress);
}

void Form::SetClientSize(int width, int height) {
  client_width_ = width;
  client_height_ = height;
  Notify(Change::Bounds);
}

void Form::ApplyLayout() { LayoutChildren(*this, Rect{0, 0, client_width_, client_height_}); }

// Aligned children take their edge in the order top, bottom, left, right, and the
// client-aligned ones fill what is left; each kind in creation order.
void Form::LayoutChildren(Component& container, Rect area) {
  static constexpr Align kOrder[] = {Align::Top, Align::Bottom, Align::Left, Align::Right,
                                     Align::Client};
  for (Align align : kOrder) {
    for (Component* child : container.Children()) {
      if (child->GetAlign() != align || !child->Visible()) continue;
      Rect b = child->Bounds();
      switch (align) {
        case Align::Top:
          b = {area.left, area.top, area.width, b.height};
          area.top += b.height, area.height -= b.height;
          break;
        case Align::Bottom:
          b = {area.left, area.Bottom() - b.height, area.width, b.height};
          area.height -= b.height;
          break;
        case Align::Left:
          b = {area.left, area.top, b.width, area.height};
          area.left += b.width, area.width -= b.width;
          break;
        case Align::Right:
          b = {area.Right() - b.width, area.top, b.width, area.height};
          area.width -= b.width;
          break;
        case Align::Client:
          b = area;
          break;
        case Align::None:
          break;
      }
      child->SetBounds(b);
    }
  }
  for (Component* child : container.Children()) {
    if (child->Children().empty()) continue;
    const Rect& b = child->Bounds();
    if (auto* pages = dynamic_cast<PageControl*>(child)) {
      // Pages fill the control; a visible tab row takes 24 pixels of it.
      bool any_tab = false;
      for (TabSheet* page : pages->Pages()) any_tab = any_tab || page->TabVisible();
      Rect page_area{0, 0, b.width, b.height - (any_tab ? 24 : 0)};
      if (any_tab && !pages->TabsAtBottom()) page_area.top = 24;
      for (TabSheet* page : pages->Pages()) {
        page->SetBounds(page_area);
        LayoutChildren(*page, Rect{0, 0, page_area.width, page_area.height});
      }
    } else if (child->GetKind() != Kind::TabSheet) {
      LayoutChildren(*child, Rect{0, 0, b.width, b.height});
    }
  }
}

}  // namespace ui
