// The network profiles page: the network location profiles the system remembers,
// listed from the machine-wide registry, renamed and deleted; plus the logon name of
// the user and the computer's DNS host name.
#include <cstdio>
#include <stdexcept>

#include "shell/Catalogue.h"
#include "profiles/ProfilesPage.h"
#include "shell/Journal.h"

namespace profiles {

namespace {

using platform::RegRoot;

constexpr char kProfiles[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkList\\Profiles";
constexpr char kMachineRootName[] = "HKEY_LOCAL_MACHINE";
constexpr uint32_t kFullAccess64 = platform::reg_access::kAllAccess | platform::reg_access::kWow64_64Key;
constexpr uint32_t kWriteAccess64 = platform::reg_access::kWrite | platform::reg_access::kWow64_64Key;
// Milliseconds between two repaints of a list that is being built or emptied.
constexpr uint32_t kRepaintInterval = 25;

// Places of a row's texts after its caption.
enum SubItem { kName = 0, kDescription = 1, kCategory = 2, kRootName = 3, kKeyPath = 4, kSubItemCount = 5 };

// "%.2u": at least two digits, never cut.
std::string RowNumber(size_t number) {
  char text[24];
  std::snprintf(text, sizeof text, "%.2u", static_cast<unsigned>(number));
  return text;
}

// A value that is missing or not text reads as an empty text.
std::string ReadText(platform::RegistryKey& key, const char* name) {
  return key.ReadString(name).value_or(std::string());
}

RegRoot RootNamed(const std::string& name) {
  return name == "HKEY_CURRENT_USER" ? RegRoot::CurrentUser : RegRoot::LocalMachine;
}

// The rows keep the key path from the root with a leading "\"; the registry takes
// paths relative to the root.
std::string BelowRoot(const std::string& path) {
  size_t start = path.find_first_not_of('\\');
  return start == std::string::npos ? std::string() : path.substr(start);
}

// Keeps a flag raised for the life of a scope, whatever way the scope is left.
class Raised {
 public:
  explicit Raised(bool& flag) : flag_(flag) { flag_ = true; }
  ~Raised() { flag_ = false; }
  Raised(const Raised&) = delete;
  Raised& operator=(const Raised&) = delete;

 private:
  bool& flag_;
};

}  // namespace

ProfilesPage::ProfilesPage(shell::Shell& shell, ui::TabSheet& page) : Page(shell) {
  TabNetworkProfilesButtons = Create<ui::Panel>(&page, "TabNetworkProfilesButtons");
  TabNetworkProfilesButtons->SetAlign(ui::Align::Right);
  TabNetworkProfilesButtons->SetBounds({0, 0, 130, 0});
  struct ButtonSpec {
    ui::Button** field;
    const char* name;
    const char* caption;
    void (ProfilesPage::*handler)();
  };
  const ButtonSpec buttons[] = {
      {&UpdateNet, "UpdateNet", "Обновить", &ProfilesPage::UpdateNetClick},
      {&RenameNet, "RenameNet", "Переименовать", &ProfilesPage::RenameNetClick},
      {&DeleteNet, "DeleteNet", "Удалить", &ProfilesPage::DeleteNetClick},
      {&DeleteNetAll, "DeleteNetAll", "Удалить все", &ProfilesPage::DeleteNetAllClick},
  };
  int top = 8;
  for (const ButtonSpec& spec : buttons) {
    ui::Button* button = Create<ui::Button>(TabNetworkProfilesButtons, spec.name);
    button->SetCaption(spec.caption);
    button->SetBounds({8, top, 114, 25});
    auto handler = spec.handler;
    button->OnClick = [this, handler] { (this->*handler)(); };
    *spec.field = button;
    top += 31;
  }
  top += 8;
  for (auto [field, name] : {std::pair{&USERName, "USERName"}, std::pair{&ComputerName, "ComputerName"}}) {
    ui::Edit* edit = Create<ui::Edit>(TabNetworkProfilesButtons, name);
    edit->SetBounds({8, top, 114, 21});
    edit->SetReadOnly(true);
    edit->SetCentered(true);
    *field = edit;
    top += 27;
  }

  TabNetworkProfilesView = Create<ui::Panel>(&page, "TabNetworkProfilesView");
  TabNetworkProfilesView->SetAlign(ui::Align::Client);
  StatusBarProfile = Create<ui::StatusBar>(TabNetworkProfilesView, "StatusBarProfile");
  StatusBarProfile->SetAlign(ui::Align::Bottom);
  StatusBarProfile->SetBounds({0, 0, 0, 19});
  ListViewNetworkProfiles = Create<ui::ListView>(TabNetworkProfilesView, "ListViewNetworkProfiles");
  ListViewNetworkProfiles->SetAlign(ui::Align::Client);
  ListViewNetworkProfiles->SetCheckBoxes(true);
  ListViewNetworkProfiles->SetColumns({
      {.caption = "№", .width = 50, .min_width = 50, .max_width = 50},
      {.caption = "Название", .width = 200, .min_width = 200, .auto_size = true},
      {.caption = "Описание", .width = 150, .min_width = 150},
      {.caption = "Профиль", .width = 150, .min_width = 150},
  });

  PopupMenuProfile = CreateNonVisual<ui::PopupMenu>("PopupMenuProfile");
  ListViewNetworkProfiles->SetPopupMenu(PopupMenuProfile);
  auto item = [this](ui::Component* parent, const char* name, const char* caption,
                     void (ProfilesPage::*handler)()) {
    ui::MenuItem* menu_item = Create<ui::MenuItem>(parent, name);
    menu_item->SetCaption(caption);
    if (handler) menu_item->OnClick = [this, handler] { (this->*handler)(); };
    return menu_item;
  };
  // The change-profile submenu is kept (it is translated like everything else) but
  // never shown.
  EditProfilesMenu = item(PopupMenuProfile, "EditProfilesMenu", "Изменить профиль", nullptr);
  EditProfilesMenu->SetVisible(false);
  PublicMenu = item(EditProfilesMenu, "PublicMenu", "Общедоступная", nullptr);
  PrivateMenu = item(EditProfilesMenu, "PrivateMenu", "Частная", nullptr);
  RenameProfilesMenu = item(PopupMenuProfile, "RenameProfilesMenu", "Переименовать", &ProfilesPage::RenameProfilesMenuClick);
  N4 = item(PopupMenuProfile, "N4", "-", nullptr);
  ProfilesCheclAllMenu = item(PopupMenuProfile, "ProfilesCheclAllMenu", "Выбрать все", &ProfilesPage::ProfilesCheclAllMenuClick);
  ProfilesUnCheclAllMenu =
      item(PopupMenuProfile, "ProfilesUnCheclAllMenu", "Исключить все", &ProfilesPage::ProfilesUnCheclAllMenuClick);
  N1 = item(PopupMenuProfile, "N1", "-", nullptr);
  DelSelectedProfilesMenu =
      item(PopupMenuProfile, "DelSelectedProfilesMenu", "Удалить отмеченные", &ProfilesPage::DelSelectedProfilesMenuClick);
  DelProfilesMenu = item(PopupMenuProfile, "DelProfilesMenu", "Удалить", &ProfilesPage::DelProfilesMenuClick);
}

void ProfilesPage::TabNetworkProfilesShow() {
  LoadNet();
  USERName->SetText("");
  USERName->SetText(GetCurrentUserName());
  ComputerName->SetText("");
  ComputerName->SetText(GetComputerNameText(ComputerNameKind::DnsHostname));
}

std::string ProfilesPage::GetCurrentUserName() {
  return services_.system.UserName().value_or("Unknown");
}

std::string ProfilesPage::GetComputerNameText(ComputerNameKind kind) {
  std::optional<std::string> name;
  switch (kind) {
    case ComputerNameKind::DnsHostname:
      name = services_.system.ComputerDnsHostName();
      break;
  }
  if (!name) throw std::runtime_error("System Error. The computer name cannot be read");
  std::string text = *name;
  if (text.size() > 2 && text.back() == '\0') text.pop_back();
  return text;
}

void ProfilesPage::ShowProfileCount() {
  StatusBarProfile->SetSimpleText(Msg("LangElements") + " " +
                                  std::to_string(ListViewNetworkProfiles->Rows().size()));
}

void ProfilesPage::LetProfilesRepaint(bool first, bool show_count) {
  if (!first && services_.clock.TickCount() - profiles_last_repaint_ < kRepaintInterval) return;
  if (show_count) ShowProfileCount();
  App().ProcessMessages();
  // Counted from the end of the repaint, so a slow repaint cannot take all the time.
  profiles_last_repaint_ = services_.clock.TickCount();
}

void ProfilesPage::LoadNet() {
  if (App().Terminated()) return;  // the window is closing: nothing to show
  if (profiles_busy_) {
    // A refresh during a load or a delete walk: rebuild once the list is complete,
    // never two lists into one.
    profiles_reload_pending_ = true;
    return;
  }
  Raised busy(profiles_busy_);
  do {
    profiles_reload_pending_ = false;
    LoadNetOnce();
  } while (profiles_reload_pending_ && !App().Terminated());
}

void ProfilesPage::LoadNetOnce() {
  ui::ListView& list = *ListViewNetworkProfiles;
  try {
    StatusBarProfile->SetSimpleText(Msg("LangElements") + " 0");
    list.Clear();
    std::vector<std::string> names;
    if (auto profiles = services_.registry.Open(RegRoot::LocalMachine, kProfiles, kFullAccess64, false))
      names = profiles->SubKeys();
    for (const std::string& name : names) {
      // A close request ends the load at once.
      if (App().Terminated()) return;
      const std::string path = std::string(kProfiles) + "\\" + name;
      auto key = services_.registry.Open(RegRoot::LocalMachine, path, kFullAccess64, false);
      if (!key) continue;  // left out; the numbers of the other rows stay consecutive
      ui::ListRow row;
      row.caption = RowNumber(list.Rows().size() + 1);
      row.sub_items.resize(kSubItemCount);
      row.sub_items[kName] = ReadText(*key, "ProfileName");
      row.sub_items[kDescription] = ReadText(*key, "Description");
      // Domain networks (2), other numbers, a missing value or one of another type
      // show no category; the row is otherwise like any other.
      if (std::optional<uint32_t> category = key->ReadDWord("Category"); category && *category <= 1)
        row.sub_items[kCategory] = Msg(*category == 1 ? "LangPrivate" : "LangPublic");
      row.sub_items[kRootName] = kMachineRootName;
      row.sub_items[kKeyPath] = "\\" + path;
      key.reset();
      list.AddRow(std::move(row));
      // The count shows whenever the window repaints, and at the end.
      LetProfilesRepaint(list.Rows().size() == 1, true);
    }
    if (!list.Rows().empty()) list.SetSelected(0);
    ShowProfileCount();
  } catch (...) {
    // A refresh leaves what it has shown so far.
  }
}

void ProfilesPage::DeleteProfileKey(int index) {
  const ui::ListRow& row = ListViewNetworkProfiles->Rows().at(index);
  if (row.sub_items.size() < kSubItemCount) return;
  // The outcome is not examined: a refused delete shows the profile again on the
  // rebuild that follows.
  services_.registry.DeleteKey(RootNamed(row.sub_items[kRootName]), BelowRoot(row.sub_items[kKeyPath]),
                               platform::reg_access::kWow64_64Key);
}

void ProfilesPage::DeleteKey() {
  int selected = ListViewNetworkProfiles->Selected();
  if (selected < 0) return;
  DeleteProfileKey(selected);
}

void ProfilesPage::RenameProfile() {
  if (profiles_busy_) return;
  const int selected = ListViewNetworkProfiles->Selected();
  if (selected < 0) return;
  const ui::ListRow row = ListViewNetworkProfiles->Rows()[selected];
  if (row.sub_items.size() < kSubItemCount) return;
  const std::string current = row.sub_items[kName];
  std::string answer = current;
  // Cancel leaves the current name in place, which counts as unchanged.
  App().InputQuery(Msg("LangRename"), Msg("LangNetworkName"), answer, {Msg("LangOK"), Msg("LangCancelButton")});
  if (answer.empty() || answer == current) {
    App().ShowMessageBox(Msg("LanfErrorName"), App().Title(), ui::kMbOk, &form_);
  } else {
    shell::JournalScope journal_entry(
        services_.journal,
        services_.journal ? Msg("LangJournalRename") + ": " + current + " -> " + answer : std::string());
    auto key = services_.registry.Open(RootNamed(row.sub_items[kRootName]), BelowRoot(row.sub_items[kKeyPath]),
                                       kWriteAccess64, true);
    if (!key || !key->WriteString("ProfileName", answer))
      throw std::runtime_error("Failed to set data for 'ProfileName'");
  }
  LoadNet();
}

void ProfilesPage::DeleteSelectedProfile() {
  if (profiles_busy_) return;
  const int selected = ListViewNetworkProfiles->Selected();
  if (selected < 0) return;
  const ui::ListRow& row = ListViewNetworkProfiles->Rows()[selected];
  std::string name = row.sub_items.empty() ? std::string() : row.sub_items[kName];
  int answer = App().ShowMessageBox(Msg("LangDelete") + " [ " + name + " ] ?", Msg("LangAttention"),
                                    ui::kMbYesNo | ui::kMbIconQuestion, &form_);
  if (answer == ui::kIdYes) {
    shell::JournalScope journal_entry(services_.journal,
                                      services_.journal ? Msg("LangJournalDelete") + ": " + name : std::string());
    DeleteKey();
  }
  LoadNet();
}

bool ProfilesPage::AskDeleteAllProfiles() {
  return App().ShowMessageBox(Msg("LangDeleteAllProfile"), Msg("LangAttention"),
                              ui::kMbYesNo | ui::kMbIconQuestion, &form_) == ui::kIdYes;
}

void ProfilesPage::DeleteNetAllClick() {
  if (profiles_busy_ || ListViewNetworkProfiles->Selected() < 0) return;
  if (AskDeleteAllProfiles()) {
    Raised busy(profiles_busy_);
    shell::JournalScope journal_entry(services_.journal,
                                      services_.journal ? Msg("LangJournalDeleteAll") : std::string());
    ui::ListView& list = *ListViewNetworkProfiles;
    try {
      // The rows go one by one from the top, so the user sees them disappear.
      for (bool first = true; !list.Rows().empty() && !App().Terminated(); first = false) {
        DeleteProfileKey(0);
        list.DeleteRow(0);
        LetProfilesRepaint(first);
      }
    } catch (...) {
      // The rebuild below shows what is left.
    }
  }
  LoadNet();
}

void ProfilesPage::DelSelectedProfilesMenuClick() {
  if (profiles_busy_ || ListViewNetworkProfiles->Selected() < 0) return;
  if (AskDeleteAllProfiles()) {
    Raised busy(profiles_busy_);
    shell::JournalScope journal_entry(services_.journal,
                                      services_.journal ? Msg("LangJournalDelete") : std::string());
    ui::ListView& list = *ListViewNetworkProfiles;
    try {
      // From the end, so removing a row never moves one still to be visited.
      bool first = true;
      for (int i = static_cast<int>(list.Rows().size()) - 1; i >= 0 && !App().Terminated(); --i) {
        if (i >= static_cast<int>(list.Rows().size()) || !list.Rows()[i].checked) continue;
        DeleteProfileKey(i);
        list.DeleteRow(i);
        LetProfilesRepaint(first);
        first = false;
      }
    } catch (...) {
      // The rebuild below shows what is left.
    }
  }
  LoadNet();
}

void ProfilesPage::CheckAllProfiles(bool state) {
  if (profiles_busy_) return;
  ui::ListView& list = *ListViewNetworkProfiles;
  for (int i = 0; i < static_cast<int>(list.Rows().size()); ++i) list.SetChecked(i, state);
}

}  // namespace profiles
