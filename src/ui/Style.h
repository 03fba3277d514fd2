// The application's visual styles: named colour sets registered at start-up, one of
// which may be chosen at a time. Until one is chosen the windows keep the system's
// standard look. The screen side learns of each change through the UI host.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace ui {

// A colour as 0xRRGGBB.
using Colour = uint32_t;

// The colours of one style. Every text colour is meant to be read on the
// backgrounds it is paired with (see theme/Palettes.h).
struct StylePalette {
  bool dark = false;
  Colour window = 0;          // frame and client background
  Colour panel = 0;           // panels, status bars, list headers
  Colour group_frame = 0;     // the line around a group box
  Colour group_caption = 0;   // a group box's caption
  Colour text = 0;            // labels and control texts
  Colour disabled_text = 0;   // texts of disabled controls
  Colour edit = 0;            // edit boxes, memos, lists, drop-downs
  Colour edit_text = 0;
  Colour selection = 0;       // selected rows and menu items
  Colour selection_text = 0;
  Colour button = 0;          // push button face
  Colour button_hot = 0;      // under the mouse
  Colour button_pressed = 0;  // held down
  Colour link = 0;            // link labels
  Colour border = 0;          // frames of edits, lists and buttons
  Colour accent = 0;          // progress bars, check marks, focus
};

class StyleManager {
 public:
  // Told of every change of the chosen style (null: none chosen).
  explicit StyleManager(std::function<void(const StylePalette*)> changed = {}) : changed_(std::move(changed)) {}

  void Register(const std::string& name, const StylePalette& palette) { styles_[name] = palette; }
  bool IsRegistered(const std::string& name) const { return styles_.count(name) != 0; }
  // Switches to a registered style; a name not registered changes nothing and is
  // answered with false. Choosing the style already in use repaints nothing.
  bool SetStyle(const std::string& name) {
    auto it = styles_.find(name);
    if (it == styles_.end()) return false;
    if (name == current_) return true;
    current_ = name;
    if (changed_) changed_(&it->second);
    return true;
  }
  // Empty while the system's standard look is in use.
  const std::string& CurrentName() const { return current_; }
  const StylePalette* Current() const {
    auto it = styles_.find(current_);
    return it == styles_.end() ? nullptr : &it->second;
  }

 private:
  std::function<void(const StylePalette*)> changed_;
  std::map<std::string, StylePalette> styles_;
  std::string current_;
};

}  // namespace ui
