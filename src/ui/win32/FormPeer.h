// The windows of one form: creates an HWND per visual component, mirrors model
// changes onto them and turns notifications into model changes and handler calls.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/Controls.h"
#include "ui/Form.h"

namespace ui::win32 {

class Win32Host;

class FormPeer : public ComponentObserver {
 public:
  FormPeer(Win32Host& host, Form& form);
  ~FormPeer() override;

  HWND Window() const { return hwnd_; }
  HWND WindowOf(const Component& component) const;
  Component* ComponentOf(HWND hwnd) const;
  Form& GetForm() const { return form_; }

  void ComponentChanged(Component& component, Change change) override;

  // Shows the window (centred the first time when the form asks for it).
  void Show();
  void Hide();
  bool Closed() const { return closed_; }
  void ResetClosed() { closed_ = false; }
  void SetModal(bool modal) { modal_ = modal; }
  void Destroy();

  // Messages of the form and of every container inside it.
  LRESULT HandleContainerMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, bool* handled);

 private:
  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK EditSubclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR data);
  static LRESULT CALLBACK GroupBoxSubclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR id, DWORD_PTR data);
  static LRESULT CALLBACK ListViewSubclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR id, DWORD_PTR data);
  static void RegisterClasses();
  bool ColumnWidthAllowed(const ListView& list, int column, int width) const;

  void CreateChildren(Component& parent, HWND parent_hwnd);
  HWND CreateControl(Component& component, HWND parent_hwnd);
  void Name(HWND hwnd, const Component& component);
  HFONT FontFor(const Font& font);
  void ApplyFont(Component& component);
  void SyncText(Component& component);
  // The component's hint as a tooltip over its window.
  void SyncHint(Component& component, HWND hwnd);
  void SyncPages(PageControl& pages);
  void SyncMemo(Memo& memo);
  void SyncComboItems(ComboBox& combo);
  void SyncComboSelection(ComboBox& combo);
  void SyncListColumns(ListView& list);
  void SyncListRows(ListView& list);
  void SetListRow(HWND hwnd, const ListView& list, int index, bool insert);
  void SyncListSelection(ListView& list);
  void BeginListBatch(HWND list);
  void EndListBatches();
  void PostBatchEnd();
  void SetNavigationPicture(Button& button, HWND hwnd);
  void OnCommand(HWND control, int code);
  void OnNotify(NMHDR* header);
  void DrawSpeedButton(const DRAWITEMSTRUCT& item);
  Rect ScaledBounds(const Component& component) const;

  Win32Host& host_;
  Form& form_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  std::map<const Component*, HWND> windows_;
  std::map<HWND, Component*> components_;
  std::map<HWND, HWND> tab_rows_;  // page control window -> its tab row
  std::map<std::string, HFONT> fonts_;
  std::vector<HIMAGELIST> image_lists_;
  std::vector<ATOM> atoms_;
  std::map<const Memo*, size_t> memo_lines_;
  // List views whose row changes are not painted yet, with the row to scroll into
  // view when they are (-1: none).
  std::map<HWND, int> list_batches_;
  // Status bars whose new text is not shown yet.
  std::set<StatusBar*> status_texts_;
  bool batch_end_posted_ = false;
  bool closed_ = false;
  bool modal_ = false;
  bool shown_once_ = false;
  bool syncing_ = false;
  int dpi_ = 96;
};

}  // namespace ui::win32
