// Push buttons (with an optional picture above the caption), the flat owner-drawn
// speed button and check boxes: a click runs the component's click.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Wide.h"
#include "ui/win32/ControlPeer.h"
#include "ui/win32/FormPeer.h"
#include "ui/win32/Palette.h"

namespace ui::win32 {

using platform::win32::Widen;

namespace {

class ClickablePeer : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;
  void OnCommand(int code) override {
    if (code == BN_CLICKED) Guard([c = &component_] { c->Click(); });
  }
};

class ButtonPeer : public ClickablePeer {
 public:
  using ClickablePeer::ClickablePeer;
  ~ButtonPeer() override {
    if (picture_) ImageList_Destroy(picture_);
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_BUTTONW;
    params.style |= BS_PUSHBUTTON | WS_TABSTOP | BS_MULTILINE;
    params.text = Widen(component_.Caption());
  }
  void Fill() override {
    if (static_cast<Button&>(component_).Images()) SetPicture();
  }

 private:
  // The button's picture from its image list's strip, scaled, above the caption.
  void SetPicture() {
    auto& button = static_cast<Button&>(component_);
    ImageList* images = button.Images();
    // The strip is loaded once for every button that shows a picture of it.
    static HIMAGELIST strip = nullptr;
    static std::string strip_resource;
    if (!strip || strip_resource != images->Resource()) {
      HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                       Widen(images->Resource()).c_str(), IMAGE_BITMAP,
                                                       0, 0, LR_CREATEDIBSECTION));
      if (!bitmap) return;
      if (strip) ImageList_Destroy(strip);
      strip = ImageList_Create(images->Width(), images->Height(), ILC_COLOR32, 16, 0);
      ImageList_Add(strip, bitmap, nullptr);
      DeleteObject(bitmap);
      strip_resource = images->Resource();
    }
    int size = Scale(images->Width());
    picture_ = ImageList_Create(size, size, ILC_COLOR32, 1, 0);
    if (HICON icon = ImageList_GetIcon(strip, button.ImageIndex(), ILD_NORMAL)) {
      ImageList_AddIcon(picture_, icon);
      DestroyIcon(icon);
    }
    BUTTON_IMAGELIST list{};
    list.himl = picture_;
    list.margin.top = Scale(button.ImageMarginTop());
    list.uAlign = BUTTON_IMAGELIST_ALIGN_TOP;
    SendMessageW(hwnd_, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
  }

  HIMAGELIST picture_ = nullptr;
};

class SpeedButtonPeer : public ClickablePeer {
 public:
  using ClickablePeer::ClickablePeer;

  void OnDrawItem(const DRAWITEMSTRUCT& item) override {
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, palette::FaceBrush());
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(item.hwndItem, &cursor);
    bool hot = PtInRect(&r, cursor);
    if (item.itemState & ODS_SELECTED)
      DrawEdge(item.hDC, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (hot)
      DrawEdge(item.hDC, &r, BDR_RAISEDINNER, BF_RECT);
    const bool enabled = component_.EffectivelyEnabled();
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, palette::Text(enabled));
    HGDIOBJ old = SelectObject(item.hDC, form_.FontFor(component_.GetFont()));
    std::wstring text = Widen(component_.Caption());
    if (item.itemState & ODS_SELECTED) OffsetRect(&r, 1, 1);
    WORD glyph = 0;
    bool has_glyph = text.size() == 1 &&
                     GetGlyphIndicesW(item.hDC, text.c_str(), 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 &&
                     glyph != 0xFFFF;
    if (text == L"\u2261" && !has_glyph) {
      // Fonts without the menu sign get it drawn as three bars.
      int width = (r.right - r.left) / 2, left = r.left + (r.right - r.left - width) / 2;
      int middle = (r.top + r.bottom) / 2;
      for (int offset : {-5, 0, 5}) {
        RECT bar{left, middle + offset - 1, left + width, middle + offset + 1};
        FillRect(item.hDC, &bar, palette::TextBrush(enabled));
      }
    } else {
      DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(item.hDC, old);
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_BUTTONW;
    params.style |= BS_OWNERDRAW;
    params.text = Widen(component_.Caption());
  }
};

class CheckBoxPeer : public ClickablePeer {
 public:
  using ClickablePeer::ClickablePeer;

  void Sync(Change change) override {
    if (change == Change::Checked)
      SyncCheck();
    else
      ClickablePeer::Sync(change);
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_BUTTONW;
    params.style |= BS_CHECKBOX | BS_MULTILINE | WS_TABSTOP;
    params.text = Widen(component_.Caption());
  }
  void Fill() override { SyncCheck(); }

 private:
  void SyncCheck() {
    SendMessageW(hwnd_, BM_SETCHECK, static_cast<CheckBox&>(component_).Checked() ? BST_CHECKED : BST_UNCHECKED,
                 0);
  }
};

}  // namespace

std::unique_ptr<ControlPeer> MakeButtonPeer(FormPeer& form, Component& component) {
  return std::make_unique<ButtonPeer>(form, component);
}

std::unique_ptr<ControlPeer> MakeSpeedButtonPeer(FormPeer& form, Component& component) {
  return std::make_unique<SpeedButtonPeer>(form, component);
}

std::unique_ptr<ControlPeer> MakeCheckBoxPeer(FormPeer& form, Component& component) {
  return std::make_unique<CheckBoxPeer>(form, component);
}

}  // namespace ui::win32
