#include "fakes/HeadlessHost.h"


namespace fakes {

HeadlessHost::HeadlessHost() = default;

void HeadlessHost::Post(std::function<void()> event) { queue_.push_back(std::move(event)); }

void HeadlessHost::FormCreated(ui::Form& form) {
  created_forms.push_back(form.Name());
  if (events) events->push_back("CreateForm " + form.Name());
}

void HeadlessHost::ProcessMessages() {
  ++process_messages_calls;
  for (;;) {
    // Hand-overs of workers come first, as the UI thread would find them waiting.
    if (app_) app_->RunHandovers();
    if (queue_.empty()) return;
    std::function<void()> next = std::move(queue_.front());
    queue_.pop_front();
    next();
  }
}

int HeadlessHost::ShowMessageBox(ui::Form* owner, const std::string& text, const std::string& title,
                             unsigned flags) {
  boxes.push_back({owner ? owner->Name() : std::string(), text, title, flags, {}});
  if (events) events->push_back("MessageBox " + text);
  if (box_answers.empty()) return ui::kIdOk;
  int answer = box_answers.front();
  box_answers.pop_front();
  return answer;
}

bool HeadlessHost::InputQuery(const std::string& title, const std::string& prompt,
                              std::string& value) {
  inputs.push_back(title + "|" + prompt + "|" + value);
  if (input_answers.empty()) return false;
  std::optional<std::string> answer = input_answers.front();
  input_answers.pop_front();
  if (!answer) return false;
  value = *answer;
  return true;
}

void HeadlessHost::ShowModal(ui::Form& form) {
  modals.push_back(form.Name());
  form.FormShow();
  form.SetVisible(true);
  if (!modal_actions.empty()) {
    auto action = std::move(modal_actions.front());
    modal_actions.pop_front();
    action(form);
  }
  form.SetVisible(false);
}

void HeadlessHost::Popup(ui::PopupMenu& menu, ui::Point screen) {
  popups.push_back({menu.Name(), screen});
  if (!popup_actions.empty()) {
    auto action = std::move(popup_actions.front());
    popup_actions.pop_front();
    action(menu);
  }
}

ui::Point HeadlessHost::ClientToScreen(const ui::Component& component, ui::Point client) {
  ui::Point p{client.x + client_origin.x, client.y + client_origin.y};
  for (const ui::Component* c = &component; c && c->GetKind() != ui::Kind::Form; c = c->Parent()) {
    p.x += c->Bounds().left;
    p.y += c->Bounds().top;
  }
  return p;
}

void HeadlessHost::Run(ui::Form& main) {
  shown_forms.push_back(main.Name());
  if (events) events->push_back("Run " + main.Name());
  main.SetVisible(true);
  if (run_action) run_action(main);
  main.FormClose();
  main.SetVisible(false);
}

}  // namespace fakes
