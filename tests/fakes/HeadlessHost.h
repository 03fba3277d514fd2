// A UI host without a screen. Messages are events that a test queued; "let pending
// messages run" runs them, so re-entrancy is real. Boxes, input boxes, menus and
// modal windows are answered from scripts and recorded.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/Application.h"
#include "ui/Controls.h"

namespace fakes {

class HeadlessHost : public ui::UiHost {
 public:
  struct Box {
    std::string owner;  // form name, empty without owner
    std::string text;
    std::string title;
    unsigned flags;
    std::vector<std::string> buttons;  // captions of a captioned box
  };
  struct Popup {
    std::string menu;
    ui::Point at;
  };

  HeadlessHost();

  // Queued user events, run by ProcessMessages in order.
  void Post(std::function<void()> event);
  // Answers for the next boxes, in order; without one a box answers OK.
  std::deque<int> box_answers;
  // Answers for the next input boxes; nullopt is Cancel.
  std::deque<std::optional<std::string>> input_answers;
  // What happens while a popup menu is open: e.g. click an item. Without one the
  // menu is dismissed (Esc).
  std::deque<std::function<void(ui::PopupMenu&)>> popup_actions;
  // What happens while a modal window is shown.
  std::deque<std::function<void(ui::Form&)>> modal_actions;
  // What happens while the main window runs; without one it is closed at once.
  std::function<void(ui::Form&)> run_action;
  // Where the screen origin of a form's client area lies.
  ui::Point client_origin{200, 150};

  std::vector<Box> boxes;
  std::vector<Popup> popups;
  std::vector<std::string> inputs;
  std::vector<std::string> modals;
  std::vector<std::string> created_forms;
  // Targets handed to the shell's "open" verb, each as "owner form|target".
  std::vector<std::string> shell_opens;
  std::vector<std::string> shown_forms;
  int process_messages_calls = 0;
  int end_menu_calls = 0;
  std::vector<std::string>* events = nullptr;  // optional shared event log

  void FormCreated(ui::Form& form) override;
  void ProcessMessages() override;
  void AttachApplication(ui::Application* app) override { app_ = app; }
  void WakeUiThread() override {}
  int ShowMessageBox(ui::Form* owner, const std::string& text, const std::string& title,
                 unsigned flags) override;
  int ShowCaptionedBox(ui::Form* owner, const std::string& text, const std::string& title,
                       unsigned flags, const std::vector<std::string>& button_captions) override {
    int answer = ShowMessageBox(owner, text, title, flags);
    boxes.back().buttons = button_captions;
    return answer;
  }
  bool InputQuery(const std::string& title, const std::string& prompt,
                  std::string& value) override;
  void ShowModal(ui::Form& form) override;
  bool HighContrast() const override { return high_contrast; }
  // What HighContrast() answers: the system's high contrast as a test sets it.
  bool high_contrast = false;
  void Popup(ui::PopupMenu& menu, ui::Point screen) override;
  void EndMenu() override { ++end_menu_calls; }
  ui::Point ClientToScreen(const ui::Component& component, ui::Point client) override;
  void Run(ui::Form& main) override;
  void ShellOpen(ui::Form* owner, const std::string& target) override {
    shell_opens.push_back((owner ? owner->Name() : std::string()) + "|" + target);
  }

 private:
  ui::Application* app_ = nullptr;
  std::deque<std::function<void()>> queue_;
};

}  // namespace fakes
