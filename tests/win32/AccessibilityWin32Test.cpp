// What a screen reader learns of the program through the system's accessibility
// interface: a name for every control the keyboard reaches, the state of progress and
// busy indicators, and word of a status line's new text.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "dnsbench/DnsBenchForm.h"
#include "platform/win32/Win32DnsTransport.h"
#include "platform/win32/Wide.h"
#include "ui/win32/FormPeer.h"
#include "win32/MainWindowFixture.h"

namespace {

using platform::win32::Narrow;
using win32_test::FindControl;
using win32_test::Pump;
using win32_test::Settle;

// IID_IAccessible, spelled out: the import libraries at hand define it twice.
constexpr IID kIAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The window's accessible object, as a screen reader gets it.
struct Accessible {
  IAccessible* object = nullptr;
  explicit Accessible(HWND hwnd) {
    AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), kIAccessible,
                               reinterpret_cast<void**>(&object));
  }
  ~Accessible() {
    if (object) object->Release();
  }
  Accessible(const Accessible&) = delete;
  Accessible& operator=(const Accessible&) = delete;

  static VARIANT Self() {
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
  }
  std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) const {
    if (!object) return L"<no accessible object>";
    BSTR text = nullptr;
    if (FAILED((object->*get)(Self(), &text)) || !text) return {};
    std::wstring out(text, SysStringLen(text));
    SysFreeString(text);
    return out;
  }
  std::wstring Name() const { return Text(&IAccessible::get_accName); }
  std::wstring Value() const { return Text(&IAccessible::get_accValue); }
  long State() const {
    VARIANT state;
    VariantInit(&state);
    if (!object || FAILED(object->get_accState(Self(), &state)) || state.vt != VT_I4) return -1;
    return state.lVal;
  }
};

// A name says something: it has a letter or a digit, not only a sign such as "≡".
bool Meaningful(const std::wstring& name) {
  for (wchar_t c : name)
    if (IsCharAlphaNumericW(c)) return true;
  return false;
}

std::vector<HWND> TabStops(HWND root) {
  std::vector<HWND> stops;
  EnumChildWindows(
      root,
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        if ((GetWindowLongW(hwnd, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(hwnd))
          reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&stops));
  return stops;
}

struct AccessibilityWin32 : win32_test::MainWindowFixture {
  platform::win32::Win32DnsTransport transport;
  platform::win32::Win32Clipboard clipboard;
  std::unique_ptr<dnsbench::BenchPlatform> bench_platform;
  dnsbench::TFormDnsBench* bench = nullptr;

  void SetUp() override {
    win32_test::MainWindowFixture::SetUp();
    if (HasFatalFailure()) return;
    bench_platform = std::make_unique<dnsbench::BenchPlatform>(
        dnsbench::BenchPlatform{transport, real.clock, clipboard, dnsbench::Options{}});
    bench = application->CreateForm<dnsbench::TFormDnsBench>(form->Adapter(), form->DnsTest(), *bench_platform);
    host->PeerOf(*form)->Show();
    Settle();
  }

  void CheckNames(HWND root) {
    std::vector<HWND> stops = TabStops(root);
    ASSERT_FALSE(stops.empty());
    for (HWND h : stops) {
      std::wstring name = Accessible(h).Name();
      EXPECT_TRUE(Meaningful(name)) << Narrow(win32_test::ControlName(h)) << " is called \"" << Narrow(name)
                                    << "\"";
    }
  }
};

TEST_F(AccessibilityWin32, EveryControlTheKeyboardReachesHasAName) {
  for (ui::Button* nav : {form->ButtonProxy, form->ButtonDNS, form->ButtonNetworkProfiles, form->ButtonUsefulCommands}) {
    SCOPED_TRACE(nav->Name());
    nav->Click();
    Settle();
    CheckNames(window);
  }
  for (ui::Form* other : std::vector<ui::Form*>{update, about, bench}) {
    SCOPED_TRACE(other->Name());
    host->PeerOf(*other)->Show();
    Settle();
    CheckNames(host->WindowOf(*other));
    host->PeerOf(*other)->Hide();
  }
}

TEST_F(AccessibilityWin32, OwnerDrawnAndLabelledControlsAreCalledWhatTheyDo) {
  // The menu button shows only a sign; it is the general menu. A navigation button is
  // named by its page.
  EXPECT_EQ(Accessible(FindControl(window, L"SpeedButton_GeneralMenu")).Name(), L"Общее меню");
  EXPECT_EQ(Accessible(host->WindowOf(*form->ButtonDNS)).Name(), L"Тест DNS");
  // An edit named by the label on its left: the label's text, not the edit's.
  form->ButtonProxyClick();
  Settle();
  int labelled = 0;
  for (ui::Component* c : form->Components()) {
    if (c->GetKind() != ui::Kind::Edit || !host->WindowOf(*c) || !IsWindowVisible(host->WindowOf(*c))) continue;
    std::wstring name = Accessible(host->WindowOf(*c)).Name();
    EXPECT_NE(name, win32_test::ControlText(host->WindowOf(*c))) << c->Name();
    ++labelled;
  }
  EXPECT_GT(labelled, 0) << "the proxy page has edits";
}

// A window of its own with what no window of the program shows at once.
struct IndicatorsForm : ui::Form {
  ui::Label* label;
  ui::Edit* edit;
  ui::ProgressBar* progress;
  ui::ActivityIndicator* busy;
  ui::StatusBar* status;
  explicit IndicatorsForm(ui::Application& app) : ui::Form(app, "IndicatorsForm") {
    SetClientSize(300, 140);
    label = Create<ui::Label>(this, "LabelServer");
    label->SetCaption("&Сервер:");
    label->SetBounds({8, 10, 60, 16});
    edit = Create<ui::Edit>(this, "EditServer");
    edit->SetBounds({8, 30, 200, 22});  // below its label, not beside it
    edit->SetText("127.0.0.1");
    label->SetFocusControl(edit);
    progress = Create<ui::ProgressBar>(this, "ProgressRun");
    progress->SetBounds({8, 60, 200, 16});
    progress->SetMax(60);
    progress->SetPosition(30);
    busy = Create<ui::ActivityIndicator>(this, "Busy");
    busy->SetBounds({220, 60, 20, 20});
    busy->SetVisible(true);
    status = Create<ui::StatusBar>(this, "StatusLine");
    status->SetBounds({0, 120, 300, 19});
  }
};

// Events a screen reader would hear, kept by the hook below.
std::vector<std::pair<DWORD, HWND>> g_events;
void CALLBACK KeepEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
  if (object == OBJID_CLIENT && child == CHILDID_SELF) g_events.emplace_back(event, hwnd);
}

TEST_F(AccessibilityWin32, IndicatorsTellTheirStateAndAStatusLineAnnouncesItsText) {
  auto* f = application->CreateForm<IndicatorsForm>();
  host->PeerOf(*f)->Show();
  Settle();
  EXPECT_EQ(Accessible(host->WindowOf(*f->edit)).Name(), L"Сервер") << "the label that names the edit";

  Accessible progress(host->WindowOf(*f->progress));
  EXPECT_EQ(progress.Value(), L"50%");
  f->progress->SetPosition(60);
  EXPECT_EQ(progress.Value(), L"100%");

  f->busy->SetAnimate(true);
  Settle();
  Accessible busy(host->WindowOf(*f->busy));
  ASSERT_NE(busy.State(), -1);
  EXPECT_TRUE(busy.State() & STATE_SYSTEM_BUSY);
  f->busy->SetAnimate(false);
  EXPECT_FALSE(busy.State() & STATE_SYSTEM_BUSY);

  g_events.clear();
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr, KeepEvent,
                                       GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  HWND line = host->WindowOf(*f->status);
  f->status->SetSimpleText("Готово");
  Settle();
  // Empty again, with the hint left for the finished run: the hint is announced.
  f->status->SetSimpleText("");
  f->status->SetHint("Проверка завершена");
  Settle();
  UnhookWinEvent(hook);
  int heard = 0;
  for (const auto& [event, hwnd] : g_events)
    if (hwnd == line) ++heard;
  EXPECT_EQ(heard, 2);
  EXPECT_EQ(Accessible(line).Name(), L"Проверка завершена");
}

}  // namespace
