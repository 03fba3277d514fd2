#include "ui/win32/FormPeer.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "platform/win32/Wide.h"
#include "ui/win32/Win32Host.h"

namespace ui::win32 {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

// The shortcut text of a key with the modifiers held now ("Ctrl+F5", "Delete"), as
// menu items spell their shortcuts; empty for keys without a name here.
std::string ShortCutText(WORD key) {
  std::string name;
  if (key >= 'A' && key <= 'Z') name = std::string(1, static_cast<char>(key));
  else if (key >= '0' && key <= '9') name = std::string(1, static_cast<char>(key));
  else if (key >= VK_F1 && key <= VK_F12) name = "F" + std::to_string(key - VK_F1 + 1);
  else if (key == VK_DELETE) name = "Delete";
  else if (key == VK_INSERT) name = "Insert";
  else return {};
  std::string prefix;
  if (GetKeyState(VK_SHIFT) < 0) prefix += "Shift+";
  if (GetKeyState(VK_CONTROL) < 0) prefix += "Ctrl+";
  if (GetKeyState(VK_MENU) < 0) prefix += "Alt+";
  return prefix + name;
}


constexpr wchar_t kFormClass[] = L"VelmoraForm";
constexpr wchar_t kContainerClass[] = L"VelmoraContainer";
constexpr int kTabRowHeight = 24;
// Posted to a form when the row changes of its list views may be painted.
constexpr UINT kEndListBatches = WM_APP + 2;

int Scale(int value, int dpi) { return MulDiv(value, dpi, 96); }

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

std::wstring ButtonText(const Component& c) { return Widen(c.Caption()); }

}  // namespace

void FormPeer::RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  HINSTANCE instance = GetModuleHandleW(nullptr);

  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.style = CS_DBLCLKS;
  form.lpfnWndProc = FormProc;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kFormClass;
  form.hIcon = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  form.hIconSm = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
  RegisterClassExW(&form);

  WNDCLASSEXW container{};
  container.cbSize = sizeof(container);
  container.lpfnWndProc = ContainerProc;
  container.hInstance = instance;
  container.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  container.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  container.lpszClassName = kContainerClass;
  RegisterClassExW(&container);
}

FormPeer::FormPeer(Win32Host& host, Form& form) : host_(host), form_(form) {
  RegisterClasses();
  dpi_ = ScreenDpi();
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (form.MinimizeBox()) style |= WS_MINIMIZEBOX;
  if (form.MaximizeBox()) style |= WS_MAXIMIZEBOX;
  if (form.Resizable()) style |= WS_THICKFRAME;
  DWORD ex_style = WS_EX_CONTROLPARENT;
  RECT r{0, 0, Scale(form.ClientWidth(), dpi_), Scale(form.ClientHeight(), dpi_)};
  AdjustWindowRectEx(&r, style, FALSE, ex_style);
  hwnd_ = CreateWindowExW(ex_style, kFormClass, Widen(form.Caption()).c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                          GetModuleHandleW(nullptr), this);
  if (!hwnd_) return;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(form.GetFont())), FALSE);
  Name(hwnd_, form);
  windows_[&form] = hwnd_;
  components_[hwnd_] = &form;
  form.SetObserver(this);
  CreateChildren(form, hwnd_);
  for (Component* c : form.Components()) c->SetObserver(this);
}

FormPeer::~FormPeer() {
  for (Component* c : form_.Components()) c->SetObserver(nullptr);
  form_.SetObserver(nullptr);
  Destroy();
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (HIMAGELIST list : image_lists_) ImageList_Destroy(list);
  for (ATOM atom : atoms_) GlobalDeleteAtom(atom);
}

void FormPeer::Destroy() {
  if (hwnd_ && IsWindow(hwnd_)) {
    HWND h = hwnd_;
    hwnd_ = nullptr;
    DestroyWindow(h);
  }
}

void FormPeer::Name(HWND hwnd, const Component& component) {
  ATOM atom = GlobalAddAtomW(Widen(component.Name()).c_str());
  if (!atom) return;
  atoms_.push_back(atom);
  SetPropW(hwnd, kNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(atom)));
}

HWND FormPeer::WindowOf(const Component& component) const {
  auto it = windows_.find(&component);
  return it == windows_.end() ? nullptr : it->second;
}

Component* FormPeer::ComponentOf(HWND hwnd) const {
  auto it = components_.find(hwnd);
  return it == components_.end() ? nullptr : it->second;
}

Rect FormPeer::ScaledBounds(const Component& component) const {
  const Rect& b = component.Bounds();
  return {Scale(b.left, dpi_), Scale(b.top, dpi_), Scale(b.width, dpi_), Scale(b.height, dpi_)};
}

HFONT FormPeer::FontFor(const Font& font) {
  std::string key = font.name + "|" + std::to_string(font.height) + (font.bold ? "b" : "") +
                    (font.italic ? "i" : "");
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
  // The design asks for the OEM character set; with Unicode window texts that only
  // risks a raster substitute, so the default set is asked for instead.
  HFONT handle = CreateFontW(Scale(font.height, dpi_), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
                             font.italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             Widen(font.name).c_str());
  fonts_[key] = handle;
  return handle;
}

void FormPeer::ApplyFont(Component& component) {
  HWND hwnd = WindowOf(component);
  if (!hwnd) return;
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(component.GetFont())), TRUE);
  InvalidateRect(hwnd, nullptr, TRUE);
  // Children without a font of their own follow.
  for (Component* child : component.Children())
    if (!child->HasOwnFont()) ApplyFont(*child);
}

void FormPeer::CreateChildren(Component& parent, HWND parent_hwnd) {
  for (Component* child : parent.Children()) {
    if (!child->IsVisual()) continue;
    HWND hwnd = CreateControl(*child, parent_hwnd);
    if (!hwnd) continue;
    if (!child->Children().empty()) CreateChildren(*child, hwnd);
    if (auto* pages = dynamic_cast<PageControl*>(child)) SyncPages(*pages);
  }
}

HWND FormPeer::CreateControl(Component& c, HWND parent_hwnd) {
  const wchar_t* cls = kContainerClass;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex_style = 0;
  std::wstring text;
  bool visible = c.Visible();
  switch (c.GetKind()) {
    case Kind::Panel:
    case Kind::PageControl:
      style |= WS_CLIPCHILDREN;
      ex_style |= WS_EX_CONTROLPARENT;
      break;
    case Kind::TabSheet:
      style |= WS_CLIPCHILDREN;
      ex_style |= WS_EX_CONTROLPARENT;
      visible = visible && static_cast<TabSheet&>(c).Pages()->ActivePage() == &c;
      break;
    case Kind::GroupBox:
      cls = WC_BUTTONW;
      style |= BS_GROUPBOX | WS_CLIPCHILDREN;
      ex_style |= WS_EX_CONTROLPARENT;
      text = ButtonText(c);
      break;
    case Kind::Button:
      cls = WC_BUTTONW;
      style |= BS_PUSHBUTTON | WS_TABSTOP | BS_MULTILINE;
      text = ButtonText(c);
      break;
    case Kind::SpeedButton:
      cls = WC_BUTTONW;
      style |= BS_OWNERDRAW;
      text = ButtonText(c);
      break;
    case Kind::CheckBox:
      cls = WC_BUTTONW;
      style |= BS_CHECKBOX | BS_MULTILINE | WS_TABSTOP;
      text = ButtonText(c);
      break;
    case Kind::Label:
      cls = WC_STATICW;
      // SS_NOTIFY: a click reaches the label's OnClick.
      style |= (static_cast<Label&>(c).Centered()         ? SS_CENTER
                : static_cast<Label&>(c).RightJustified() ? SS_RIGHT
                                                          : SS_LEFT) |
               SS_NOPREFIX | SS_NOTIFY;
      text = Widen(c.Caption());
      break;
    case Kind::Edit: {
      cls = WC_EDITW;
      auto& edit = static_cast<Edit&>(c);
      style |= ES_AUTOHSCROLL | WS_TABSTOP | (edit.ReadOnly() ? ES_READONLY : 0) | (edit.Centered() ? ES_CENTER : 0);
      ex_style |= WS_EX_CLIENTEDGE;
      text = Widen(edit.Text());
      break;
    }
    case Kind::ComboBox:
      cls = WC_COMBOBOXW;
      style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
      break;
    case Kind::ListView:
      cls = WC_LISTVIEWW;
      style |= LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_TABSTOP;
      ex_style |= WS_EX_CLIENTEDGE;
      break;
    case Kind::Memo: {
      cls = WC_EDITW;
      auto& memo = static_cast<Memo&>(c);
      style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | (memo.ReadOnly() ? ES_READONLY : 0);
      ex_style |= WS_EX_CLIENTEDGE;
      break;
    }
    case Kind::StatusBar:
      cls = STATUSCLASSNAMEW;
      style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
      break;
    case Kind::ProgressBar:
      cls = PROGRESS_CLASSW;
      break;
    case Kind::ActivityIndicator:
      cls = PROGRESS_CLASSW;
      style |= PBS_MARQUEE;
      visible = visible && static_cast<ActivityIndicator&>(c).Animate();
      break;
    case Kind::Image:
      cls = WC_STATICW;
      style |= SS_ICON | SS_CENTERIMAGE;
      break;
    default:
      return nullptr;
  }
  if (visible) style |= WS_VISIBLE;
  if (!c.EffectivelyEnabled()) style |= WS_DISABLED;
  Rect b = ScaledBounds(c);
  // A drop-down list's window height includes its open list.
  if (c.GetKind() == Kind::ComboBox) b.height = Scale(200, dpi_);
  HWND hwnd = CreateWindowExW(ex_style, cls, text.c_str(), style, b.left, b.top, b.width, b.height,
                              parent_hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return nullptr;
  windows_[&c] = hwnd;
  components_[hwnd] = &c;
  Name(hwnd, c);
  SetWindowLongPtrW(hwnd, GWLP_ID, static_cast<LONG_PTR>(components_.size()));
  if (cls == kContainerClass) SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (c.GetKind() == Kind::GroupBox)
    SetWindowSubclass(hwnd, GroupBoxSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
  if (c.GetKind() == Kind::Edit) SetWindowSubclass(hwnd, EditSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
  if (c.GetKind() == Kind::ListView)
    SetWindowSubclass(hwnd, ListViewSubclass, 3, reinterpret_cast<DWORD_PTR>(this));
  SyncHint(c, hwnd);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c.GetFont())), FALSE);
  switch (c.GetKind()) {
    case Kind::Button:
      if (static_cast<Button&>(c).Images()) SetNavigationPicture(static_cast<Button&>(c), hwnd);
      break;
    case Kind::CheckBox:
      SendMessageW(hwnd, BM_SETCHECK, static_cast<CheckBox&>(c).Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case Kind::Memo:
      SyncMemo(static_cast<Memo&>(c));
      break;
    case Kind::ComboBox:
      SyncComboItems(static_cast<ComboBox&>(c));
      break;
    case Kind::ListView: {
      auto& list = static_cast<ListView&>(c);
      DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | (list.CheckBoxes() ? LVS_EX_CHECKBOXES : 0);
      SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
      SyncListColumns(list);
      break;
    }
    case Kind::StatusBar:
      SendMessageW(hwnd, SB_SIMPLE, TRUE, 0);
      SyncText(c);
      break;
    case Kind::ActivityIndicator:
      SendMessageW(hwnd, PBM_SETMARQUEE, static_cast<ActivityIndicator&>(c).Animate(), 30);
      break;
    default:
      break;
  }
  return hwnd;
}

void FormPeer::SetNavigationPicture(Button& button, HWND hwnd) {
  ImageList* images = button.Images();
  static HIMAGELIST strip = nullptr;
  static std::string strip_resource;
  if (!strip || strip_resource != images->Resource()) {
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                     Widen(images->Resource()).c_str(), IMAGE_BITMAP,
                                                     0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return;
    strip = ImageList_Create(images->Width(), images->Height(), ILC_COLOR32, 16, 0);
    ImageList_Add(strip, bitmap, nullptr);
    DeleteObject(bitmap);
    strip_resource = images->Resource();
  }
  int size = Scale(images->Width(), dpi_);
  HIMAGELIST single = ImageList_Create(size, size, ILC_COLOR32, 1, 0);
  if (HICON icon = ImageList_GetIcon(strip, button.ImageIndex(), ILD_NORMAL)) {
    ImageList_AddIcon(single, icon);
    DestroyIcon(icon);
  }
  image_lists_.push_back(single);
  BUTTON_IMAGELIST list{};
  list.himl = single;
  list.margin.top = Scale(button.ImageMarginTop(), dpi_);
  list.uAlign = BUTTON_IMAGELIST_ALIGN_TOP;
  SendMessageW(hwnd, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
}

void FormPeer::SyncText(Component& c) {
  HWND hwnd = WindowOf(c);
  if (!hwnd) return;
  syncing_ = true;
  switch (c.GetKind()) {
    case Kind::Edit:
      SetWindowTextW(hwnd, Widen(static_cast<Edit&>(c).Text()).c_str());
      break;
    case Kind::StatusBar:
      // A status bar repaints at once on every new text; a count that changes per
      // row of a long list reaches it when pending messages next run instead.
      status_texts_.insert(static_cast<StatusBar*>(&c));
      PostBatchEnd();
      break;
    case Kind::PageControl:
    case Kind::Memo:
      break;
    default:
      SetWindowTextW(hwnd, Widen(c.Caption()).c_str());
      break;
  }
  syncing_ = false;
  SyncHint(c, hwnd);
  if (c.GetKind() == Kind::TabSheet) SyncPages(*static_cast<TabSheet&>(c).Pages());
}

void FormPeer::SyncHint(Component& c, HWND hwnd) {
  if (c.Hint().empty() && !tooltip_) return;
  if (!tooltip_) {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!tooltip_) return;
  }
  std::wstring text = Widen(c.Hint());
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(hwnd);
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
  bool known = SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
  tool.lpszText = text.data();
  if (known)
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  else if (!text.empty())
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void FormPeer::SyncMemo(Memo& memo) {
  HWND hwnd = WindowOf(memo);
  if (!hwnd) return;
  size_t& shown = memo_lines_[&memo];
  const auto& lines = memo.Lines();
  syncing_ = true;
  if (lines.size() > shown && shown > 0) {
    // Appending is the common case (the activity log): add only the new lines.
    std::wstring tail;
    for (size_t i = shown; i < lines.size(); ++i) tail += L"\r\n" + Widen(lines[i]);
    int end = GetWindowTextLengthW(hwnd);
    SendMessageW(hwnd, EM_SETSEL, end, end);
    SendMessageW(hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(tail.c_str()));
  } else {
    std::wstring all;
    for (size_t i = 0; i < lines.size(); ++i) all += (i ? L"\r\n" : L"") + Widen(lines[i]);
    SetWindowTextW(hwnd, all.c_str());
    SendMessageW(hwnd, EM_SETSEL, all.size(), all.size());
    SendMessageW(hwnd, EM_SCROLLCARET, 0, 0);
  }
  shown = lines.size();
  syncing_ = false;
}

void FormPeer::SyncComboItems(ComboBox& combo) {
  HWND hwnd = WindowOf(combo);
  if (!hwnd) return;
  syncing_ = true;
  SendMessageW(hwnd, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : combo.Items())
    SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
  SendMessageW(hwnd, CB_SETCURSEL, combo.ItemIndex(), 0);
  syncing_ = false;
}

void FormPeer::SyncComboSelection(ComboBox& combo) {
  if (HWND hwnd = WindowOf(combo)) {
    syncing_ = true;
    SendMessageW(hwnd, CB_SETCURSEL, combo.ItemIndex(), 0);
    syncing_ = false;
  }
}

void FormPeer::SyncListColumns(ListView& list) {
  HWND hwnd = WindowOf(list);
  if (!hwnd) return;
  syncing_ = true;
  while (SendMessageW(hwnd, LVM_DELETECOLUMN, 0, 0)) {
  }
  // A column that takes the remaining width gets what the client area leaves
  // beside the others (less a vertical scroll bar), but never less than its minimum.
  RECT client{};
  GetClientRect(hwnd, &client);
  int others = 0;
  for (const ListColumn& column : list.Columns())
    if (!column.auto_size) others += Scale(column.width, dpi_);
  int remaining = client.right - others - GetSystemMetrics(SM_CXVSCROLL);
  int index = 0;
  for (const ListColumn& column : list.Columns()) {
    std::wstring caption = Widen(column.caption);
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    lvc.fmt = column.centered ? LVCFMT_CENTER : LVCFMT_LEFT;
    lvc.pszText = caption.data();
    lvc.cx = Scale(column.width, dpi_);
    if (column.auto_size) lvc.cx = std::max(remaining, Scale(column.min_width, dpi_));
    SendMessageW(hwnd, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&lvc));
  }
  syncing_ = false;
  SyncListRows(list);
}

void FormPeer::SetListRow(HWND hwnd, const ListView& list, int index, bool insert) {
  const ListRow& row = list.Rows()[index];
  std::wstring caption = Widen(row.caption);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = caption.data();
  SendMessageW(hwnd, insert ? LVM_INSERTITEMW : LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  // Hidden sub-items beyond the columns are kept by the model only.
  size_t shown = list.Columns().empty() ? 0 : list.Columns().size() - 1;
  for (size_t i = 0; i < row.sub_items.size() && i < shown; ++i) {
    std::wstring text = Widen(row.sub_items[i]);
    LVITEMW sub{};
    sub.iSubItem = static_cast<int>(i + 1);
    sub.pszText = text.data();
    SendMessageW(hwnd, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
  }
  LVITEMW state{};
  state.stateMask = LVIS_STATEIMAGEMASK;
  state.state = INDEXTOSTATEIMAGEMASK(row.checked ? 2 : 1);
  if (list.CheckBoxes()) SendMessageW(hwnd, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
}

void FormPeer::SyncListRows(ListView& list) {
  HWND hwnd = WindowOf(list);
  if (!hwnd) return;
  syncing_ = true;
  const int count = static_cast<int>(list.Rows().size());
  const int shown = static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0));
  const int index = list.LastEditIndex();
  BeginListBatch(hwnd);
  // Mirror the one edit that happened; rebuild only when the two disagree otherwise.
  // Appending or replacing a row leaves the selection where it is; resyncing it
  // would touch every row and make building a long list quadratic.
  if (list.LastEdit() == ListView::Edit::Append && count == shown + 1 && index == count - 1) {
    SetListRow(hwnd, list, index, true);
    syncing_ = false;
    return;
  } else if (list.LastEdit() == ListView::Edit::Replace && count == shown && index >= 0) {
    SetListRow(hwnd, list, index, false);
    syncing_ = false;
    return;
  } else if (list.LastEdit() == ListView::Edit::Delete && count == shown - 1 && index >= 0) {
    SendMessageW(hwnd, LVM_DELETEITEM, index, 0);
  } else {
    SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < count; ++i) SetListRow(hwnd, list, i, true);
  }
  syncing_ = false;
  SyncListSelection(list);
}

void FormPeer::SyncListSelection(ListView& list) {
  HWND hwnd = WindowOf(list);
  if (!hwnd) return;
  syncing_ = true;
  if (list.Selected() < 0) {
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  } else {
    // Clearing touches every row; in a single-selection list selecting and
    // focusing one row takes both marks from the row that had them.
    LVITEMW select{};
    select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hwnd, LVM_SETITEMSTATE, list.Selected(), reinterpret_cast<LPARAM>(&select));
    // While rows are being changed the list does not lay itself out; the row is
    // scrolled into view once the changes are painted.
    if (auto batch = list_batches_.find(hwnd); batch != list_batches_.end())
      batch->second = list.Selected();
    else
      SendMessageW(hwnd, LVM_ENSUREVISIBLE, list.Selected(), FALSE);
  }
  syncing_ = false;
}

// A visible list view lays itself out and repaints its scroll bars on every row
// change, which makes a long series of changes slow. The changes of a series go in
// with redrawing off; the list is painted once when pending messages next run.
void FormPeer::BeginListBatch(HWND list) {
  if (list_batches_.count(list)) return;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  list_batches_[list] = -1;
  PostBatchEnd();
}

void FormPeer::PostBatchEnd() {
  if (!batch_end_posted_ && hwnd_) batch_end_posted_ = PostMessageW(hwnd_, kEndListBatches, 0, 0) != 0;
}

void FormPeer::EndListBatches() {
  batch_end_posted_ = false;
  auto texts = std::move(status_texts_);
  status_texts_.clear();
  for (StatusBar* bar : texts)
    if (HWND hwnd = WindowOf(*bar))
      SendMessageW(hwnd, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(Widen(bar->SimpleText()).c_str()));
  auto batches = std::move(list_batches_);
  list_batches_.clear();
  for (auto [list, ensure_visible] : batches) {
    if (!IsWindow(list)) continue;
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    if (ensure_visible >= 0 && ensure_visible < static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)))
      SendMessageW(list, LVM_ENSUREVISIBLE, ensure_visible, FALSE);
    InvalidateRect(list, nullptr, TRUE);
  }
}

void FormPeer::SyncPages(PageControl& pages) {
  HWND hwnd = WindowOf(pages);
  if (!hwnd) return;
  for (TabSheet* page : pages.Pages())
    if (HWND page_hwnd = WindowOf(*page))
      ShowWindow(page_hwnd, page == pages.ActivePage() && page->Visible() ? SW_SHOWNA : SW_HIDE);

  bool any_tab = false;
  for (TabSheet* page : pages.Pages()) any_tab = any_tab || page->TabVisible();
  HWND& row = tab_rows_[hwnd];
  if (!any_tab) {
    if (row) ShowWindow(row, SW_HIDE);
    return;
  }
  RECT client;
  GetClientRect(hwnd, &client);
  int height = Scale(kTabRowHeight, dpi_);
  int top = pages.TabsAtBottom() ? client.bottom - height : 0;
  if (!row) {
    row = CreateWindowExW(0, WC_TABCONTROLW, L"",
                          WS_CHILD | WS_CLIPSIBLINGS | (pages.TabsAtBottom() ? TCS_BOTTOM : 0), 0, top,
                          client.right, height, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(row, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(pages.GetFont())), FALSE);
    components_[row] = &pages;
  }
  MoveWindow(row, 0, top, client.right, height, TRUE);
  TabCtrl_DeleteAllItems(row);
  int position = 0, selected = -1;
  for (TabSheet* page : pages.Pages()) {
    if (!page->TabVisible()) continue;
    std::wstring caption = Widen(page->Caption());
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = caption.data();
    item.lParam = page->PageIndex();
    SendMessageW(row, TCM_INSERTITEMW, position, reinterpret_cast<LPARAM>(&item));
    if (page == pages.ActivePage()) selected = position;
    ++position;
  }
  TabCtrl_SetCurSel(row, selected);
  ShowWindow(row, SW_SHOWNA);
}

void FormPeer::ComponentChanged(Component& c, Change change) {
  HWND hwnd = WindowOf(c);
  if (!hwnd) return;
  switch (change) {
    case Change::Text:
      SyncText(c);
      break;
    case Change::Enabled: {
      // A container's state reaches every window inside it.
      std::vector<Component*> stack{&c};
      while (!stack.empty()) {
        Component* next = stack.back();
        stack.pop_back();
        if (HWND h = WindowOf(*next)) EnableWindow(h, next->EffectivelyEnabled());
        for (Component* child : next->Children()) stack.push_back(child);
      }
      break;
    }
    case Change::Visible:
      if (&c == &form_) break;  // the host shows and hides forms
      if (c.GetKind() == Kind::ActivityIndicator) {
        auto& indicator = static_cast<ActivityIndicator&>(c);
        SendMessageW(hwnd, PBM_SETMARQUEE, indicator.Animate(), 30);
        ShowWindow(hwnd, indicator.Visible() && indicator.Animate() ? SW_SHOWNA : SW_HIDE);
      } else if (c.GetKind() == Kind::TabSheet) {
        SyncPages(*static_cast<TabSheet&>(c).Pages());
      } else {
        ShowWindow(hwnd, c.Visible() ? SW_SHOWNA : SW_HIDE);
      }
      break;
    case Change::Font:
      ApplyFont(c);
      break;
    case Change::Bounds: {
      if (&c == &form_) {
        RECT r{0, 0, Scale(form_.ClientWidth(), dpi_), Scale(form_.ClientHeight(), dpi_)};
        AdjustWindowRectEx(&r, GetWindowLongW(hwnd, GWL_STYLE), FALSE, GetWindowLongW(hwnd, GWL_EXSTYLE));
        SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
      }
      Rect b = ScaledBounds(c);
      MoveWindow(hwnd, b.left, b.top, b.width, b.height, TRUE);
      if (auto* pages = dynamic_cast<PageControl*>(&c)) SyncPages(*pages);
      break;
    }
    case Change::Checked:
      if (auto* list = dynamic_cast<ListView*>(&c)) {
        syncing_ = true;
        BeginListBatch(hwnd);
        const int rows = static_cast<int>(list->Rows().size());
        const int changed = list->LastCheckedIndex();
        for (int i = changed >= 0 && changed < rows ? changed : 0; i < rows; ++i) {
          ListView_SetCheckState(hwnd, i, list->Rows()[i].checked);
          if (changed >= 0) break;
        }
        syncing_ = false;
      } else if (c.GetKind() == Kind::CheckBox)
        SendMessageW(hwnd, BM_SETCHECK, static_cast<CheckBox&>(c).Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case Change::Items:
      if (auto* memo = dynamic_cast<Memo*>(&c)) SyncMemo(*memo);
      if (auto* combo = dynamic_cast<ComboBox*>(&c)) SyncComboItems(*combo);
      if (auto* list = dynamic_cast<ListView*>(&c)) {
        if (list->LastEdit() == ListView::Edit::Reset &&
            static_cast<int>(SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0)) == 0)
          SyncListColumns(*list);  // columns may have changed too
        else
          SyncListRows(*list);
      }
      break;
    case Change::ActivePage:
    case Change::TabVisible:
      if (auto* pages = dynamic_cast<PageControl*>(&c)) SyncPages(*pages);
      break;
    case Change::ReadOnly:
      SendMessageW(hwnd, EM_SETREADONLY, static_cast<Edit&>(c).ReadOnly(), 0);
      break;
    case Change::Selection:
      if (auto* combo = dynamic_cast<ComboBox*>(&c)) SyncComboSelection(*combo);
      if (auto* list = dynamic_cast<ListView*>(&c)) SyncListSelection(*list);
      if (auto* edit = dynamic_cast<Edit*>(&c); edit && edit->AllSelected()) SendMessageW(hwnd, EM_SETSEL, 0, -1);
      break;
    case Change::Scroll:
      if (auto* list = dynamic_cast<ListView*>(&c); list && list->VisibleRequest() >= 0)
        SendMessageW(hwnd, LVM_ENSUREVISIBLE, list->VisibleRequest(), TRUE);
      break;
  }
}

void FormPeer::Show() {
  if (!hwnd_) return;
  if (!shown_once_ && form_.GetPosition() == Position::DesktopCenter) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  shown_once_ = true;
  form_.SetVisible(true);
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
}

void FormPeer::Hide() {
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
  form_.SetVisible(false);
}

void FormPeer::OnCommand(HWND control, int code) {
  Component* c = ComponentOf(control);
  if (!c) return;
  switch (c->GetKind()) {
    case Kind::Button:
    case Kind::SpeedButton:
    case Kind::CheckBox:
      if (code == BN_CLICKED) host_.Guard([c] { c->Click(); });
      break;
    case Kind::Label:
      if (code == STN_CLICKED) host_.Guard([c] { c->Click(); });
      break;
    case Kind::ComboBox:
      if (code == CBN_SELCHANGE && !syncing_) {
        auto* combo = static_cast<ComboBox*>(c);
        int index = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
        host_.Guard([combo, index] { combo->UserSelected(index); });
      }
      break;
    case Kind::Edit:
      if (code == EN_CHANGE && !syncing_) {
        int length = GetWindowTextLengthW(control);
        std::wstring text(length + 1, L'\0');
        GetWindowTextW(control, text.data(), length + 1);
        text.resize(length);
        auto* edit = static_cast<Edit*>(c);
        host_.Guard([edit, value = Narrow(text)] { edit->UserTyped(value); });
      }
      break;
    default:
      break;
  }
}

void FormPeer::OnNotify(NMHDR* header) {
  Component* c = ComponentOf(header->hwndFrom);
  if (!c) return;
  if (auto* list = dynamic_cast<ListView*>(c); list && header->code == LVN_KEYDOWN && list->GetPopupMenu()) {
    // The list's popup menu items answer their shortcuts while the list has the focus.
    std::string shortcut = ShortCutText(reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey);
    for (MenuItem* item : list->GetPopupMenu()->Items())
      if (!shortcut.empty() && item->ShortCut() == shortcut && item->EffectivelyEnabled() && !item->IsSeparator()) {
        host_.Guard([item] { item->Click(); });
        break;
      }
    return;
  }
  if (auto* list = dynamic_cast<ListView*>(c); list && header->code == LVN_ITEMCHANGED && !syncing_) {
    auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if (change->iItem < 0 || change->iItem >= static_cast<int>(list->Rows().size())) return;
    if ((change->uChanged & LVIF_STATE) && list->CheckBoxes() &&
        ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK)) {
      bool checked = ListView_GetCheckState(header->hwndFrom, change->iItem) != 0;
      int index = change->iItem;
      host_.Guard([list, index, checked] { list->SetChecked(index, checked); });
    }
    if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
        !(change->uOldState & LVIS_SELECTED) && list->Selected() != change->iItem) {
      int index = change->iItem;
      host_.Guard([list, index] { list->SetSelected(index); });
    }
    return;
  }
  if (auto* pages = dynamic_cast<PageControl*>(c); pages && header->code == TCN_SELCHANGE) {
    int position = TabCtrl_GetCurSel(header->hwndFrom);
    TCITEMW item{};
    item.mask = TCIF_PARAM;
    if (SendMessageW(header->hwndFrom, TCM_GETITEMW, position, reinterpret_cast<LPARAM>(&item)))
      host_.Guard([pages, index = static_cast<int>(item.lParam)] { pages->SetActivePageIndex(index); });
  }
}

void FormPeer::DrawSpeedButton(const DRAWITEMSTRUCT& item) {
  Component* c = ComponentOf(item.hwndItem);
  if (!c) return;
  RECT r = item.rcItem;
  FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
  POINT cursor;
  GetCursorPos(&cursor);
  ScreenToClient(item.hwndItem, &cursor);
  bool hot = PtInRect(&r, cursor);
  if (item.itemState & ODS_SELECTED)
    DrawEdge(item.hDC, &r, BDR_SUNKENOUTER, BF_RECT);
  else if (hot)
    DrawEdge(item.hDC, &r, BDR_RAISEDINNER, BF_RECT);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(c->EffectivelyEnabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  HGDIOBJ old = SelectObject(item.hDC, FontFor(c->GetFont()));
  std::wstring text = Widen(c->Caption());
  if (item.itemState & ODS_SELECTED) OffsetRect(&r, 1, 1);
  WORD glyph = 0;
  bool has_glyph = text.size() == 1 &&
                   GetGlyphIndicesW(item.hDC, text.c_str(), 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 &&
                   glyph != 0xFFFF;
  if (text == L"\u2261" && !has_glyph) {
    // Fonts without the menu sign get it drawn as three bars.
    HBRUSH brush = GetSysColorBrush(c->EffectivelyEnabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    int width = (r.right - r.left) / 2, left = r.left + (r.right - r.left - width) / 2;
    int middle = (r.top + r.bottom) / 2;
    for (int offset : {-5, 0, 5}) {
      RECT bar{left, middle + offset - 1, left + width, middle + offset + 1};
      FillRect(item.hDC, &bar, brush);
    }
  } else {
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(item.hDC, old);
}

LRESULT FormPeer::HandleContainerMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                         bool* handled) {
  *handled = true;
  switch (msg) {
    case WM_COMMAND:
      if (lparam) OnCommand(reinterpret_cast<HWND>(lparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY:
      OnNotify(reinterpret_cast<NMHDR*>(lparam));
      return 0;
    case WM_CONTEXTMENU: {
      // A right click (or the menu key) on a list with a menu opens it: at the
      // mouse, or below the selected row when the keyboard asked.
      auto* list = dynamic_cast<ListView*>(ComponentOf(reinterpret_cast<HWND>(wparam)));
      PopupMenu* menu = list ? list->GetPopupMenu() : nullptr;
      if (!menu || !menu->AutoPopup() || !list->EffectivelyEnabled()) break;
      HWND list_hwnd = reinterpret_cast<HWND>(wparam);
      POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (at.x == -1 && at.y == -1) {
        RECT r{};
        r.left = LVIR_BOUNDS;
        if (list->Selected() < 0 ||
            !SendMessageW(list_hwnd, LVM_GETITEMRECT, list->Selected(), reinterpret_cast<LPARAM>(&r)))
          r = RECT{0, 0, 0, 0};
        at = {r.left + 8, r.bottom};
        ClientToScreen(list_hwnd, &at);
      }
      host_.Popup(*menu, Point{at.x, at.y});
      return 0;
    }
    case WM_DRAWITEM:
      DrawSpeedButton(*reinterpret_cast<DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case WM_GETFONT:
      // Forms and containers are our own classes: answer with the component's font.
      if (Component* c = ComponentOf(hwnd); c && c->GetKind() != Kind::GroupBox)
        return reinterpret_cast<LRESULT>(FontFor(c->GetFont()));
      break;
    case WM_SETCURSOR: {
      Component* c = ComponentOf(reinterpret_cast<HWND>(wparam));
      if (c && c->GetCursor() == Cursor::HandPoint && LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  *handled = false;
  return 0;
}

LRESULT CALLBACK FormPeer::FormProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* peer = reinterpret_cast<FormPeer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!peer) return DefWindowProcW(hwnd, msg, wparam, lparam);
  bool handled = false;
  LRESULT result = peer->HandleContainerMessage(hwnd, msg, wparam, lparam, &handled);
  if (handled) return result;
  switch (msg) {
    case kEndListBatches:
      peer->EndListBatches();
      return 0;
    case WM_CLOSE:
      peer->closed_ = true;
      if (peer->modal_) {
        peer->Hide();
      } else {
        // A failing close handler is reported, and the window still closes: the
        // user must always be able to leave.
        peer->host_.Guard([peer] { peer->form_.FormClose(); });
        PostQuitMessage(0);
      }
      return 0;
    case WM_MOUSEMOVE:
      peer->host_.Guard([peer] { peer->form_.MouseMove(); });
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      if (peer->form_.MinWidth()) info->ptMinTrackSize.x = Scale(peer->form_.MinWidth(), peer->dpi_);
      if (peer->form_.MinHeight()) info->ptMinTrackSize.y = Scale(peer->form_.MinHeight(), peer->dpi_);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK FormPeer::ContainerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* peer = reinterpret_cast<FormPeer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (peer) {
    bool handled = false;
    LRESULT result = peer->HandleContainerMessage(hwnd, msg, wparam, lparam, &handled);
    if (handled) return result;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK FormPeer::GroupBoxSubclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR, DWORD_PTR data) {
  auto* peer = reinterpret_cast<FormPeer*>(data);
  // A group box that holds controls paints its own background and theirs; the
  // button class leaves both undrawn.
  if (msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(reinterpret_cast<HDC>(wparam), &r, GetSysColorBrush(COLOR_BTNFACE));
    return TRUE;
  }
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
    SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_BTNFACE));
    SetTextColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  if (msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_DRAWITEM || msg == WM_SETCURSOR) {
    bool handled = false;
    LRESULT result = peer->HandleContainerMessage(hwnd, msg, wparam, lparam, &handled);
    if (handled) return result;
  }
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, GroupBoxSubclass, 1);
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK FormPeer::EditSubclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam,
                                        UINT_PTR, DWORD_PTR data) {
  auto* peer = reinterpret_cast<FormPeer*>(data);
  auto* edit = dynamic_cast<Edit*>(peer->ComponentOf(hwnd));
  if (edit && msg == WM_CHAR) {
    // The box's handler sees the text as it was before this key.
    auto key = static_cast<char32_t>(wparam);
    peer->host_.Guard([edit, key] { edit->KeyPressed(key); });
  }
  if (edit && msg == WM_LBUTTONUP) {
    LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
    peer->host_.Guard([edit] { edit->Click(); });
    return result;
  }
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, EditSubclass, 1);
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

bool FormPeer::ColumnWidthAllowed(const ListView& list, int column, int width) const {
  if (column < 0 || column >= static_cast<int>(list.Columns().size())) return true;
  const ListColumn& limits = list.Columns()[column];
  if (width < Scale(limits.min_width, dpi_)) return false;
  return limits.max_width <= 0 || width <= Scale(limits.max_width, dpi_);
}

LRESULT CALLBACK FormPeer::ListViewSubclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                            DWORD_PTR data) {
  auto* peer = reinterpret_cast<FormPeer*>(data);
  // The header tells its list first that a column is about to change width; a
  // width outside the column's limits is refused there.
  if (msg == WM_NOTIFY) {
    auto* change = reinterpret_cast<NMHEADERW*>(lparam);
    if ((change->hdr.code == HDN_ITEMCHANGINGW || change->hdr.code == HDN_ITEMCHANGINGA) && change->pitem &&
        (change->pitem->mask & HDI_WIDTH)) {
      auto* list = dynamic_cast<ListView*>(peer->ComponentOf(hwnd));
      if (list && !peer->ColumnWidthAllowed(*list, change->iItem, change->pitem->cxy)) return TRUE;
    }
  }
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ListViewSubclass, 3);
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

}  // namespace ui::win32
