// A window of the program: owns its components in creation order and finds them by
// name, as the settings and language files address them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Component.h"

namespace ui {

class Application;
class MenuItem;

enum class Position { Designed, DesktopCenter };

class Form : public Component {
 public:
  Form(Application& app, std::string name);
  ~Form() override;

  Application& App() const { return app_; }

  // Creates a component owned by this form; `parent` null means the form itself for
  // visual kinds, and no parent for menus and image lists.
  template <class T, class P, class... Args>
  T* Create(P* parent, std::string name, Args&&... args) {
    auto component = std::make_unique<T>(this, parent, std::move(name), std::forward<Args>(args)...);
    T* raw = component.get();
    Adopt(std::move(component));
    return raw;
  }
  // For kinds whose constructor takes no parent (menus, image lists).
  template <class T, class... Args>
  T* CreateNonVisual(std::string name, Args&&... args) {
    auto component = std::make_unique<T>(this, std::move(name), std::forward<Args>(args)...);
    T* raw = component.get();
    Adopt(std::move(component));
    return raw;
  }

  // Every owned component in creation order (the form itself excluded).
  std::vector<Component*> Components() const;
  Component* Find(std::string_view name) const;
  template <class T>
  T* FindAs(std::string_view name) const {
    return dynamic_cast<T*>(Find(name));
  }

  int ClientWidth() const { return client_width_; }
  int ClientHeight() const { return client_height_; }
  void SetClientSize(int width, int height);
  int MinWidth() const { return min_width_; }
  int MinHeight() const { return min_height_; }
  void SetMinSize(int width, int height) { min_width_ = width, min_height_ = height; }
  bool Resizable() const { return resizable_; }
  void SetResizable(bool resizable) { resizable_ = resizable; }
  bool MaximizeBox() const { return maximize_box_; }
  void SetMaximizeBox(bool box) { maximize_box_ = box; }
  bool MinimizeBox() const { return minimize_box_; }
  void SetMinimizeBox(bool box) { minimize_box_ = box; }
  Position GetPosition() const { return position_; }
  void SetPosition(Position position) { position_ = position; }
  // The window has a taskbar button of its own, also when another window is open.
  bool OwnTaskbarButton() const { return own_taskbar_button_; }
  void SetOwnTaskbarButton(bool own) { own_taskbar_button_ = own; }
  // The progress shown on the window's taskbar button.
  enum class TaskbarState { None, Normal };
  struct TaskbarProgress {
    TaskbarState state = TaskbarState::Normal;
    int value = 0;
    int max = 100;
    bool operator==(const TaskbarProgress&) const = default;
  };
  const TaskbarProgress& GetTaskbarProgress() const { return taskbar_progress_; }
  void SetTaskbarProgress(const TaskbarProgress& progress);
  // Asks the system for rounded window corners where it draws them.
  bool RoundedCorners() const { return rounded_corners_; }
  void SetRoundedCorners(bool rounded) { rounded_corners_ = rounded; }
  bool DoubleBuffered() const { return double_buffered_; }
  void SetDoubleBuffered(bool buffered) { double_buffered_ = buffered; }

  // Places every aligned child inside its parent, in creation order, as the peers
  // and the tests see it.
  void ApplyLayout();

  // Creation handler, run once by Application::CreateForm.
  virtual void FormCreate() {}
  // A system setting changed (the settings-change broadcast reached the window).
  virtual void SettingChange() {}
  // Close handler, run before the window goes away (or, for a modal window, hides).
  virtual void FormClose() {}
  // The user's session is ending (log-off, shut-down, restart): keep what a close
  // would keep. Nothing may wait for the user here; the process ends soon after.
  virtual void SessionEnding() {}
  // Show handler, run each time the window is about to be shown modally.
  virtual void FormShow() {}
  // Closes the window as its title bar's close button does.
  void Close();
  // The mouse moved over the window's own client surface (not over a child).
  virtual void MouseMove() {}

  // The keyboard beyond moving the focus. OnMenuKey runs when Alt is pressed and
  // released alone, or F10 is pressed; Enter clicks the default button wherever the
  // focus is, unless the focused control takes Enter itself; the shortcut of a window
  // shortcut item works anywhere in the window, not only while its menu is open.
  std::function<void()> OnMenuKey;
  Component* DefaultButton() const { return default_button_; }
  void SetDefaultButton(Component* button) { default_button_ = button; }
  const std::vector<MenuItem*>& WindowShortCuts() const { return window_shortcuts_; }
  void AddWindowShortCut(MenuItem* item) { window_shortcuts_.push_back(item); }

  // Component whose peer was created for this form; set by the UI host.
  void* PeerData() const { return peer_data_; }
  void SetPeerData(void* data) { peer_data_ = data; }

 private:
  void Adopt(std::unique_ptr<Component> component);
  void LayoutChildren(Component& container, Rect client);

  Application& app_;
  std::vector<std::unique_ptr<Component>> owned_;
  int client_width_ = 0, client_height_ = 0;
  int min_width_ = 0, min_height_ = 0;
  bool resizable_ = true;
  bool maximize_box_ = true;
  bool minimize_box_ = true;
  Position position_ = Position::Designed;
  bool double_buffered_ = false;
  bool own_taskbar_button_ = false;
  TaskbarProgress taskbar_progress_;
  bool rounded_corners_ = false;
  void* peer_data_ = nullptr;
  Component* default_button_ = nullptr;
  std::vector<MenuItem*> window_shortcuts_;
};

}  // namespace ui
