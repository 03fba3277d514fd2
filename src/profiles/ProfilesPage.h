// The network profiles page: the network location profiles the system remembers,
// listed from the machine-wide registry, renamed and deleted; plus the logon name of
// the user and the computer's DNS host name.
//
// Owns: TabNetworkProfilesButtons (UpdateNet, RenameNet, DeleteNet, DeleteNetAll,
// USERName, ComputerName), TabNetworkProfilesView (ListViewNetworkProfiles,
// StatusBarProfile), PopupMenuProfile and its items.
// May call: the shell's services only.
#pragma once

#include <cstdint>
#include <string>

#include "shell/Page.h"

namespace profiles {

class ProfilesPage : public shell::Page {
 public:
  ProfilesPage(shell::Shell& shell, ui::TabSheet& page);

  // The page's show event: reloads the profile list and the two name boxes.
  void TabNetworkProfilesShow();

  enum class ComputerNameKind { DnsHostname = 1 };
  void LoadNet();
  void UpdateNetClick() { LoadNet(); }
  std::string GetCurrentUserName();
  std::string GetComputerNameText(ComputerNameKind kind);
  void RenameNetClick() { RenameProfile(); }
  void RenameProfilesMenuClick() { RenameProfile(); }
  void RenameProfile();
  void DeleteNetClick() { DeleteSelectedProfile(); }
  void DelProfilesMenuClick() { DeleteSelectedProfile(); }
  void DeleteKey();
  void DeleteNetAllClick();
  void DelSelectedProfilesMenuClick();
  void CheckAllProfiles(bool state);
  void ProfilesCheclAllMenuClick() { CheckAllProfiles(true); }
  void ProfilesUnCheclAllMenuClick() { CheckAllProfiles(false); }

  ui::Panel* TabNetworkProfilesButtons;
  ui::Button* UpdateNet;
  ui::Button* RenameNet;
  ui::Button* DeleteNet;
  ui::Button* DeleteNetAll;
  ui::Edit* USERName;
  ui::Edit* ComputerName;
  ui::Panel* TabNetworkProfilesView;
  ui::ListView* ListViewNetworkProfiles;
  ui::StatusBar* StatusBarProfile;
  ui::PopupMenu* PopupMenuProfile;
  ui::MenuItem* EditProfilesMenu;
  ui::MenuItem* PublicMenu;
  ui::MenuItem* PrivateMenu;
  ui::MenuItem* RenameProfilesMenu;
  ui::MenuItem* N4;
  ui::MenuItem* ProfilesCheclAllMenu;
  ui::MenuItem* ProfilesUnCheclAllMenu;
  ui::MenuItem* N1;
  ui::MenuItem* DelSelectedProfilesMenu;
  ui::MenuItem* DelProfilesMenu;

 private:
  void LoadNetOnce();
  void DeleteSelectedProfile();
  void DeleteProfileKey(int row);
  void ShowProfileCount();
  bool AskDeleteAllProfiles();
  // Lets pending messages run between rows: after the first row of an operation and
  // then whenever a short interval has passed, so the list visibly grows or shrinks
  // and the window stays responsive without a repaint per row.
  // With `show_count` the status bar's count is brought up to date first.
  void LetProfilesRepaint(bool first, bool show_count = false);
  uint32_t profiles_last_repaint_ = 0;
  // A load or a delete walk is running: handlers that would change the list wait
  // for it, and a reload asked for meanwhile runs once the list is complete.
  bool profiles_busy_ = false;
  bool profiles_reload_pending_ = false;
};

}  // namespace profiles
