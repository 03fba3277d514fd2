// The about window: the program's icon, name and version as the main window's
// caption shows them, the legal notice of the executable and the maker's links.
#pragma once

#include <string>

#include "shell/Services.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Form.h"

namespace app {

// Where the about window's links lead (build settings).
struct AboutLinks {
  std::string messenger;
  std::string email1;
  std::string email2;
  std::string web_site;
  static AboutLinks FromBuild();
};

class TForm8 : public ui::Form {
 public:
  TForm8(ui::Application& app, shell::Services& services, AboutLinks links = AboutLinks::FromBuild());

  void FormCreate() override;
  void FormShow() override;
  void LabelTelegramClick();
  void LabelGMailClick();
  void LabelYaMailClick();
  void LabelMainWebSiteClick();
  void Button1Click();

  const AboutLinks& Links() const { return links_; }

  ui::Panel* TabControlBody;
  ui::Panel* TabControlButtons;
  ui::Label* LabelVersion;
  ui::Label* LabelCopyright;
  ui::Label* LabelTelegram;
  ui::Label* LabelGMail;
  ui::Label* LabelYaMail;
  ui::Label* LabelMainWebSite;
  ui::Image* Image1;
  ui::Button* Button1;

 private:
  void Open(const std::string& target);

  shell::Services& services_;
  AboutLinks links_;
};

}  // namespace app
