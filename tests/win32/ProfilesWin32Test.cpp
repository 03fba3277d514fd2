// The profiles page on real windows over the real registry of the prefix: profiles
// seeded by the test are listed, renamed and deleted in the 64-bit view.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>

#include "app/MainForm.h"
#include "platform/win32/Wide.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::RegRoot;
using platform::win32::Narrow;
using platform::win32::Widen;
using win32_test::FindControl;

constexpr char kProfiles[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkList\\Profiles";
constexpr uint32_t kFull64 = platform::reg_access::kAllAccess | platform::reg_access::kWow64_64Key;

// Real windows, with the question and input boxes answered from a script.
class ScriptedHost : public ui::win32::Win32Host {
 public:
  std::deque<int> box_answers;
  std::deque<std::optional<std::string>> input_answers;
  std::vector<std::string> boxes;

  int ShowMessageBox(ui::Form*, const std::string& text, const std::string&, unsigned) override {
    boxes.push_back(text);
    int answer = box_answers.empty() ? ui::kIdOk : box_answers.front();
    if (!box_answers.empty()) box_answers.pop_front();
    return answer;
  }
  bool InputQuery(const std::string&, const std::string&, std::string& value) override {
    if (input_answers.empty() || !input_answers.front()) {
      if (!input_answers.empty()) input_answers.pop_front();
      return false;
    }
    value = *input_answers.front();
    input_answers.pop_front();
    return true;
  }
};

struct Seeded {
  const char* guid;
  const char* name;
  const char* description;
  uint32_t category;
};

// Sorted apart from anything else in the prefix, in this order.
const Seeded kSeeded[] = {
    {"{5EED0000-0000-4000-8000-000000000001}", "Дом", "Домашняя сеть", 1},
    {"{5EED0000-0000-4000-8000-000000000002}", "My Network 2", "Office Wi-Fi", 0},
    {"{5EED0000-0000-4000-8000-000000000003}", "corp.example", "Domain network", 2},
};

std::wstring WindowText(HWND hwnd) {
  wchar_t text[256] = L"";
  GetWindowTextW(hwnd, text, 256);
  return text;
}

bool KeyIn64BitView(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

struct ProfilesWin32 : ::testing::Test {
  win32_test::RealPlatform real;
  std::unique_ptr<ScriptedHost> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  HWND window = nullptr;
  HWND list = nullptr;
  std::vector<std::string> seeded_keys;
  bool created_profiles_key = false;

  static std::string KeyOf(const std::string& guid) { return std::string(kProfiles) + "\\" + guid; }

  void Seed(const std::string& guid, const std::string& name, const std::string& description, uint32_t category) {
    auto key = real.registry.Open(RegRoot::LocalMachine, KeyOf(guid), kFull64, true);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->WriteString("ProfileName", name));
    ASSERT_TRUE(key->WriteString("Description", description));
    ASSERT_TRUE(key->WriteDWord("Category", category));
    seeded_keys.push_back(KeyOf(guid));
  }

  void SetUp() override {
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    created_profiles_key = !KeyIn64BitView(kProfiles);
    for (const Seeded& s : kSeeded) Seed(s.guid, s.name, s.description, s.category);
    host = std::make_unique<ScriptedHost>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(real.services);
    window = host->WindowOf(*form);
    ASSERT_NE(window, nullptr);
    host->PeerOf(*form)->Show();
    win32_test::Pump();
    SendMessageW(FindControl(window, L"ButtonNetworkProfiles"), BM_CLICK, 0, 0);
    win32_test::Pump();
    // The page's controls have windows once it has been shown.
    list = FindControl(window, L"ListViewNetworkProfiles");
    ASSERT_NE(list, nullptr);
  }
  void TearDown() override {
    application.reset();
    host.reset();
    for (const std::string& key : seeded_keys) real.registry.DeleteKey(RegRoot::LocalMachine, key, KEY_WOW64_64KEY);
    if (created_profiles_key) real.registry.DeleteKey(RegRoot::LocalMachine, kProfiles, KEY_WOW64_64KEY);
  }

  // The control's row that shows a seeded profile's key (by the model's hidden path).
  int RowOf(const std::string& guid) const {
    const auto& rows = form->Profiles().ListViewNetworkProfiles->Rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (const std::string& path = rows[i].sub_items.at(4); path.size() > 1 && path[0] == '\\' &&
                                                             path.compare(1, std::string::npos, KeyOf(guid)) == 0)
        return static_cast<int>(i);
    return -1;
  }
  // As the user selects a row with the mouse.
  void SelectRow(int row) {
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    win32_test::Pump();
  }
  void Press(const wchar_t* button) {
    SendMessageW(FindControl(window, button), BM_CLICK, 0, 0);
    win32_test::Pump();
  }
};

TEST_F(ProfilesWin32, ThePageListsTheSeededProfilesAndTheSystemsNames) {
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  ASSERT_EQ(count, static_cast<int>(form->Profiles().ListViewNetworkProfiles->Rows().size()));
  int first = RowOf(kSeeded[0].guid);
  ASSERT_GE(first, 0);
  for (int i = 0; i < 3; ++i) {
    int row = first + i;
    ASSERT_EQ(RowOf(kSeeded[i].guid), row);
    wchar_t number[8];
    swprintf(number, 8, L"%.2u", static_cast<unsigned>(row + 1));
    EXPECT_EQ(win32_test::ListCellText(list, row, 0), number);
    EXPECT_EQ(win32_test::ListCellText(list, row, 1), Widen(kSeeded[i].name));
    EXPECT_EQ(win32_test::ListCellText(list, row, 2), Widen(kSeeded[i].description));
    EXPECT_FALSE(ListView_GetCheckState(list, row));
  }
  EXPECT_EQ(win32_test::ListCellText(list, first, 3), L"Частная");
  EXPECT_EQ(win32_test::ListCellText(list, first + 1, 3), L"Общедоступная");
  EXPECT_EQ(win32_test::ListCellText(list, first + 2, 3), L"");
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 0);
  EXPECT_TRUE(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);

  HWND status = FindControl(window, L"StatusBarProfile");
  wchar_t text[64] = L"";
  ASSERT_TRUE(SendMessageW(status, SB_ISSIMPLE, 0, 0));
  SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));  // the simple text in simple mode
  EXPECT_EQ(std::wstring(text), L"Элементов:  " + std::to_wstring(count));

  wchar_t user[256];
  DWORD user_size = 256;
  ASSERT_TRUE(GetUserNameW(user, &user_size));
  wchar_t host_name[256];
  DWORD host_size = 256;
  ASSERT_TRUE(GetComputerNameExW(ComputerNameDnsHostname, host_name, &host_size));
  HWND user_box = FindControl(window, L"USERName");
  HWND computer_box = FindControl(window, L"ComputerName");
  EXPECT_EQ(WindowText(user_box), user);
  EXPECT_EQ(WindowText(computer_box), host_name);
  EXPECT_FALSE(WindowText(computer_box).empty());
  for (HWND box : {user_box, computer_box}) {
    LONG style = GetWindowLongW(box, GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_CENTER);
  }

  win32_test::SaveScreenshot(window, L"profiles-page");
}

TEST_F(ProfilesWin32, ColumnsKeepTheirWidthLimits) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 50);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 200) << "the page leaves less, so the minimum";
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0), 150);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 3, 0), 150);
  struct Case {
    int column, width, expected;
  } cases[] = {{0, 80, 50}, {0, 20, 50}, {1, 120, 200}, {1, 260, 260}, {2, 100, 150}, {3, 180, 180}};
  for (const Case& c : cases) {
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    item.cxy = c.width;
    SendMessageW(header, HDM_SETITEMW, c.column, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, c.column, 0), c.expected) << c.column << " " << c.width;
  }
}

TEST_F(ProfilesWin32, RenameWritesTheNameIntoTheProfilesKey) {
  int row = RowOf(kSeeded[2].guid);
  ASSERT_GE(row, 0);
  SelectRow(row);
  EXPECT_EQ(form->Profiles().ListViewNetworkProfiles->Selected(), row);
  host->input_answers = {std::string("Корпоративная сеть")};
  Press(L"RenameNet");
  auto key = real.registry.Open(RegRoot::LocalMachine, KeyOf(kSeeded[2].guid),
                                platform::reg_access::kRead | platform::reg_access::kWow64_64Key, false);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ReadString("ProfileName").value_or("<none>"), "Корпоративная сеть");
  EXPECT_EQ(key->ReadDWord("Category").value_or(99), 2u) << "the rest of the profile is untouched";
  EXPECT_EQ(win32_test::ListCellText(list, row, 1), L"Корпоративная сеть");
  EXPECT_TRUE(host->boxes.empty());
}

TEST_F(ProfilesWin32, DeleteRemovesTheKeyInThe64BitView) {
  int row = RowOf(kSeeded[1].guid);
  ASSERT_GE(row, 0);
  const int before = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  SelectRow(row);
  host->box_answers = {ui::kIdYes};
  Press(L"DeleteNet");
  ASSERT_EQ(host->boxes.size(), 1u);
  EXPECT_EQ(host->boxes[0], "Удалить [ My Network 2 ] ?");
  EXPECT_FALSE(KeyIn64BitView(KeyOf(kSeeded[1].guid)));
  EXPECT_TRUE(KeyIn64BitView(KeyOf(kSeeded[0].guid)));
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), before - 1);
  EXPECT_EQ(RowOf(kSeeded[1].guid), -1);
}

TEST_F(ProfilesWin32, MarksSetFromTheMenuReachTheControlAndDeleteMarkedUsesThem) {
  form->Profiles().ProfilesCheclAllMenu->Click();
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) EXPECT_TRUE(ListView_GetCheckState(list, i)) << i;
  form->Profiles().ProfilesUnCheclAllMenu->Click();
  // The user ticks the first and the last seeded profile in the control.
  ASSERT_TRUE(win32_test::ClickListCheckBox(list, RowOf(kSeeded[0].guid)));
  ASSERT_TRUE(win32_test::ClickListCheckBox(list, RowOf(kSeeded[2].guid)));
  win32_test::Pump();
  host->box_answers = {ui::kIdYes};
  form->Profiles().DelSelectedProfilesMenu->Click();
  win32_test::Pump();
  EXPECT_FALSE(KeyIn64BitView(KeyOf(kSeeded[0].guid)));
  EXPECT_TRUE(KeyIn64BitView(KeyOf(kSeeded[1].guid)));
  EXPECT_FALSE(KeyIn64BitView(KeyOf(kSeeded[2].guid)));
  for (int i = 0; i < static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); ++i)
    EXPECT_FALSE(ListView_GetCheckState(list, i)) << "the rebuilt list has no marks";
}

// While the list's menu is open, a timer reads its entries and closes it.
std::vector<std::wstring> g_menu_entries;
void CALLBACK ReadAndCloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  HWND menu_window = FindWindowW(L"#32768", nullptr);
  if (menu_window) {
    win32_test::SaveScreenshot(menu_window, L"profiles-menu");
    auto menu = reinterpret_cast<HMENU>(SendMessageW(menu_window, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[64] = L"";
      MENUITEMINFOW info{};
      info.cbSize = sizeof(info);
      info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
      info.dwTypeData = text;
      info.cch = 64;
      GetMenuItemInfoW(menu, i, TRUE, &info);
      g_menu_entries.push_back((info.fType & MFT_SEPARATOR) ? L"-" : info.hSubMenu ? L"submenu" : text);
    }
  }
  EndMenu();
}

TEST_F(ProfilesWin32, ARightClickOpensTheListsMenuWithoutTheChangeProfileEntry) {
  g_menu_entries.clear();
  SetTimer(nullptr, 0, 300, ReadAndCloseMenu);
  RECT r{};
  r.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
  POINT at{r.left + 60, (r.top + r.bottom) / 2};
  ClientToScreen(list, &at);
  // What the list sends its parent after a right click; returns when the menu closed.
  SendMessageW(GetParent(list), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(at.x, at.y));
  EXPECT_EQ(g_menu_entries, (std::vector<std::wstring>{L"Переименовать", L"-", L"Выбрать все", L"Исключить все",
                                                       L"-", L"Удалить отмеченные", L"Удалить"}));
}

TEST_F(ProfilesWin32, TwoThousandProfilesLoadAndGoWithoutQuadraticWork) {
  auto seed_bulk = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      char guid[48];
      std::snprintf(guid, sizeof guid, "{5EED1111-0000-4000-8000-%012d}", i);
      Seed(guid, "Bulk " + std::to_string(i), "", static_cast<uint32_t>(i % 3));
    }
  };
  // The best of a few refreshes, so a busy machine disturbs the comparison less.
  auto timed_refresh = [&](int times) {
    double best = 1e9;
    for (int i = 0; i < times; ++i) {
      auto start = std::chrono::steady_clock::now();
      Press(L"UpdateNet");
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
  };
  // Ten times the rows may take about ten times as long, not a hundred times.
  seed_bulk(0, 200);
  const double small = timed_refresh(3);
  seed_bulk(200, 2000);
  const double large = timed_refresh(2);
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  EXPECT_GE(count, 2003);
  EXPECT_EQ(win32_test::ListCellText(list, count - 1, 0), std::to_wstring(count));
  std::printf("loaded 200 profiles in %.2f s, %d in %.2f s\n", small, count, large);
  EXPECT_LT(large, 25 * small + 2.0);
  EXPECT_LT(large, 30.0);

  // The user keeps the first seeded profile (and anything else the prefix holds)
  // and deletes the marked rest.
  form->Profiles().ProfilesCheclAllMenu->Click();
  int foreign = 0;
  for (int i = 0; i < count; ++i) {
    if (form->Profiles().ListViewNetworkProfiles->Rows()[i].sub_items.at(4).find("{5EED") != std::string::npos) continue;
    ASSERT_TRUE(win32_test::ClickListCheckBox(list, i));  // unticks it
    ++foreign;
  }
  ASSERT_TRUE(win32_test::ClickListCheckBox(list, RowOf(kSeeded[0].guid)));
  ASSERT_FALSE(ListView_GetCheckState(list, RowOf(kSeeded[0].guid)));
  win32_test::Pump();
  host->box_answers = {ui::kIdYes};
  auto start = std::chrono::steady_clock::now();
  form->Profiles().DelSelectedProfilesMenu->Click();
  win32_test::Pump();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("deleted %d marked profiles in %.2f s\n", count - 1 - foreign, seconds);
  EXPECT_LT(seconds, 30.0);
  EXPECT_TRUE(KeyIn64BitView(KeyOf(kSeeded[0].guid)));
  EXPECT_FALSE(KeyIn64BitView(KeyOf(kSeeded[1].guid)));
  EXPECT_FALSE(KeyIn64BitView(KeyOf("{5EED1111-0000-4000-8000-000000001999}")));
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1 + foreign);
}

}  // namespace
