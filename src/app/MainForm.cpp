#include "app/MainForm.h"

#include "shell/Catalogue.h"
#include "common/FileInfoUtils.h"
#include "dnstest/DnsList.h"
#include "theme/WindowsDarkMode.h"

namespace app {

const char* BitnessMark() { return sizeof(void*) == 8 ? "(64-bit)" : "(32-bit)"; }

namespace {

constexpr int kNavButtonSize = 100;
constexpr int kNavPictureTopMargin = 20;

ui::Font NavFont(bool small) {
  ui::Font font;
  if (small) font.height = -10;
  return font;
}

}  // namespace

TForm1::TForm1(ui::Application& app, shell::Services& services) : ui::Form(app, "Form1"), services_(services) {
  time_separator_ = services.system.TimeSeparator();
  theme::RegisterStyles(app.Styles());
  CreateComponents();
}

void TForm1::CreateComponents() {
  SetCaption("Velmora");
  SetClientSize(684, 511);
  SetMinSize(627, 540);
  SetResizable(false);
  SetMaximizeBox(false);
  SetPosition(ui::Position::DesktopCenter);
  SetDoubleBuffered(true);

  ImageList3 = CreateNonVisual<ui::ImageList>("ImageList3", 48, 48, "NAVIGATION_PICTURES");

  TabControlNetwork1 = Create<ui::Panel>(this, "TabControlNetwork1");
  TabControlNetwork1->SetAlign(ui::Align::Top);
  TabControlNetwork1->SetBounds({0, 0, 684, 32});
  SpeedButton_GeneralMenu = Create<ui::SpeedButton>(TabControlNetwork1, "SpeedButton_GeneralMenu");
  SpeedButton_GeneralMenu->SetCaption("≡");
  SpeedButton_GeneralMenu->SetBounds({684 - 22 - 6, 5, 22, 22});
  SpeedButton_GeneralMenu->SetFont(ui::Font{"Tahoma", -21});
  SpeedButton_GeneralMenu->SetCursor(ui::Cursor::HandPoint);
  SpeedButton_GeneralMenu->OnClick = [this] { SpeedButton_GeneralMenuClick(); };
  // What screen readers and the tooltip call the button: its caption is only a sign.
  SpeedButton_GeneralMenu->SetHint("Общее меню");
  // The menu key opens the menu also when a menu closed with Esc left the button's
  // mark set (the mouse clears it by moving over the window; the keyboard cannot).
  OnMenuKey = [this] {
    general_menu_open_ = false;
    SpeedButton_GeneralMenuClick();
  };

  TabControlPanelNetwork = Create<ui::Panel>(this, "TabControlPanelNetwork");
  TabControlPanelNetwork->SetAlign(ui::Align::Left);
  TabControlPanelNetwork->SetBounds({0, 32, 108, 479});
  struct Nav {
    ui::Button** field;
    const char* name;
    const char* caption;
    int picture;
    bool small_font;
    void (TForm1::*handler)();
  };
  const Nav navs[] = {
      {&ButtonProxy, "ButtonProxy", "Proxy", 11, false, &TForm1::ButtonProxyClick},
      {&ButtonDNS, "ButtonDNS", "Тест DNS", 12, true, &TForm1::ButtonDNSClick},
      {&ButtonNetworkProfiles, "ButtonNetworkProfiles", "Сетевые профили", 9, true,
       &TForm1::ButtonNetworkProfilesClick},
      {&ButtonUsefulCommands, "ButtonUsefulCommands", "Полезные команды", 10, true,
       &TForm1::ButtonUsefulCommandsClick},
  };
  int top = 4;
  for (const Nav& nav : navs) {
    ui::Button* button = Create<ui::Button>(TabControlPanelNetwork, nav.name);
    button->SetCaption(nav.caption);
    button->SetBounds({4, top, kNavButtonSize, kNavButtonSize});
    button->SetImage(ImageList3, nav.picture, kNavPictureTopMargin);
    button->SetCursor(ui::Cursor::HandPoint);
    if (nav.small_font) button->SetFont(NavFont(true));
    auto handler = nav.handler;
    button->OnClick = [this, handler] { (this->*handler)(); };
    *nav.field = button;
    top += kNavButtonSize;
  }

  PageControl = Create<ui::PageControl>(this, "PageControl");
  PageControl->SetAlign(ui::Align::Client);
  PageControl->SetTabsAtBottom(true);

  // The pages fill their sheets in the order the window has always created them.
  TabUsefulCommands = Create<ui::TabSheet>(PageControl, "TabUsefulCommands");
  TabUsefulCommands->SetCaption("Com");
  commands_ = std::make_unique<repair::UsefulCommandsPage>(*this, *TabUsefulCommands);
  TabNetworkProfiles = Create<ui::TabSheet>(PageControl, "TabNetworkProfiles");
  TabNetworkProfiles->SetCaption("Profile");
  TabNetworkProfiles->OnShow = [this] { TabNetworkProfilesShow(); };
  profiles_ = std::make_unique<profiles::ProfilesPage>(*this, *TabNetworkProfiles);
  TabProxy = Create<ui::TabSheet>(PageControl, "TabProxy");
  TabProxy->SetCaption("Proxy");
  adapter_ = std::make_unique<adapter::AdapterPage>(*this, *TabProxy);
  proxy_ = std::make_unique<proxy::ProxyBand>(*this, *TabProxy);
  adapter_->Connect(*proxy_);
  proxy_->Connect(*adapter_);
  dns_check_ = std::make_unique<dnstest::DnsCheckGroup>(*this, *TabProxy, *adapter_);
  TabTestDNS = Create<ui::TabSheet>(PageControl, "TabTestDNS");
  TabTestDNS->SetCaption("TestDNS");
  dns_test_ = std::make_unique<dnstest::DnsTestPage>(*this, *TabTestDNS, *adapter_, *dns_check_);
  PageControl->SetActivePageIndex(0);

  PopupMenu_General = CreateNonVisual<ui::PopupMenu>("PopupMenu_General");
  PopupMenu_General->SetAutoPopup(false);
  PopupMenu_General->SetRightAligned(true);
  ThemeMenu = Create<ui::MenuItem>(PopupMenu_General, "ThemeMenu");
  ThemeMenu->SetCaption("Тема");
  auto theme_item = [this](const char* name, const char* caption, void (TForm1::*handler)()) {
    ui::MenuItem* item = Create<ui::MenuItem>(ThemeMenu, name);
    item->SetCaption(caption);
    item->SetRadioItem(true);
    item->SetAutoCheck(true);
    item->OnClick = [this, handler] { (this->*handler)(); };
    return item;
  };
  ThemeAuto = theme_item("ThemeAuto", "Системная", &TForm1::ThemeAutoClick);
  ThemeLight = theme_item("ThemeLight", "Светлая", &TForm1::ThemeLightClick);
  ThemeDark = theme_item("ThemeDark", "Темная", &TForm1::ThemeDarkClick);
  ThemeAuto->SetChecked(true);
  ThemeHighContrastNote = Create<ui::MenuItem>(ThemeMenu, "ThemeHighContrastNote");
  ThemeHighContrastNote->SetCaption("Включена высокая контрастность: действуют цвета системы");
  ThemeHighContrastNote->SetEnabled(false);
  ThemeHighContrastNote->SetVisible(false);
  LanguageMenu = Create<ui::MenuItem>(PopupMenu_General, "LanguageMenu");
  LanguageMenu->SetCaption("Язык");
  MenuItem2 = Create<ui::MenuItem>(PopupMenu_General, "MenuItem2");
  MenuItem2->SetCaption("-");
  CheckUpdateMenu = Create<ui::MenuItem>(PopupMenu_General, "CheckUpdateMenu");
  CheckUpdateMenu->SetCaption("Проверить обновления");
  CheckUpdateMenu->OnClick = [this] { CheckUpdateMenuClick(); };
  DnsBenchMenu = Create<ui::MenuItem>(PopupMenu_General, "DnsBenchMenu");
  DnsBenchMenu->SetCaption("Тест DNS-серверов запросами");
  DnsBenchMenu->OnClick = [this] { DnsBenchMenuClick(); };
  // The change history, where there is a journal to show.
  if (services_.journal) {
    ChangesMenu = Create<ui::MenuItem>(PopupMenu_General, "ChangesMenu");
    ChangesMenu->SetCaption("Журнал изменений");
    ChangesMenu->OnClick = [this] { ChangesMenuClick(); };
  }
  MenuItem3 = Create<ui::MenuItem>(PopupMenu_General, "MenuItem3");
  MenuItem3->SetCaption("-");
  AboutMenu = Create<ui::MenuItem>(PopupMenu_General, "AboutMenu");
  AboutMenu->SetCaption("О программе");
  AboutMenu->SetShortCut("F1");
  AboutMenu->OnClick = [this] { AboutMenuClick(); };
  AddWindowShortCut(AboutMenu);

  PopupMenuLanguage = CreateNonVisual<ui::PopupMenu>("PopupMenuLanguage");
  PopupMenuLanguage->SetAutoPopup(false);
  shell::CreateCatalogue(*this, *PopupMenuLanguage);

  languages_ = std::make_unique<i18n::Localization>(i18n::Localization::Setup{
      App(), services_.files, services_.system.AnsiCodePage(), ProgramFolder(),
      [this] { return PortablePath(); }, LanguageMenu,
      [this](ui::Component* sender) { LanguageItemClick(sender); }});

  ApplyLayout();
  ShowHighContrast();
}

std::string TForm1::ProgramFolder() {
  std::string path = services_.system.ProgramPath();
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void TForm1::FormCreate() {
  portable_ = services_.system.FileExists(ProgramFolder() + "portable.ini");

  std::string caption = Caption() + " " +
                        common::GetFileVersion(services_.versions, services_.system.ProgramPath()) +
                        " " + BitnessMark();
  if (portable_) caption += " Portable";
  SetCaption(caption);

  ClearPingLabels();
  // The DNS list file is read once for the table, the drop-down and its first choice.
  std::optional<dnstest::SharedDnsListReading> dns_list_reading;
  dns_list_reading.emplace();
  // A DNS list that cannot be read is reported, once for both views; the window
  // opens regardless.
  bool list_reported = false;
  App().Guard([this, &list_reported] {
    try {
      LoadFiltersReload();
    } catch (...) {
      list_reported = true;
      throw;
    }
  });
  App().ProcessMessages();
  LoadNastr();
  App().ProcessMessages();
  LoadNetworkCards();
  App().ProcessMessages();
  // The card's refresh starts with its WMI query, whose first run costs more than
  // making the whole window: it runs once the window has been painted (at once on a
  // host that paints nothing), and swallows its own errors as before.
  App().Host().AfterFirstPaint(*this, [this] {
    UpdateNETOption();
    App().ProcessMessages();
  });
  App().Guard([this, list_reported] {
    try {
      LoadDNS(PortablePathDNS());
      ComboBoxDNSChange();
    } catch (...) {
      if (!list_reported) throw;
    }
  });
  dns_list_reading.reset();
  App().ProcessMessages();

  for (ui::TabSheet* page : {TabNetworkProfiles, TabUsefulCommands, TabProxy, TabTestDNS})
    page->SetTabVisible(false);
  ApplyLayout();

  PageControl->SetActivePage(TabProxy);
  ButtonProxyClick();
  App().ProcessMessages();
}

void TForm1::FormClose() {
  SaveNastr();
  App().ProcessMessages();
}

void TForm1::Navigate(ui::Button* selected, int page_index) {
  PageControl->SetActivePageIndex(page_index);
  for (ui::Button* button : {ButtonProxy, ButtonDNS, ButtonNetworkProfiles, ButtonUsefulCommands})
    button->SetBold(button == selected);
  App().ProcessMessages();
}

void TForm1::ButtonUsefulCommandsClick() { Navigate(ButtonUsefulCommands, 0); }

void TForm1::ButtonNetworkProfilesClick() {
  // Showing the page reloads the list through its show event; pressing the button
  // while the page is already shown reloads it too, once per press.
  bool already_shown = PageControl->ActivePage() == TabNetworkProfiles;
  Navigate(ButtonNetworkProfiles, 1);
  if (already_shown) TabNetworkProfilesShow();
}

void TForm1::ButtonProxyClick() { Navigate(ButtonProxy, 2); }

void TForm1::SetNavigationEnabled(bool enabled) { TabControlPanelNetwork->SetEnabled(enabled); }

void TForm1::ClearPingLabels() { dns_check_->ClearPingLabels(); }
void TForm1::LoadFiltersReload() { dns_test_->LoadFiltersReload(); }
void TForm1::LoadNetworkCards() { adapter_->LoadNetworkCards(); }
void TForm1::UpdateNETOption() { proxy_->UpdateNETOption(); }
void TForm1::LoadDNS(const std::string& path) { dns_check_->LoadDNS(path); }
void TForm1::ComboBoxDNSChange() { dns_check_->ComboBoxDNSChange(); }
void TForm1::TabNetworkProfilesShow() { profiles_->TabNetworkProfilesShow(); }

std::optional<platform::HttpProxy> TForm1::SystemProxyFor(std::string_view scheme) {
  return proxy::SystemProxyFor(services_.registry, scheme);
}
void TForm1::ButtonDNSClick() { Navigate(ButtonDNS, 3); }

void TForm1::SpeedButton_GeneralMenuClick() {
  if (general_menu_open_) {
    general_menu_open_ = false;
    App().Host().EndMenu();
    App().ProcessMessages();
    return;
  }
  general_menu_open_ = true;
  App().ProcessMessages();
  const ui::Rect& b = SpeedButton_GeneralMenu->Bounds();
  ui::Point corner = App().Host().ClientToScreen(*SpeedButton_GeneralMenu->Parent(),
                                                 {b.left + b.width, b.top + b.height});
  App().Host().Popup(*PopupMenu_General, corner);
}

void TForm1::CheckUpdateMenuClick() {
  general_menu_open_ = false;
  if (ui::Form* form = App().FindForm("Form10")) App().ShowModal(*form);
}

void TForm1::DnsBenchMenuClick() {
  general_menu_open_ = false;
  if (ui::Form* form = App().FindForm("FormDnsBench")) App().ShowModal(*form);
}

void TForm1::ChangesMenuClick() {
  general_menu_open_ = false;
  if (ui::Form* form = App().FindForm("FormChanges")) App().ShowModal(*form);
}

void TForm1::AboutMenuClick() {
  general_menu_open_ = false;
  if (ui::Form* form = App().FindForm("Form8")) App().ShowModal(*form);
}

void TForm1::CleanTranslationsLikeGlobload() { languages_->CleanTranslationsLikeGlobload(); }
void TForm1::LoadLanguage() { languages_->LoadLanguage(); }
void TForm1::globload() { languages_->globload(); }
void TForm1::LanguageItemClick(ui::Component* sender) {
  general_menu_open_ = false;
  languages_->LanguageItemClick(sender);
}
bool TForm1::IsFileWritable(const std::string& path) { return languages_->IsFileWritable(path); }
const std::string& TForm1::SelectedLanguage() const { return languages_->SelectedLanguage(); }

bool TForm1::IsWindows10Or11() {
  platform::OsVersion v = services_.system.GetOsVersion();
  return v.major == 10 && v.build > 10239;
}

}  // namespace app
