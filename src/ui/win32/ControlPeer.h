// The window of one component: each control kind (or small family of kinds) has its
// own peer that knows the window class and styles, mirrors the model's changes onto
// the window and turns the window's notifications into model changes and handler
// calls. The form peer makes a control peer when the component's window is made and
// hands it every change and notification of that window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/Controls.h"

namespace ui::win32 {

class FormPeer;

// What CreateWindowEx is called with.
struct CreateParams {
  const wchar_t* window_class = nullptr;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex_style = 0;
  std::wstring text;
};

class ControlPeer {
 public:
  ControlPeer(FormPeer& form, Component& component) : form_(form), component_(component) {}
  virtual ~ControlPeer() = default;
  ControlPeer(const ControlPeer&) = delete;
  ControlPeer& operator=(const ControlPeer&) = delete;

  Component& GetComponent() const { return component_; }
  HWND Window() const { return hwnd_; }

  // Makes the window inside `parent` in agreement with the model as it is now:
  // text, state, items, font, hint, enabled and visible. False when it failed.
  bool Create(HWND parent);

  // Mirrors one change of the model onto the window.
  virtual void Sync(Change change);

  // Notifications of the window, sent to its parent and passed on by the form peer.
  virtual void OnCommand(int /*code*/) {}
  virtual LRESULT OnNotify(NMHDR& /*header*/) { return 0; }
  // A right click or the menu key over the window; true when a menu opened.
  virtual bool OnContextMenu(POINT /*screen*/) { return false; }
  virtual void OnDrawItem(const DRAWITEMSTRUCT& /*item*/) {}

  // The window's DPI changed: place, font and whatever else was scaled at creation
  // are made again at the new DPI (FormPeer::Scale already answers with it).
  virtual void DpiChanged();

  // Changes held back until pending messages run (see FormPeer::HoldUntilIdle).
  virtual void EndHeldChanges() {}

  // Whether the children of the component get their windows only when it is first
  // shown (the pages of a page control); the form peer then leaves them alone.
  virtual bool CreatesChildrenWhenShown() const { return false; }
  // The windows of the component's children have been made.
  virtual void ChildrenCreated() {}
  // The form is about to be shown: windows that wait for being shown are made now.
  virtual void FormShowing() {}

 protected:
  // Window class, styles and text of the new window; WS_VISIBLE and WS_DISABLED are
  // added from the model.
  virtual void Describe(CreateParams& params) = 0;
  // Puts onto the new window what creation cannot carry: items, rows, pictures,
  // subclasses.
  virtual void Fill() {}
  // Whether the window shows now.
  virtual bool ShownNow() const { return component_.Visible(); }
  // The window's place in its parent, in pixels.
  virtual Rect WindowBounds() const;

  virtual void SyncText();
  virtual void SyncVisible();
  virtual void SyncBounds();

  int Scale(int value) const;

  // While set, the window's notifications are echoes of the peer's own change and
  // are not reported to the model.
  class Echo {
   public:
    explicit Echo(ControlPeer& peer) : peer_(peer), was_(peer.echo_) { peer.echo_ = true; }
    ~Echo() { peer_.echo_ = was_; }
    Echo(const Echo&) = delete;
    Echo& operator=(const Echo&) = delete;

   private:
    ControlPeer& peer_;
    bool was_;
  };
  bool Echoing() const { return echo_; }

  // Screen readers get the control's name (and state) from the model where the
  // window's own text is not its name.
  void AnswerScreenReaders();

  // Runs a handler of the model; an escaping error goes to the error report.
  void Guard(const std::function<void()>& handler) const;
  // Whether a user could have clicked the control: it and everything around it enabled
  // and shown, its window included. Accessibility tools and automation send clicks to
  // disabled and hidden controls too; those do nothing.
  bool UserCanReach() const;
  // Runs the component's click only when a user could have clicked it.
  void UserClick() const;

  FormPeer& form_;
  Component& component_;
  HWND hwnd_ = nullptr;

 private:
  bool echo_ = false;
};

// A window of the program's own container class (panels, pages, page controls): it
// hands its children's notifications to the form peer.
class ContainerWindowPeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;

 protected:
  void Describe(CreateParams& params) override;
  void Fill() override;
};

// The peer for a component's kind; null for kinds without a window.
std::unique_ptr<ControlPeer> MakeControlPeer(FormPeer& form, Component& component);

// One maker per family, each in the family's own file.
std::unique_ptr<ControlPeer> MakePanelPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeGroupBoxPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeButtonPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeSpeedButtonPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeCheckBoxPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeLabelPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeImagePeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeEditPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeMemoPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeComboBoxPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeListViewPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeStatusBarPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakePageControlPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeTabSheetPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeProgressBarPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakeActivityIndicatorPeer(FormPeer& form, Component& component);
std::unique_ptr<ControlPeer> MakePaintBoxPeer(FormPeer& form, Component& component);

}  // namespace ui::win32
