// The windows of one form: makes the form's window, walks the component tree to make
// a control peer (and its window) per visual component, and hands each model change
// and each notification to the peer of the component it concerns. The windows of a
// page of a page control are made when that page is first shown, and those of a form
// made without them when the form is first shown.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/Controls.h"
#include "ui/Form.h"
#include "ui/win32/ControlPeer.h"

namespace ui::win32 {

class Win32Host;

// Shows the progress on the window's taskbar button (TaskbarProgress.cpp).
void ShowTaskbarProgress(HWND hwnd, const Form::TaskbarProgress& progress);

class FormPeer : public ComponentObserver {
 public:
  // Window class of the panels and pages: their messages reach the form peer.
  static constexpr wchar_t kContainerClass[] = L"VelmoraContainer";

  // `make_windows`: make the windows now, else when the form is first shown.
  FormPeer(Win32Host& host, Form& form, bool make_windows = true);
  ~FormPeer() override;
  FormPeer(const FormPeer&) = delete;
  FormPeer& operator=(const FormPeer&) = delete;

  // Null until the windows are made.
  HWND Window() const { return hwnd_; }
  // The window of a component; null while it has none (a page not shown yet).
  HWND WindowOf(const Component& component) const;
  Component* ComponentOf(HWND hwnd) const;
  Form& GetForm() const { return form_; }
  Win32Host& Host() const { return host_; }

  void ComponentChanged(Component& component, Change change) override;

  // Shows the window (centred the first time when the form asks for it).
  void Show();
  // Runs `fn` from the message loop once the window and every child in it have been
  // painted for the first time; at once when that has happened.
  void AfterFirstPaint(std::function<void()> fn);
  void Hide();
  bool Closed() const { return closed_; }
  void ResetClosed() { closed_ = false; }
  void SetModal(bool modal) { modal_ = modal; }
  void Destroy();

  // The window moved to a monitor with another DPI, or the scale changed: the window
  // takes the system's suggested rectangle and every control, font, picture and
  // column is made again at the new DPI, as a start at that DPI makes them.
  void DpiChanged(int dpi, const RECT& suggested);
  int Dpi() const { return dpi_; }
  // The DPI windows start at; 0 (the default) reads the screen's. Lets a test start
  // windows as a monitor with another scale would.
  static void SetStartDpi(int dpi);

  // Messages of the form and of every container inside it.
  LRESULT HandleContainerMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, bool* handled);

  // What the control peers share.
  int Scale(int value) const { return MulDiv(value, dpi_, 96); }
  HFONT FontFor(const Font& font);
  // Makes the windows of the children of `parent` (and of theirs) inside parent_hwnd.
  void CreateChildren(Component& parent, HWND parent_hwnd);
  // Records a window that a control peer made: its name property and control id,
  // and the peer that answers for it.
  void AddWindow(HWND hwnd, ControlPeer& peer);
  // A further window of a peer (a page control's tab row): its notifications go to
  // the peer.
  void AddHelperWindow(HWND hwnd, ControlPeer& peer) { by_window_[hwnd] = &peer; }
  ControlPeer* PeerOf(const Component& component) const;
  // The component's hint as a tooltip over its window.
  void SyncHint(Component& component, HWND hwnd);
  // The font of a component and of every child without a font of its own.
  void ApplyFont(Component& component);
  // The enabled state of a component and of every window inside it.
  void SyncEnabled(Component& component);
  // Runs peer.EndHeldChanges() when pending messages next run.
  void HoldUntilIdle(ControlPeer& peer);
  // The windows that Tab visits, in reading order: every shown, enabled window with
  // WS_TABSTOP, the children of a container after the container's place, rows top to
  // bottom and each row left to right.
  std::vector<HWND> TabOrder() const;
  // The window of `tab_order` that holds `focus` (itself or a parent of it); -1: none.
  static int TabIndexOf(const std::vector<HWND>& tab_order, HWND focus);

  // What screen readers call a control whose window text is not its name: the label
  // that names it (its focus control), else the label just left of it or just above
  // it, else its hint, else the caption of the group box or page around it; a table
  // without any of these is named by its window's title.
  std::wstring AccessibleName(const Component& component) const;

  // False while the form's first windows are made: no page counts as shown before
  // the form itself is shown or a page is chosen.
  bool PagesOpen() const { return pages_open_; }

 private:
  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static void RegisterClasses();
  void MakeWindows();
  void Name(HWND hwnd, const Component& component);
  void SyncForm(Change change);
  void EndHeldChanges();
  void CollectTabStops(const Component& parent, std::vector<HWND>& out) const;

  Win32Host& host_;
  Form& form_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  std::unordered_map<const Component*, std::unique_ptr<ControlPeer>> peers_;
  std::unordered_map<HWND, ControlPeer*> by_window_;
  std::map<std::string, HFONT> fonts_;
  std::vector<ATOM> atoms_;
  // Peers with changes held until pending messages run, in the order they asked.
  std::vector<ControlPeer*> held_;
  bool held_posted_ = false;
  // Control ids start above the dialog manager's IDOK, IDCANCEL and the others, so
  // that its Enter and Esc never click a control of ours by accident.
  int next_id_ = 100;
  bool windows_made_ = false;
  bool pages_open_ = false;
  bool closed_ = false;
  bool modal_ = false;
  bool shown_once_ = false;
  bool painted_once_ = false;
  std::vector<std::function<void()>> after_first_paint_;
  int dpi_ = 96;
  bool taking_suggested_ = false;
};

}  // namespace ui::win32
