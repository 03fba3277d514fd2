// The application object: title, forms in creation order, and everything that needs
// the screen (message pump, boxes, menus) reached through one UiHost. The Win32 host
// drives real windows; the headless host of the tests runs queued events and answers
// boxes from a script.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Component.h"
#include "ui/Form.h"
#include "ui/Style.h"
#include "ui/Workers.h"

namespace ui {

class PopupMenu;

// Message box flags and answers, with the platform's values.
enum : unsigned {
  kMbOk = 0x00,
  kMbOkCancel = 0x01,
  kMbYesNo = 0x04,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

class UiHost {
 public:
  virtual ~UiHost() = default;
  // Called by the application object it serves, once.
  virtual void AttachApplication(Application* app) {}
  // Makes the screen side of a newly constructed form (hidden).
  virtual void FormCreated(Form& form) = 0;
  // Drops the screen side of a form that is about to be destroyed.
  virtual void FormDestroyed(Form& form) {}
  // Let pending messages run.
  virtual void ProcessMessages() = 0;
  // Asks the UI thread to run the workers' hand-overs (Application::RunHandovers)
  // soon. Called from worker threads: it only posts.
  virtual void WakeUiThread() = 0;
  virtual int ShowMessageBox(Form* owner, const std::string& text, const std::string& title,
                         unsigned flags) = 0;
  // A box whose buttons read `button_captions`, in the order of the buttons that
  // `flags` asks for (Yes, then No); the first button is the default.
  virtual int ShowCaptionedBox(Form* owner, const std::string& text, const std::string& title,
                               unsigned flags, const std::vector<std::string>& button_captions) {
    return ShowMessageBox(owner, text, title, flags);
  }
  // Returns false when cancelled; `value` holds the default and receives the answer.
  virtual bool InputQuery(const std::string& title, const std::string& prompt,
                          std::string& value) = 0;
  // The same box with its two buttons (OK, Cancel) reading `button_captions`.
  virtual bool InputQueryCaptioned(const std::string& title, const std::string& prompt, std::string& value,
                                   const std::vector<std::string>& /*button_captions*/) {
    return InputQuery(title, prompt, value);
  }
  // The system shows high contrast: the windows keep the system's colours and no
  // style is drawn.
  virtual bool HighContrast() const { return false; }
  virtual void ShowModal(Form& form) = 0;
  // Closes a window: its close handler runs and it goes out of sight.
  virtual void CloseForm(Form& form) {
    form.FormClose();
    form.SetVisible(false);
  }
  // Opens the menu at a screen point and returns when it has closed.
  virtual void Popup(PopupMenu& menu, Point screen) = 0;
  virtual void EndMenu() = 0;
  virtual Point ClientToScreen(const Component& component, Point client) = 0;
  // Shows the main form and runs until it closes.
  virtual void Run(Form& main) = 0;
  // Runs `fn` on the UI thread once `form` has been shown and painted for the first
  // time, from the message loop (at once when that has already happened). A host that
  // paints nothing runs it at once.
  virtual void AfterFirstPaint(Form& form, std::function<void()> fn) { fn(); }
  // The chosen visual style changed (null: the system's standard look): every
  // window shows it at once.
  virtual void StyleChanged(const StylePalette* palette) {}
  // Opens a document or link with the shell's "open" verb, the form's window as
  // owner; the outcome is not reported.
  virtual void ShellOpen(Form* owner, const std::string& target) {}
};

class Application {
 public:
  explicit Application(UiHost& host);
  ~Application();

  UiHost& Host() const { return host_; }

  const std::string& Title() const { return title_; }
  void SetTitle(std::string title) { title_ = std::move(title); }

  // Constructs a form, makes its peer, runs its creation handler. The first form
  // created is the main form.
  template <class T, class... Args>
  T* CreateForm(Args&&... args) {
    auto form = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T* raw = form.get();
    AddForm(std::move(form));
    return raw;
  }
  const std::vector<Form*>& Forms() const { return form_order_; }
  Form* MainForm() const { return form_order_.empty() ? nullptr : form_order_.front(); }
  Form* FindForm(std::string_view name) const;

  void ProcessMessages() { host_.ProcessMessages(); }
  // The main window has been asked to close. Long operations that let messages run
  // stop at their next step, so the window closes at once.
  bool Terminated() const { return terminated_; }
  void Terminate() { terminated_ = true; }
  // Runs fn on the UI thread and waits for it; on the UI thread it runs at once.
  // Dropped once the windows are gone. A worker started with StartWorker should use
  // its own link instead, which stays valid after the application is gone.
  bool Synchronize(std::function<void()> fn) { return workers_.Link().Synchronize(std::move(fn)); }
  Workers& GetWorkers() { return workers_; }
  // Called by the host on the UI thread after WakeUiThread.
  void RunHandovers() { workers_.RunHandovers(); }
  int ShowMessageBox(const std::string& text, const std::string& title, unsigned flags,
                 Form* owner = nullptr) {
    return host_.ShowMessageBox(owner, text, title, flags);
  }
  int ShowCaptionedBox(const std::string& text, const std::string& title, unsigned flags,
                       const std::vector<std::string>& button_captions, Form* owner = nullptr) {
    return host_.ShowCaptionedBox(owner, text, title, flags, button_captions);
  }
  bool InputQuery(const std::string& title, const std::string& prompt, std::string& value,
                  const std::vector<std::string>& button_captions = {}) {
    return button_captions.empty() ? host_.InputQuery(title, prompt, value)
                                   : host_.InputQueryCaptioned(title, prompt, value, button_captions);
  }
  bool HighContrast() const { return host_.HighContrast(); }
  // Shows the form modally; the host runs its show handler first.
  void ShowModal(Form& form) { host_.ShowModal(form); }
  // The visual styles and the one chosen.
  StyleManager& Styles() { return styles_; }
  // Shows the main form and runs until it closes; then hand-overs of workers still
  // running are dropped.
  void Run();

  // The user's session ends: long operations stop at their next step and every form,
  // in creation order, keeps what it would keep at a close. Runs once; later calls do
  // nothing.
  void EndSession();
  bool SessionEnded() const { return session_ended_; }

  // The default error report: a modal error box titled with the application title.
  void ShowException(const std::string& message);
  // Runs a handler; an error escaping it goes to the default error report.
  void Guard(const std::function<void()>& handler);

 private:
  void AddForm(std::unique_ptr<Form> form);

  UiHost& host_;
  std::string title_;
  std::vector<std::unique_ptr<Form>> forms_;
  std::vector<Form*> form_order_;
  Workers workers_;
  StyleManager styles_;
  bool terminated_ = false;
  bool session_ended_ = false;
};

// The text of the default error report: "." is appended when the last character's
// code lies above that of "." (so "Failed" gets a full stop, "Done." and "Error!" not).
std::string ErrorReportText(const std::string& message);

}  // namespace ui
