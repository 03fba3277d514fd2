#include "ui/Application.h"

#include <exception>

namespace ui {

Application::Application(UiHost& host) : host_(host), workers_([&host] { host.WakeUiThread(); }),
      styles_([&host](const StylePalette* palette) { host.StyleChanged(palette); }) {
  host_.AttachApplication(this);
}

Application::~Application() {
  // From now on no hand-over reaches a window, and the host no longer calls back.
  workers_.Close();
  host_.AttachApplication(nullptr);
  // Windows go before the components they show.
  for (auto it = form_order_.rbegin(); it != form_order_.rend(); ++it) host_.FormDestroyed(**it);
}

void Application::AddForm(std::unique_ptr<Form> form) {
  Form& ref = *form;
  forms_.push_back(std::move(form));
  form_order_.push_back(&ref);
  host_.FormCreated(ref);
  ref.FormCreate();
}

Form* Application::FindForm(std::string_view name) const {
  for (Form* form : form_order_)
    if (form->Name() == name) return form;
  return nullptr;
}

void Application::Run() {
  if (Form* main = MainForm()) host_.Run(*main);
  workers_.Close();
}

void Application::EndSession() {
  if (session_ended_) return;
  session_ended_ = true;
  Terminate();
  for (Form* form : std::vector<Form*>(form_order_)) {
    try {
      form->SessionEnding();
    } catch (...) {
      // No box at the end of a session: it would hold up the log-off, and the system
      // ends the process regardless. The next form still keeps its settings.
    }
  }
}

std::string ErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

void Application::ShowException(const std::string& message) {
  host_.ShowMessageBox(nullptr, ErrorReportText(message), title_, kMbOk | kMbIconError);
}

void Application::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("Unknown error");
  }
}

}  // namespace ui
