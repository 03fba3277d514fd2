// The component model: every window is a Form that owns named components. The
// components are the state of the window; peers (ui/win32) mirror them on screen and
// feed user input back. Portable code never sees an HWND.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class Form;
class Component;

enum class Kind {
  Form,
  Panel,
  GroupBox,
  Button,
  SpeedButton,
  CheckBox,
  Label,
  Edit,
  ComboBox,
  Memo,
  ListView,
  StatusBar,
  PageControl,
  TabSheet,
  PopupMenu,
  MenuItem,
  ProgressBar,
  ActivityIndicator,
  Image,
  ImageList,
  PaintBox,
};

const char* KindName(Kind kind);

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  bool operator==(const Rect&) const = default;
};

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

enum class Align { None, Top, Bottom, Left, Right, Client };

struct Font {
  std::string name = "Tahoma";
  int height = -11;  // negative: character height in pixels at 96 dpi, as LOGFONT
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool operator==(const Font&) const = default;
};

enum class Cursor { Default, HandPoint };

// What changed on a component; peers redraw only that.
enum class Change {
  Text,
  Enabled,
  Visible,
  Font,
  Bounds,
  Checked,
  Items,
  Selection,
  Scroll,
  ActivePage,
  TabVisible,
  ReadOnly,
  Progress,
};

// Implemented by the on-screen peer of a component.
class ComponentObserver {
 public:
  virtual ~ComponentObserver() = default;
  virtual void ComponentChanged(Component& component, Change change) = 0;
};

// The five text properties that the settings and translation code address by name.
inline constexpr std::string_view kTextProperties[] = {"Caption", "Hint", "Title", "Text",
                                                       "TextHint"};

class Component {
 public:
  Component(Form* owner, Component* parent, std::string name, Kind kind);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  const std::string& Name() const { return name_; }
  Kind GetKind() const { return kind_; }
  Form* Owner() const { return owner_; }
  Component* Parent() const { return parent_; }
  const std::vector<Component*>& Children() const { return children_; }
  // Takes a child out of the list above (for components made and freed at run time by
  // their creator rather than owned by the window); the child itself is not freed.
  void RemoveChild(Component* child);

  // A control without a place on screen (menus, image lists).
  bool IsVisual() const;

  // Enabled state of the component itself, and whether it can actually be used: a
  // disabled panel or group box disables everything inside it.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool EffectivelyEnabled() const;
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // Text properties by name. A kind without the property answers nothing and ignores
  // writes, so callers can walk every component with every property name.
  bool HasTextProperty(std::string_view property) const;
  std::optional<std::string> GetTextProperty(std::string_view property) const;
  bool SetTextProperty(std::string_view property, std::string value);

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string hint);

  const Rect& Bounds() const { return bounds_; }
  void SetBounds(Rect bounds);
  Align GetAlign() const { return align_; }
  void SetAlign(Align align) { align_ = align; }

  // The font in effect: the component's own when set, the parent's otherwise.
  const Font& GetFont() const;
  void SetFont(Font font);
  bool HasOwnFont() const { return own_font_.has_value(); }
  void SetBold(bool bold);

  Cursor GetCursor() const { return cursor_; }
  void SetCursor(Cursor cursor) { cursor_ = cursor; }

  // A free integer, as the program keeps small states in a button.
  std::intptr_t Tag() const { return tag_; }
  void SetTag(std::intptr_t tag) { tag_ = tag; }

  void SetObserver(ComponentObserver* observer) { observer_ = observer; }
  ComponentObserver* Observer() const { return observer_; }

  std::function<void()> OnClick;

  // Runs OnClick as a user's click would.
  virtual void Click();

 protected:
  void Notify(Change change);
  virtual std::string* TextField(std::string_view property);
  const std::string* TextField(std::string_view property) const {
    return const_cast<Component*>(this)->TextField(property);
  }

 private:
  friend class Form;
  Form* owner_;
  Component* parent_;
  std::string name_;
  Kind kind_;
  std::vector<Component*> children_;
  bool enabled_ = true;
  bool visible_ = true;
  std::string caption_;
  std::string hint_;
  Rect bounds_;
  Align align_ = Align::None;
  std::optional<Font> own_font_;
  Cursor cursor_ = Cursor::Default;
  std::intptr_t tag_ = 0;
  ComponentObserver* observer_ = nullptr;
};

}  // namespace ui
