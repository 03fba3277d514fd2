// The windows of a page are made the first time the page is shown, those of a
// window other than the main one when it is first shown; they then show the model
// as it is at that moment.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "platform/win32/Wide.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Win32Host.h"
#include "win32/RealPlatform.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::win32::Widen;
using win32_test::ControlName;
using win32_test::FindControl;

// Names of the visual components inside `parent`, sorted.
std::vector<std::wstring> ModelNames(const ui::Component& parent) {
  std::vector<std::wstring> names;
  for (const ui::Component* child : parent.Children()) {
    if (!child->IsVisual()) continue;
    names.push_back(Widen(child->Name()));
    for (const std::wstring& name : ModelNames(*child)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Names carried by the windows inside `parent`, sorted; a name twice is kept twice.
std::vector<std::wstring> WindowNames(HWND parent) {
  std::vector<std::wstring> names;
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        std::wstring name = ControlName(hwnd);
        if (!name.empty()) reinterpret_cast<std::vector<std::wstring>*>(lparam)->push_back(name);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&names));
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring Text(HWND hwnd) { return win32_test::ControlText(hwnd); }

struct MainWindowPages : ::testing::Test {
  win32_test::RealPlatform real;
  std::unique_ptr<ui::win32::Win32Host> host;
  std::unique_ptr<ui::Application> application;
  app::TForm1* form = nullptr;
  HWND window = nullptr;

  void SetUp() override {
    ASSERT_TRUE(win32_test::HaveDisplay()) << "the GUI tests run under Xvfb";
    host = std::make_unique<ui::win32::Win32Host>();
    application = std::make_unique<ui::Application>(*host);
    application->SetTitle("Velmora");
    form = application->CreateForm<app::TForm1>(real.services);
    window = host->WindowOf(*form);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    application.reset();
    host.reset();
  }
};

TEST_F(MainWindowPages, PagesNotShownYetHaveNoControlWindowsUntilTheirButtonIsClicked) {
  struct Page {
    ui::TabSheet* sheet;
    ui::Button* button;
  };
  const Page hidden[] = {{form->TabTestDNS, form->ButtonDNS},
                         {form->TabNetworkProfiles, form->ButtonNetworkProfiles},
                         {form->TabUsefulCommands, form->ButtonUsefulCommands}};

  auto check_unopened = [&](const char* when) {
    for (const Page& page : hidden) {
      HWND sheet = FindControl(window, Widen(page.sheet->Name()));
      ASSERT_NE(sheet, nullptr) << page.sheet->Name() << " " << when;
      EXPECT_EQ(GetWindow(sheet, GW_CHILD), nullptr) << page.sheet->Name() << " " << when;
      for (const std::wstring& name : ModelNames(*page.sheet))
        EXPECT_EQ(FindControl(window, name), nullptr) << when;
    }
  };
  check_unopened("after start-up");
  // The page shown at start has all its controls.
  HWND proxy = FindControl(window, L"TabProxy");
  ASSERT_FALSE(ModelNames(*form->TabProxy).empty());
  EXPECT_EQ(WindowNames(proxy), ModelNames(*form->TabProxy));

  host->PeerOf(*form)->Show();
  win32_test::Pump();
  check_unopened("after the window is shown");

  std::map<std::wstring, HWND> first_windows;
  for (const Page& page : hidden) {
    SCOPED_TRACE(page.sheet->Name());
    SendMessageW(FindControl(window, Widen(page.button->Name())), BM_CLICK, 0, 0);
    win32_test::Pump();
    ASSERT_EQ(form->PageControl->ActivePage(), page.sheet);
    HWND sheet = FindControl(window, Widen(page.sheet->Name()));
    EXPECT_TRUE(IsWindowVisible(sheet));
    const std::vector<std::wstring> expected = ModelNames(*page.sheet);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(WindowNames(sheet), expected);
    for (const std::wstring& name : expected) first_windows[name] = FindControl(sheet, name);
    win32_test::SaveScreenshot(window, L"page-" + Widen(page.sheet->Name()));
  }

  // Going back and forth keeps the windows made the first time.
  for (const wchar_t* button : {L"ButtonProxy", L"ButtonDNS", L"ButtonNetworkProfiles", L"ButtonUsefulCommands"}) {
    SendMessageW(FindControl(window, button), BM_CLICK, 0, 0);
    win32_test::Pump();
  }
  for (const auto& [name, hwnd] : first_windows) EXPECT_EQ(FindControl(window, name), hwnd) << name;
  EXPECT_EQ(WindowNames(proxy), ModelNames(*form->TabProxy));
}

// A window with a page that is not shown at first; its controls are changed in
// the model before the page is shown.
struct LatePageWindow : ui::Form {
  explicit LatePageWindow(ui::Application& app) : ui::Form(app, "FormLatePage") {
    SetClientSize(500, 400);
    pages = Create<ui::PageControl>(this, "Pages");
    pages->SetBounds({0, 0, 500, 400});
    first = Create<ui::TabSheet>(pages, "PageFirst");
    first->SetBounds({0, 0, 500, 400});
    first_label = Create<ui::Label>(first, "LabelFirst");
    first_label->SetBounds({10, 10, 100, 16});
    late = Create<ui::TabSheet>(pages, "PageLate");
    late->SetBounds({0, 0, 500, 400});
    group = Create<ui::GroupBox>(late, "GroupLate");
    group->SetBounds({5, 5, 490, 120});
    edit = Create<ui::Edit>(group, "EditLate");
    edit->SetBounds({10, 20, 150, 21});
    check = Create<ui::CheckBox>(group, "CheckLate");
    check->SetBounds({170, 20, 150, 17});
    combo = Create<ui::ComboBox>(group, "ComboLate");
    combo->SetBounds({10, 50, 150, 21});
    label = Create<ui::Label>(group, "LabelLate");
    label->SetBounds({170, 50, 150, 16});
    button = Create<ui::Button>(group, "ButtonLate");
    button->SetBounds({330, 20, 75, 25});
    panel = Create<ui::Panel>(group, "PanelLate");
    panel->SetBounds({10, 80, 300, 30});
    inner = Create<ui::Edit>(panel, "EditInPanel");
    inner->SetBounds({0, 0, 100, 21});
    busy = Create<ui::ActivityIndicator>(group, "BusyLate");
    busy->SetBounds({330, 80, 100, 16});
    list = Create<ui::ListView>(late, "ListLate");
    list->SetCheckBoxes(true);
    list->SetBounds({5, 130, 300, 150});
    memo = Create<ui::Memo>(late, "MemoLate");
    memo->SetBounds({310, 130, 185, 150});
    status = Create<ui::StatusBar>(late, "StatusLate");
    status->SetBounds({0, 380, 500, 20});
    pages->SetActivePage(first);
  }
  ui::PageControl* pages;
  ui::TabSheet* first;
  ui::Label* first_label;
  ui::TabSheet* late;
  ui::GroupBox* group;
  ui::Edit* edit;
  ui::CheckBox* check;
  ui::ComboBox* combo;
  ui::Label* label;
  ui::Button* button;
  ui::Panel* panel;
  ui::Edit* inner;
  ui::ActivityIndicator* busy;
  ui::ListView* list;
  ui::Memo* memo;
  ui::StatusBar* status;
};

TEST(LatePageWin32, ControlsMadeWhenThePageIsFirstShownAgreeWithTheModelAsItIsThen) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  ui::win32::Win32Host host;
  ui::Application app(host);
  auto* form = app.CreateForm<LatePageWindow>();
  HWND window = host.WindowOf(*form);
  ASSERT_NE(window, nullptr);
  HWND late = FindControl(window, L"PageLate");
  ASSERT_NE(late, nullptr);
  // Until the window shows, no page counts as shown.
  EXPECT_EQ(GetWindow(FindControl(window, L"PageFirst"), GW_CHILD), nullptr);
  host.PeerOf(*form)->Show();
  win32_test::Pump();
  EXPECT_NE(FindControl(window, L"LabelFirst"), nullptr);
  EXPECT_EQ(GetWindow(late, GW_CHILD), nullptr);

  // Changes made while the page has no windows.
  form->edit->SetText("changed text");
  form->edit->SetReadOnly(true);
  form->edit->SetFont(ui::Font{"Tahoma", -13, true, true});
  form->edit->SetHint("the edit's hint");
  form->check->SetChecked(true);
  form->combo->SetItems({"Alpha", "Beta", "Gamma"});
  form->combo->SetItemIndex(2);
  form->label->SetCaption("New caption");
  form->button->SetVisible(false);
  form->panel->SetEnabled(false);
  form->busy->SetAnimate(true);
  form->list->SetColumns({{"Name", 100}, {"Address", 100}, {"Note", 80}});
  form->list->AddRow({"one", {"10.0.0.1", "first"}, false});
  form->list->AddRow({"two", {"10.0.0.2", "second"}, true});
  form->list->AddRow({"three", {"10.0.0.3", "third"}, false});
  form->list->SetSelected(2);
  form->memo->SetLines({"line 1", "line 2"});
  form->memo->Append("line 3");
  form->status->SetSimpleText("Rows: 3");
  EXPECT_EQ(host.WindowOf(*form->edit), nullptr);

  form->pages->SetActivePage(form->late);
  // Read back at once: nothing may wait for pending messages to run.
  EXPECT_TRUE(IsWindowVisible(late));
  EXPECT_EQ(WindowNames(late), ModelNames(*form->late));

  HWND edit = FindControl(late, L"EditLate");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(Text(edit), L"changed text");
  EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  EXPECT_GE(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfItalic);
  EXPECT_EQ(lf.lfHeight, -13);
  EXPECT_EQ(win32_test::TooltipText(window, edit), L"the edit's hint");

  EXPECT_EQ(SendMessageW(FindControl(late, L"CheckLate"), BM_GETCHECK, 0, 0), BST_CHECKED);
  HWND combo = FindControl(late, L"ComboLate");
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Text(combo), L"Gamma");
  EXPECT_EQ(Text(FindControl(late, L"LabelLate")), L"New caption");
  EXPECT_FALSE(GetWindowLongW(FindControl(late, L"ButtonLate"), GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(GetWindowLongW(FindControl(late, L"CheckLate"), GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(IsWindowEnabled(FindControl(late, L"PanelLate")));
  EXPECT_FALSE(IsWindowEnabled(FindControl(late, L"EditInPanel"))) << "inside a disabled panel";
  EXPECT_TRUE(IsWindowEnabled(edit));
  EXPECT_TRUE(GetWindowLongW(FindControl(late, L"BusyLate"), GWL_STYLE) & WS_VISIBLE) << "it animates";

  HWND list = FindControl(late, L"ListLate");
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 3);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(win32_test::ListCellText(list, 0, 0), L"one");
  EXPECT_EQ(win32_test::ListCellText(list, 1, 1), L"10.0.0.2");
  EXPECT_EQ(win32_test::ListCellText(list, 2, 2), L"third");
  for (int row = 0; row < 3; ++row) EXPECT_EQ(ListView_GetCheckState(list, row) != 0, row == 1) << row;
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
  EXPECT_EQ(form->list->Selected(), 2) << "making the rows did not move the model's selection";

  EXPECT_EQ(Text(FindControl(late, L"MemoLate")), L"line 1\r\nline 2\r\nline 3");
  HWND status = FindControl(late, L"StatusLate");
  wchar_t status_text[64] = L"";
  ASSERT_TRUE(SendMessageW(status, SB_ISSIMPLE, 0, 0));
  SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status_text));
  EXPECT_STREQ(status_text, L"Rows: 3");

  // From now on the windows follow the model as usual.
  form->memo->Append("line 4");
  form->list->SetChecked(0, true);
  EXPECT_EQ(Text(FindControl(late, L"MemoLate")), L"line 1\r\nline 2\r\nline 3\r\nline 4");
  EXPECT_TRUE(ListView_GetCheckState(list, 0));
  win32_test::SaveScreenshot(window, L"late-page");
}

struct MainOfTwo : ui::Form {
  explicit MainOfTwo(ui::Application& app) : ui::Form(app, "FormMain") {
    SetClientSize(300, 100);
    Create<ui::Label>(this, "LabelMain")->SetBounds({10, 10, 100, 16});
  }
};

struct SecondWindow : ui::Form {
  explicit SecondWindow(ui::Application& app) : ui::Form(app, "FormSecond") {
    SetCaption("Second");
    SetClientSize(200, 100);
    edit = Create<ui::Edit>(this, "EditSecond");
    edit->SetBounds({10, 10, 150, 21});
  }
  ui::Edit* edit;
};

TEST(LateFormWin32, AWindowOtherThanTheMainOneIsMadeWhenFirstShown) {
  ASSERT_TRUE(win32_test::HaveDisplay());
  ui::win32::Win32Host host;
  ui::Application app(host);
  auto* main = app.CreateForm<MainOfTwo>();
  auto* second = app.CreateForm<SecondWindow>();
  ASSERT_NE(host.WindowOf(*main), nullptr);
  EXPECT_NE(FindControl(host.WindowOf(*main), L"LabelMain"), nullptr);
  EXPECT_EQ(host.WindowOf(*second), nullptr);
  EXPECT_EQ(host.WindowOf(*second->edit), nullptr);

  second->SetCaption("Second window");
  second->SetClientSize(240, 120);
  second->edit->SetText("typed before");
  host.PeerOf(*second)->Show();
  win32_test::Pump();
  HWND window = host.WindowOf(*second);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(Text(window), L"Second window");
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 240);
  EXPECT_EQ(client.bottom, 120);
  HWND edit = FindControl(window, L"EditSecond");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(Text(edit), L"typed before");

  // Hidden and shown again: the same window.
  host.PeerOf(*second)->Hide();
  EXPECT_FALSE(IsWindowVisible(window));
  host.PeerOf(*second)->Show();
  EXPECT_EQ(host.WindowOf(*second), window);
  EXPECT_EQ(FindControl(window, L"EditSecond"), edit);
}

}  // namespace
