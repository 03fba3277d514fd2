// What a page of the main window builds on. A page creates its components on the
// main window, which owns them (their names, Form::Find, the settings and language
// keys see one flat window), keeps typed pointers to them and carries out the
// operations that work on them. Everything else it may use is listed in Shell, plus
// the few named operations of other pages that its own header lists.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "shell/Services.h"
#include "platform/Http.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Form.h"

namespace shell {

// The main window's services that every page shares.
class Shell {
 public:
  virtual ~Shell() = default;
  // The window that owns every page's components.
  virtual ui::Form& Window() = 0;
  virtual Services& GetServices() = 0;

  // The settings file and the DNS list file; both create the settings folder.
  virtual std::string PortablePath() = 0;
  virtual std::string PortablePathDNS() = 0;
  virtual bool Portable() const = 0;
  // Starts a console tool hidden; false when it cannot start.
  virtual bool RunCommand(const std::string& command, const std::string& params, bool wait) = 0;
  // Appends "hh:nn:ss - msg" to the activity log, then lets pending messages run.
  virtual void Log(const std::string& msg) = 0;
  // A report line without a time stamp; the separator closes a report block.
  virtual void LogRaw(const std::string& line) = 0;
  void LogSeparator() { LogRaw(std::string(40, '-')); }
  // Log for a worker thread: each line is stamped when it is made and appended on the
  // UI thread in order; lines made after the window is gone are dropped.
  virtual std::function<void(const std::string&)> WorkerLog(ui::WorkerLink ui_thread) = 0;
  // The fixed proxy that a request of the program's own with this scheme ("http",
  // "https") goes through; nullopt: the request goes direct.
  virtual std::optional<platform::HttpProxy> SystemProxyFor(std::string_view scheme) = 0;

  // Navigation: shows the adapter page again, as its button does.
  virtual void ButtonProxyClick() = 0;
  // The DNS test run keeps the user on its page while it runs.
  virtual void SetNavigationEnabled(bool enabled) = 0;
};

class Page {
 public:
  virtual ~Page() = default;
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

 protected:
  explicit Page(Shell& shell) : shell_(shell), form_(shell.Window()), services_(shell.GetServices()) {}

  template <class T, class P, class... Args>
  T* Create(P* parent, std::string name, Args&&... args) {
    return form_.Create<T>(parent, std::move(name), std::forward<Args>(args)...);
  }
  template <class T, class... Args>
  T* CreateNonVisual(std::string name, Args&&... args) {
    return form_.CreateNonVisual<T>(std::move(name), std::forward<Args>(args)...);
  }
  ui::Application& App() const { return form_.App(); }
  // The current text of a message-catalogue entry.
  std::string Msg(const char* name) const;

  Shell& shell_;
  ui::Form& form_;
  Services& services_;
};

}  // namespace shell
