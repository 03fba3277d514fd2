// Language files on the real disk: the language submenu of the real general menu
// switches the real windows, and the start-up tidying leaves files it may not write
// byte for byte as they were.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "common/IniFile.h"
#include "platform/win32/Wide.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::win32::Narrow;
using platform::win32::Widen;
using win32_test::FindControl;

std::vector<char> ReadBytes(const std::wstring& path) {
  std::ifstream in(Narrow(path), std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(Narrow(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Through the wide API: a file name in any script.
void WriteBytesWide(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

// The running test program posing as a program installed in `folder`.
class ProgramInFolder : public platform::win32::Win32System {
 public:
  explicit ProgramInFolder(std::string folder) : folder_(std::move(folder)) {}
  std::string ProgramPath() override { return folder_ + "Velmora.exe"; }

 private:
  std::string folder_;
};

// ---- The menu, read and driven through the Win32 API while it is open ---------------

struct MenuEntry {
  std::wstring text;
  bool checked = false;
  HMENU submenu = nullptr;
};

std::vector<MenuEntry> ReadMenu(HMENU menu) {
  std::vector<MenuEntry> entries;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING | MIIM_STATE | MIIM_SUBMENU | MIIM_FTYPE;
    info.dwTypeData = text;
    info.cch = 255;
    GetMenuItemInfoW(menu, i, TRUE, &info);
    entries.push_back({text, (info.fState & MFS_CHECKED) != 0, info.hSubMenu});
  }
  return entries;
}

struct MenuScript {
  std::vector<MenuEntry> general;
  std::vector<MenuEntry> languages;
  std::vector<WPARAM> keys;  // pressed once the menu has been read; none: Esc
  std::wstring screenshot;
  // A picture of the whole screen with the language submenu open, then Esc.
  std::wstring submenu_screenshot;
  HWND menu_window = nullptr;
  RECT menu_rect{};     // where the general menu and the language submenu stood
  RECT submenu_rect{};
};
MenuScript* g_script = nullptr;

void Press(HWND menu_window, WPARAM key) {
  PostMessageW(menu_window, WM_KEYDOWN, key, 0);
  PostMessageW(menu_window, WM_KEYUP, key, 0xC0000000);
}

void CALLBACK PictureOfSubmenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (g_script) win32_test::SaveScreenshot(GetDesktopWindow(), g_script->submenu_screenshot);
  if (!g_script || !g_script->menu_window) return;
  GetWindowRect(g_script->menu_window, &g_script->menu_rect);
  for (HWND other = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); other;
       other = FindWindowExW(nullptr, other, L"#32768", nullptr))
    if (other != g_script->menu_window && IsWindowVisible(other)) GetWindowRect(other, &g_script->submenu_rect);
  Press(g_script->menu_window, VK_ESCAPE);
  Press(g_script->menu_window, VK_ESCAPE);
}

void CALLBACK ReadAndDriveMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND menu_window = FindWindowW(L"#32768", nullptr);
  if (!menu_window || !g_script) {
    EndMenu();
    return;
  }
  if (!g_script->screenshot.empty()) win32_test::SaveScreenshot(menu_window, g_script->screenshot);
  auto menu = reinterpret_cast<HMENU>(SendMessageW(menu_window, MN_GETHMENU, 0, 0));
  g_script->general = ReadMenu(menu);
  for (const MenuEntry& entry : g_script->general)
    if (entry.submenu && (entry.text == L"Язык" || entry.text == L"Language"))
      g_script->languages = ReadMenu(entry.submenu);
  g_script->menu_window = menu_window;
  if (!g_script->submenu_screenshot.empty()) {
    for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RIGHT}) Press(menu_window, key);
    SetTimer(nullptr, 0, 300, PictureOfSubmenu);
    return;
  }
  if (g_script->keys.empty()) g_script->keys.push_back(VK_ESCAPE);
  for (WPARAM key : g_script->keys) Press(menu_window, key);
}

// Menu order: Theme, Language, separator, Check for updates, separator, About.
// Down twice reaches "Language", Right opens it on its first item.
std::vector<WPARAM> ChooseLanguage(int index) {
  std::vector<WPARAM> keys = {VK_DOWN, VK_DOWN, VK_RIGHT};
  for (int i = 0; i < index; ++i) keys.push_back(VK_DOWN);
  keys.push_back(VK_RETURN);
  return keys;
}

struct LanguageWin32 : ::testing::Test {
  std::wstring folder;
  std::unique_ptr<ProgramInFolder> system;
  win32_test::RealPlatform real;
  std::unique_ptr<shell::Services> services;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  ui::Form* update = nullptr;
  ui::Form* about = nullptr;
  HWND window = nullptr;

  void SetUp() override {
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    folder = win32_test::ExeFolder() + L"language-test\\";
    RemoveTree(folder.substr(0, folder.size() - 1));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"Language").c_str(), nullptr));
    WriteBytes(folder + L"portable.ini", "");
    ASSERT_TRUE(CopyFileW(Widen(VELMORA_ENGLISH_FILE).c_str(), (folder + L"Language\\English.ini").c_str(), FALSE));
    WriteBytes(folder + L"Language\\Zz.ini",
               "\xEF\xBB\xBF[Language information]\r\nLANGNAME=Zz test\r\n[Velmora]\r\n"
               "Form1.ButtonDNS.Caption=Zz DNS\r\nForm1.ListViewDNS.Columns[0].Caption=Zz server\r\n");

    system = std::make_unique<ProgramInFolder>(Narrow(folder));
    services = std::make_unique<shell::Services>(shell::Services{real.registry, *system, real.versions, real.files,
                                                             real.processes, real.clock, real.wmi, real.echo,
                                                             real.http});
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(*services);
    update = application->CreateForm<app::TForm10>(*services);
    about = application->CreateForm<app::TForm8>(*services);
    form->CleanTranslationsLikeGlobload();
    form->LoadLanguage();
    form->globload();
    window = host->WindowOf(*form);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    win32_test::Pump();
  }
  void TearDown() override {
    g_script = nullptr;
    application.reset();
    host.reset();
    if (!folder.empty()) RemoveTree(folder.substr(0, folder.size() - 1));
  }

  MenuScript OpenGeneralMenu(std::vector<WPARAM> keys, std::wstring screenshot = L"",
                             std::wstring submenu_screenshot = L"") {
    MenuScript script;
    script.keys = std::move(keys);
    script.screenshot = std::move(screenshot);
    script.submenu_screenshot = std::move(submenu_screenshot);
    g_script = &script;
    form->WMMouseMove();  // a menu closed with Esc leaves the button's mark set
    SetTimer(nullptr, 0, 300, ReadAndDriveMenu);
    HWND button = FindControl(window, L"SpeedButton_GeneralMenu");
    EXPECT_NE(button, nullptr);
    SendMessageW(button, BM_CLICK, 0, 0);  // returns when the menu has closed and the choice has run
    win32_test::Pump();
    g_script = nullptr;
    return script;
  }
  std::wstring Text(const wchar_t* name) { return win32_test::ControlText(FindControl(window, name)); }
  std::wstring Header(const wchar_t* list_name, int column) {
    HWND list = FindControl(window, list_name);
    wchar_t text[128] = {};
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_TEXT;
    lvc.pszText = text;
    lvc.cchTextMax = 127;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&lvc));
    return text;
  }
  std::string Setting() {
    const std::vector<char> bytes = ReadBytes(folder + L"Config\\Option.ini");
    const std::string text(bytes.begin(), bytes.end());
    const size_t at = text.find("Language=");
    return at == std::string::npos ? "" : text.substr(at + 9, text.find('\r', at) - at - 9);
  }
};

TEST_F(LanguageWin32, SwitchingFromTheRealMenuRetranslatesTheRealWindows) {
  // The DNS page's windows are made when it is first shown.
  SendMessageW(FindControl(window, L"ButtonDNS"), BM_CLICK, 0, 0);
  EXPECT_EQ(Text(L"ButtonDNS"), L"Тест DNS");
  EXPECT_EQ(Header(L"ListViewDNS", 0), L"Имя сервера");

  MenuScript russian = OpenGeneralMenu({}, L"language-menu-russian");
  ASSERT_GE(russian.general.size(), 2u);
  EXPECT_EQ(russian.general[1].text, L"Язык");
  ASSERT_EQ(russian.languages.size(), 2u);
  // The display name stands in the menu's right-hand column; nothing is checked yet.
  EXPECT_EQ(russian.languages[0].text, L"English\tEnglish");
  EXPECT_EQ(russian.languages[1].text, L"Zz\tZz test");
  EXPECT_FALSE(russian.languages[0].checked || russian.languages[1].checked);

  OpenGeneralMenu(ChooseLanguage(0));
  EXPECT_EQ(Setting(), "English");
  EXPECT_EQ(Text(L"ButtonDNS"), L"DNS Test");
  EXPECT_EQ(Text(L"ButtonTestDNS"), L"Test DNS");
  EXPECT_EQ(Header(L"ListViewDNS", 0), L"Server name");
  EXPECT_EQ(Header(L"ListViewDNS", 3), L"Time 1");
  EXPECT_EQ(Text(L"GroupBoxDNScheck"), L"DNS check");
  MenuScript english = OpenGeneralMenu({}, L"general-menu-english", L"language-submenu-english");
  ASSERT_EQ(english.general.size(), 7u);
  EXPECT_EQ(english.general[0].text, L"Theme");
  EXPECT_EQ(english.general[1].text, L"Language");
  EXPECT_EQ(english.general[3].text, L"Check for updates");
  EXPECT_EQ(english.general[4].text, L"DNS benchmark by queries");
  EXPECT_EQ(english.general[6].text, L"About\tF1");
  ASSERT_EQ(english.languages.size(), 2u);
  EXPECT_TRUE(english.languages[0].checked);
  EXPECT_FALSE(english.languages[1].checked);

  // Pictures of every page in English.
  const std::pair<const wchar_t*, const wchar_t*> pages[] = {
      {L"ButtonProxy", L"english-adapter-page"},
      {L"ButtonDNS", L"english-dns-test-page"},
      {L"ButtonNetworkProfiles", L"english-profiles-page"},
      {L"ButtonUsefulCommands", L"english-useful-commands-page"}};
  for (const auto& [button, picture] : pages) {
    SendMessageW(FindControl(window, button), BM_CLICK, 0, 0);
    win32_test::Pump();
    win32_test::SaveScreenshot(window, picture);
  }
  EXPECT_EQ(Header(L"ListViewNetworkProfiles", 1), L"Name");
  EXPECT_EQ(Text(L"CheckBoxFlushDNS"), L"Flush DNS cache");

  // The other language: what it has replaces the English texts, the rest stays.
  OpenGeneralMenu(ChooseLanguage(1));
  EXPECT_EQ(Setting(), "Zz");
  EXPECT_EQ(Text(L"ButtonDNS"), L"Zz DNS");
  EXPECT_EQ(Header(L"ListViewDNS", 0), L"Zz server");
  EXPECT_EQ(Header(L"ListViewDNS", 3), L"Time 1");
  MenuScript zz = OpenGeneralMenu({});
  ASSERT_EQ(zz.languages.size(), 2u);
  EXPECT_FALSE(zz.languages[0].checked);
  EXPECT_TRUE(zz.languages[1].checked);

  // The other windows were translated too.
  EXPECT_EQ(update->Caption(), "Обновление Velmora");
  EXPECT_EQ(about->Caption(), "About");
}

// Menus open where the system would put them: with the main window at the screen's
// right edge, the styled language submenu opens to the left of the general menu.
TEST_F(LanguageWin32, TheStyledLanguageSubmenuStaysOnScreenAtTheRightEdge) {
  for (bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    if (dark)
      form->ThemeDarkClick();
    else
      form->ThemeLightClick();
    RECT r;
    GetWindowRect(window, &r);
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    SetWindowPos(window, nullptr, screen - (r.right - r.left), r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    win32_test::Pump();
    MenuScript script = OpenGeneralMenu({}, L"", dark ? L"language-submenu-right-edge-dark" : L"language-submenu-right-edge-light");
    ASSERT_GT(script.submenu_rect.right - script.submenu_rect.left, 0) << "the submenu opened";
    EXPECT_LE(script.submenu_rect.right, screen);
    EXPECT_GE(script.submenu_rect.left, 0);
    EXPECT_LE(script.submenu_rect.left, script.menu_rect.left) << "flipped to the left of the general menu";
  }
}

// Files named in any script the file system allows: chosen, the name is stored so
// that it reads back the same from the real settings file, the windows are
// retranslated, and read again (as at the next start) the item is checked.
TEST_F(LanguageWin32, AnyFileNameIsStoredReadBackAndCheckedAgain) {
  const char* names[] = {"Plain", "Русский язык", "日本語 🌐 ελληνικά", "  leading blanks", "'quoted'"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::wstring file = folder + L"Language\\" + Widen(name) + L".ini";
    WriteBytesWide(file, std::string("\xEF\xBB\xBF[Velmora]\r\nForm1.ButtonDNS.Caption=<") + name + ">\r\n");
    form->LoadLanguage();
    ui::MenuItem* item = nullptr;
    for (ui::MenuItem* candidate : form->LanguageMenu->Items())
      if (candidate->Caption().rfind(std::string(name) + "\t", 0) == 0) item = candidate;
    ASSERT_NE(item, nullptr);
    item->Click();
    EXPECT_EQ(Text(L"ButtonDNS"), L"<" + Widen(name) + L">");
    const auto settings = common::IniDocument::Load(real.files, Narrow(folder) + "Config\\Option.ini",
                                                    real.system.AnsiCodePage(), common::IniOptions::Settings());
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->ini.ReadString("Language", "Language", "<none>"), name);

    form->ButtonDNS->SetCaption("Тест DNS");
    form->LoadLanguage();
    form->globload();
    EXPECT_EQ(form->SelectedLanguage(), name);
    bool checked = false;
    for (ui::MenuItem* candidate : form->LanguageMenu->Items())
      if (candidate->Caption().rfind(std::string(name) + "\t", 0) == 0) checked = candidate->Checked();
    EXPECT_TRUE(checked);
    EXPECT_EQ(Text(L"ButtonDNS"), L"<" + Widen(name) + L">");
    DeleteFileW(file.c_str());
  }
}

// ---- The whole program at start-up ----------------------------------------------

TEST(LanguageFilesWin32, AReadOnlyFileAndAFileHeldOpenStayByteIdenticalAtStartUp) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  const std::wstring language = win32_test::ExeFolder() + L"Language\\";
  CreateDirectoryW(language.c_str(), nullptr);
  // Each holds entries the tidying would remove; only the plain one may change.
  const std::string body =
      "; by hand\r\n[Velmora]\r\nForm1.ButtonDNS.Caption=x\r\nForm1.NoSuchButton.Caption=y\r\nNoDot=z\r\n";
  const std::wstring read_only = language + L"TestReadOnly.ini";
  const std::wstring held = language + L"TestHeldOpen.ini";
  const std::wstring plain = language + L"TestPlain.ini";
  for (const std::wstring& path : {read_only, held, plain}) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteBytes(path, body);
  }
  ASSERT_TRUE(SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  win32_test::ProgramProcess program(win32_test::ExeFolder() + L"Velmora.exe");
  HWND main = program.WaitForMainWindow();
  ASSERT_NE(main, nullptr);
  CloseHandle(holder);

  const std::vector<char> plain_bytes = ReadBytes(plain);
  const std::string plain_after(plain_bytes.begin(), plain_bytes.end());
  EXPECT_EQ(plain_after, "; by hand\r\n[Velmora]\r\nForm1.ButtonDNS.Caption=x\r\n");
  const std::vector<char> expected(body.begin(), body.end());
  EXPECT_EQ(ReadBytes(read_only), expected);
  EXPECT_EQ(ReadBytes(held), expected);
  EXPECT_EQ(GetFileAttributesW(read_only.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});

  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.Wait(10000), WAIT_OBJECT_0);
  for (const std::wstring& path : {read_only, held, plain}) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
}

}  // namespace
