// A window whose DPI changes while it is open (moved to a monitor with another
// scale) lays itself out as a window started at that DPI: the same client size,
// control rectangles, font heights, button pictures and list columns.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "platform/win32/Wide.h"
#include "ui/win32/FormPeer.h"
#include "win32/MainWindowFixture.h"

namespace {

using platform::win32::Narrow;
using win32_test::ControlName;
using win32_test::Settle;

// What a window looks like, by control name: place in the window's client area,
// font height, picture size, column widths.
struct Layout {
  RECT client{};
  std::map<std::wstring, std::string> controls;
};

std::string Describe(HWND hwnd, HWND root) {
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(HWND_DESKTOP, root, reinterpret_cast<POINT*>(&r), 2);
  std::string out = std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
                    "x" + std::to_string(r.bottom - r.top);
  if (auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0))) {
    LOGFONTW lf{};
    GetObjectW(font, sizeof(lf), &lf);
    out += " font " + std::to_string(lf.lfHeight);
  }
  wchar_t cls[32] = {};
  GetClassNameW(hwnd, cls, 32);
  if (lstrcmpiW(cls, WC_BUTTONW) == 0) {
    BUTTON_IMAGELIST images{};
    if (SendMessageW(hwnd, BCM_GETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images)) && images.himl) {
      int cx = 0, cy = 0;
      ImageList_GetIconSize(images.himl, &cx, &cy);
      out += " picture " + std::to_string(cx) + "x" + std::to_string(cy) + " margin " + std::to_string(images.margin.top);
    }
  }
  if (lstrcmpiW(cls, WC_LISTVIEWW) == 0) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    out += " columns";
    for (int i = 0; i < columns; ++i) out += " " + std::to_string(SendMessageW(hwnd, LVM_GETCOLUMNWIDTH, i, 0));
  }
  return out;
}

Layout Record(HWND root) {
  Layout layout;
  GetClientRect(root, &layout.client);
  struct Walk {
    HWND root;
    Layout* layout;
  } walk{root, &layout};
  EnumChildWindows(
      root,
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* w = reinterpret_cast<Walk*>(lparam);
        std::wstring name = ControlName(hwnd);
        if (!name.empty()) w->layout->controls[name] = Describe(hwnd, w->root);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&walk));
  return layout;
}

// Sends what the system sends when the window's monitor has another scale: the new
// DPI and the rectangle it suggests (the client area scaled, at the same place).
void ChangeDpi(HWND hwnd, int from, int to) {
  RECT window, client;
  GetWindowRect(hwnd, &window);
  GetClientRect(hwnd, &client);
  RECT suggested{0, 0, MulDiv(client.right, to, from), MulDiv(client.bottom, to, from)};
  AdjustWindowRectEx(&suggested, GetWindowLongW(hwnd, GWL_STYLE), FALSE, GetWindowLongW(hwnd, GWL_EXSTYLE));
  OffsetRect(&suggested, window.left - suggested.left, window.top - suggested.top);
  SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
}

struct DpiWin32 : win32_test::MainWindowFixture {
  void TearDown() override {
    ui::win32::FormPeer::SetStartDpi(0);
    win32_test::MainWindowFixture::TearDown();
  }

  // Every page's controls made and the window shown, in the dark style (whose
  // painters draw at the window's DPI).
  std::map<std::string, Layout> OpenEverything(bool change_to_144) {
    form->ThemeDarkClick();
    host->PeerOf(*form)->Show();
    host->PeerOf(*update)->Show();
    Settle();
    std::map<std::string, Layout> seen;
    struct Page {
      const char* name;
      void (app::TForm1::*show)();
    };
    const Page pages[] = {{"proxy", &app::TForm1::ButtonProxyClick},
                          {"DNS test", &app::TForm1::ButtonDNSClick},
                          {"network profiles", &app::TForm1::ButtonNetworkProfilesClick},
                          {"useful commands", &app::TForm1::ButtonUsefulCommandsClick}};
    for (const Page& page : pages) (form->*page.show)();
    Settle();
    if (change_to_144) {
      ChangeDpi(window, 96, 144);
      ChangeDpi(host->WindowOf(*update), 96, 144);
      Settle();
    }
    for (const Page& page : pages) {
      (form->*page.show)();
      Settle();
      seen[page.name] = Record(window);
    }
    seen["update window"] = Record(host->WindowOf(*update));
    return seen;
  }
};

TEST_F(DpiWin32, AWindowMovedTo144LaysOutAsAWindowStartedAt144) {
  ASSERT_EQ(host->PeerOf(*form)->Dpi(), 96) << "the test prefix runs at 96 DPI";
  const std::map<std::string, Layout> moved = OpenEverything(true);
  EXPECT_EQ(host->PeerOf(*form)->Dpi(), 144);

  // The same program started at 144.
  TearDown();
  ui::win32::FormPeer::SetStartDpi(144);
  SetUp();
  ASSERT_EQ(host->PeerOf(*form)->Dpi(), 144);
  const std::map<std::string, Layout> started = OpenEverything(false);

  for (const auto& [what, layout] : started) {
    SCOPED_TRACE(what);
    const Layout& other = moved.at(what);
    EXPECT_EQ(other.client.right, layout.client.right);
    EXPECT_EQ(other.client.bottom, layout.client.bottom);
    EXPECT_GT(layout.controls.size(), 5u);
    for (const auto& [name, description] : layout.controls) {
      auto it = other.controls.find(name);
      ASSERT_NE(it, other.controls.end()) << Narrow(name);
      EXPECT_EQ(it->second, description) << Narrow(name);
    }
  }
  // And the scale did change things: a start at 144 is not the one at 96.
  EXPECT_NE(started.at("proxy").controls.at(L"ButtonProxy").find("picture 72x72"), std::string::npos)
      << started.at("proxy").controls.at(L"ButtonProxy");
}

}  // namespace
