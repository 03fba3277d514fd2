// The Win32 UI host: makes the windows of each form, pumps messages, shows boxes,
// menus and modal windows, and runs work handed over by worker threads.
#pragma once

#include <windows.h>

#include <map>
#include <memory>

#include "ui/Application.h"

namespace ui::win32 {

class FormPeer;

class Win32Host : public UiHost {
 public:
  Win32Host();
  ~Win32Host() override;

  void AttachApplication(Application* app) override { app_ = app; }
  Application* App() const { return app_; }

  void FormCreated(Form& form) override;
  void FormDestroyed(Form& form) override;
  void ProcessMessages() override;
  void WakeUiThread() override;
  int ShowMessageBox(Form* owner, const std::string& text, const std::string& title,
                 unsigned flags) override;
  int ShowCaptionedBox(Form* owner, const std::string& text, const std::string& title, unsigned flags,
                       const std::vector<std::string>& button_captions) override;
  bool InputQuery(const std::string& title, const std::string& prompt,
                  std::string& value) override;
  bool InputQueryCaptioned(const std::string& title, const std::string& prompt, std::string& value,
                           const std::vector<std::string>& button_captions) override;
  bool HighContrast() const override;
  void ShowModal(Form& form) override;
  void CloseForm(Form& form) override;
  void Popup(PopupMenu& menu, Point screen) override;
  void EndMenu() override;
  Point ClientToScreen(const Component& component, Point client) override;
  void Run(Form& main) override;
  void AfterFirstPaint(Form& form, std::function<void()> fn) override;
  void StyleChanged(const StylePalette* palette) override;
  void ShellOpen(Form* owner, const std::string& target) override;

  // The window of a component (null when it has none).
  HWND WindowOf(const Component& component) const;
  FormPeer* PeerOf(const Form& form) const;
  // Runs a handler; an escaping error goes to the default error report.
  void Guard(const std::function<void()>& handler);

 private:
  static LRESULT CALLBACK SyncWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  void Dispatch(MSG& msg);
  // The keys of the program's windows that the dialog manager does not know or gets
  // wrong for them; true when the message was used.
  bool HandleKey(const MSG& msg);
  FormPeer* PeerOfWindow(HWND root) const;
  bool OpenWindowMenu(Form& form);

  Application* app_ = nullptr;
  DWORD ui_thread_;
  HWND sync_window_ = nullptr;
  std::map<const Form*, std::unique_ptr<FormPeer>> peers_;
  bool com_initialised_ = false;
  // The button captions of the input box about to be shown (InputQueryCaptioned).
  std::vector<std::string> input_captions_;
  // Alt went down and nothing else happened since: its release opens the menu.
  bool alt_alone_ = false;
};

// Window property that names each control for tools outside the process: a global
// atom of the component name.
inline constexpr wchar_t kNameProperty[] = L"VelmoraName";

}  // namespace ui::win32
