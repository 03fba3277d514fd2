// Page controls and their pages. Each page is a container window of its own; only
// the active one shows. A page's controls get their windows the first time the page
// is shown, so the windows of pages never opened are never made. The optional tab
// row is a tab control along the top or bottom edge.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/win32/ControlPeer.h"
#include "ui/win32/FormPeer.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

constexpr int kTabRowHeight = 24;

class TabSheetPeer : public ContainerWindowPeer {
 public:
  using ContainerWindowPeer::ContainerWindowPeer;

  bool CreatesChildrenWhenShown() const override { return true; }

  // Makes the windows of the page's controls, once.
  void Open() {
    if (open_) return;
    open_ = true;
    form_.CreateChildren(component_, hwnd_);
  }

 protected:
  bool ShownNow() const override { return component_.Visible() && Sheet().Pages()->ActivePage() == &Sheet(); }
  void SyncText() override;
  void SyncVisible() override;

 private:
  TabSheet& Sheet() const { return static_cast<TabSheet&>(component_); }

  bool open_ = false;
};

class PageControlPeer : public ContainerWindowPeer {
 public:
  using ContainerWindowPeer::ContainerWindowPeer;

  void Sync(Change change) override {
    switch (change) {
      case Change::ActivePage:
        ShowActivePage();
        break;
      case Change::TabVisible:
        SyncPages();
        break;
      case Change::Bounds:
        ContainerWindowPeer::Sync(change);
        SyncPages();
        break;
      default:
        ContainerWindowPeer::Sync(change);
        break;
    }
  }

  LRESULT OnNotify(NMHDR& header) override {
    if (header.code != TCN_SELCHANGE || header.hwndFrom != tab_row_) return 0;
    int position = TabCtrl_GetCurSel(tab_row_);
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (SendMessageW(tab_row_, TCM_GETITEMW, position, reinterpret_cast<LPARAM>(&item)))
      Guard([pages = &Pages(), index = static_cast<int>(item.lParam)] { pages->SetActivePageIndex(index); });
    return 0;
  }

  // The pages exist: the active one shows; inside a page that is being shown it
  // gets its controls at once, otherwise when the form is first shown.
  void ChildrenCreated() override {
    if (form_.PagesOpen())
      ShowActivePage();
    else
      SyncPages();
  }
  void FormShowing() override { OpenActivePage(); }
  void DpiChanged() override {
    ContainerWindowPeer::DpiChanged();
    if (tab_row_) SendMessageW(tab_row_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.FontFor(Pages().GetFont())), FALSE);
    SyncPages();
  }

  // The page that shows now gets its controls (if it has none yet), then shows.
  void ShowActivePage() {
    OpenActivePage();
    SyncPages();
  }

  // Shows the active page, hides the others, and lays out the tab row.
  void SyncPages() {
    for (TabSheet* page : Pages().Pages())
      if (HWND page_hwnd = form_.WindowOf(*page))
        ShowWindow(page_hwnd, page == Pages().ActivePage() && page->Visible() ? SW_SHOWNA : SW_HIDE);

    bool any_tab = false;
    for (TabSheet* page : Pages().Pages()) any_tab = any_tab || page->TabVisible();
    if (!any_tab) {
      if (tab_row_) ShowWindow(tab_row_, SW_HIDE);
      return;
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    int height = Scale(kTabRowHeight);
    int top = Pages().TabsAtBottom() ? client.bottom - height : 0;
    if (!tab_row_) {
      tab_row_ = CreateWindowExW(0, WC_TABCONTROLW, L"",
                                 WS_CHILD | WS_CLIPSIBLINGS | (Pages().TabsAtBottom() ? TCS_BOTTOM : 0), 0, top,
                                 client.right, height, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
      SendMessageW(tab_row_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.FontFor(Pages().GetFont())), FALSE);
      form_.AddHelperWindow(tab_row_, *this);
    }
    MoveWindow(tab_row_, 0, top, client.right, height, TRUE);
    TabCtrl_DeleteAllItems(tab_row_);
    int position = 0, selected = -1;
    for (TabSheet* page : Pages().Pages()) {
      if (!page->TabVisible()) continue;
      std::wstring caption = Widen(page->Caption());
      TCITEMW item{};
      item.mask = TCIF_TEXT | TCIF_PARAM;
      item.pszText = caption.data();
      item.lParam = page->PageIndex();
      SendMessageW(tab_row_, TCM_INSERTITEMW, position, reinterpret_cast<LPARAM>(&item));
      if (page == Pages().ActivePage()) selected = position;
      ++position;
    }
    TabCtrl_SetCurSel(tab_row_, selected);
    ShowWindow(tab_row_, SW_SHOWNA);
  }

 protected:
  void SyncText() override {}  // the pages' captions are in the tab row

 private:
  PageControl& Pages() const { return static_cast<PageControl&>(component_); }

  void OpenActivePage() {
    TabSheet* page = Pages().ActivePage();
    if (!page || !page->Visible()) return;
    if (auto* sheet = static_cast<TabSheetPeer*>(form_.PeerOf(*page)); sheet && sheet->Window()) sheet->Open();
  }

  HWND tab_row_ = nullptr;
};

PageControlPeer* PeerOfPages(FormPeer& form, const TabSheet& sheet) {
  return static_cast<PageControlPeer*>(form.PeerOf(*sheet.Pages()));
}

void TabSheetPeer::SyncText() {
  ContainerWindowPeer::SyncText();
  if (PageControlPeer* pages = PeerOfPages(form_, Sheet())) pages->SyncPages();
}

void TabSheetPeer::SyncVisible() {
  if (PageControlPeer* pages = PeerOfPages(form_, Sheet())) pages->ShowActivePage();
}

}  // namespace

std::unique_ptr<ControlPeer> MakePageControlPeer(FormPeer& form, Component& component) {
  return std::make_unique<PageControlPeer>(form, component);
}

std::unique_ptr<ControlPeer> MakeTabSheetPeer(FormPeer& form, Component& component) {
  return std::make_unique<TabSheetPeer>(form, component);
}

}  // namespace ui::win32
