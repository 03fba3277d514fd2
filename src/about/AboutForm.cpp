#include "about/AboutForm.h"

#include "build_settings.h"
#include "common/FileInfoUtils.h"

namespace app {

AboutLinks AboutLinks::FromBuild() {
  return {VELMORA_MESSENGER_URL, VELMORA_CONTACT_EMAIL_1, VELMORA_CONTACT_EMAIL_2, VELMORA_WEB_SITE};
}

namespace {

constexpr int kClientWidth = 334;
constexpr int kClientHeight = 161;
constexpr int kButtonStripHeight = 35;

}  // namespace

TForm8::TForm8(ui::Application& app, shell::Services& services, AboutLinks links)
    : ui::Form(app, "Form8"), services_(services), links_(std::move(links)) {
  SetCaption("О программе");
  SetClientSize(kClientWidth, kClientHeight);
  SetMinSize(350, 200);
  SetResizable(false);
  SetMaximizeBox(false);
  SetMinimizeBox(false);
  SetPosition(ui::Position::DesktopCenter);
  SetOwnTaskbarButton(true);
  SetRoundedCorners(true);

  TabControlButtons = Create<ui::Panel>(this, "TabControlButtons");
  TabControlButtons->SetAlign(ui::Align::Bottom);
  TabControlButtons->SetBounds({0, kClientHeight - kButtonStripHeight, kClientWidth, kButtonStripHeight});
  TabControlBody = Create<ui::Panel>(this, "TabControlBody");
  TabControlBody->SetAlign(ui::Align::Client);

  struct Line {
    ui::Label** field;
    const char* name;
    const char* caption;
    int height;
    void (TForm8::*click)();
  };
  const Line lines[] = {
      {&LabelVersion, "LabelVersion", "", 20, nullptr},
      {&LabelCopyright, "LabelCopyright", "", 17, nullptr},
      {&LabelTelegram, "LabelTelegram", "Telegram", 17, &TForm8::LabelTelegramClick},
      {&LabelGMail, "LabelGMail", links_.email1.c_str(), 17, &TForm8::LabelGMailClick},
      {&LabelYaMail, "LabelYaMail", links_.email2.c_str(), 17, &TForm8::LabelYaMailClick},
      {&LabelMainWebSite, "LabelMainWebSite", "Сайт основной", 17, &TForm8::LabelMainWebSiteClick},
  };
  int top = 0;
  for (const Line& line : lines) {
    ui::Label* label = Create<ui::Label>(TabControlBody, line.name);
    label->SetCaption(line.caption);
    label->SetAlign(ui::Align::Top);
    label->SetBounds({0, top, kClientWidth, line.height});
    label->SetCentered(true);
    if (line.click) {
      ui::Font link;
      link.underline = true;
      label->SetFont(link);
      label->SetCursor(ui::Cursor::HandPoint);
      auto click = line.click;
      label->OnClick = [this, click] { (this->*click)(); };
    }
    *line.field = label;
    top += line.height;
  }

  Image1 = Create<ui::Image>(TabControlBody, "Image1");
  Image1->SetBounds({12, 14, 32, 32});

  Button1 = Create<ui::Button>(TabControlButtons, "Button1");
  Button1->SetCaption("Ok");
  Button1->SetAlign(ui::Align::Client);
  ui::Font bold;
  bold.bold = true;
  Button1->SetFont(bold);
  Button1->OnClick = [this] { Button1Click(); };

  ApplyLayout();
}

void TForm8::FormCreate() {
  Image1->SetIconResource("MAINICON");
  // The legal notice is the executable's own and is never translated.
  LabelCopyright->SetCaption(common::GetLegalCopyright(services_.versions, services_.system.ProgramPath()));
}

void TForm8::FormShow() {
  if (ui::Form* main = App().MainForm()) LabelVersion->SetCaption(main->Caption());
}

void TForm8::Open(const std::string& target) {
  App().Host().ShellOpen(this, target);
  App().ProcessMessages();
}

void TForm8::LabelTelegramClick() { Open(links_.messenger); }
void TForm8::LabelGMailClick() { Open("mailto:" + links_.email1); }
void TForm8::LabelYaMailClick() { Open("mailto:" + links_.email2); }
void TForm8::LabelMainWebSiteClick() { Open(links_.web_site); }

void TForm8::Button1Click() { App().Host().CloseForm(*this); }

}  // namespace app
