// Push buttons (with an optional picture above the caption), the flat owner-drawn
// speed button and check boxes: a click runs the component's click.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

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
    if (code == BN_CLICKED) UserClick();
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

 public:
  void DpiChanged() override {
    ClickablePeer::DpiChanged();
    if (!static_cast<Button&>(component_).Images()) return;
    // The picture again at the new size; the old list goes once the button lets go.
    HIMAGELIST old = picture_;
    picture_ = nullptr;
    SetPicture();
    if (old) ImageList_Destroy(old);
  }

 protected:

 private:
  // The button's picture from its image list's strip, scaled, above the caption.
  void SetPicture() {
    auto& button = static_cast<Button&>(component_);
    ImageList* images = button.Images();
    const DIBSECTION* strip = Strip(images->Resource());
    const int width = images->Width(), height = images->Height();
    const int index = button.ImageIndex();
    if (!strip || strip->dsBm.bmBitsPixel != 32 || index < 0 || (index + 1) * width > strip->dsBm.bmWidth ||
        height > strip->dsBm.bmHeight)
      return;
    // The picture's pixels are copied out of the strip (nearest pixel when scaled):
    // much cheaper than going through an icon.
    const int size = Scale(width);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP single = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!single) return;
    const auto* source = static_cast<const uint32_t*>(strip->dsBm.bmBits);
    const int stride = strip->dsBm.bmWidthBytes / 4;
    const bool bottom_up = strip->dsBmih.biHeight > 0;
    auto* target = static_cast<uint32_t*>(bits);
    for (int y = 0; y < size; ++y) {
      const int sy = y * height / size;
      const uint32_t* row = source + static_cast<ptrdiff_t>(bottom_up ? strip->dsBm.bmHeight - 1 - sy : sy) * stride;
      for (int x = 0; x < size; ++x) target[y * size + x] = row[index * width + x * width / size];
    }
    picture_ = ImageList_Create(size, size, ILC_COLOR32, 1, 0);
    ImageList_Add(picture_, single, nullptr);
    DeleteObject(single);
    BUTTON_IMAGELIST list{};
    list.himl = picture_;
    list.margin.top = Scale(button.ImageMarginTop());
    list.uAlign = BUTTON_IMAGELIST_ALIGN_TOP;
    SendMessageW(hwnd_, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&list));
  }

  // The strip bitmap of pictures side by side, loaded once for every button that
  // shows one of them; null when the resource is missing.
  static const DIBSECTION* Strip(const std::string& resource) {
    static HBITMAP bitmap = nullptr;
    static std::string loaded;
    static DIBSECTION dib{};
    if (!bitmap || loaded != resource) {
      if (bitmap) DeleteObject(bitmap);
      bitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), Widen(resource).c_str(), IMAGE_BITMAP, 0,
                                               0, LR_CREATEDIBSECTION));
      loaded = resource;
      if (!bitmap || GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib)) {
        if (bitmap) DeleteObject(bitmap);
        bitmap = nullptr;
      }
    }
    return bitmap ? &dib : nullptr;
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
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    SelectObject(item.hDC, old);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
      RECT focus = item.rcItem;
      InflateRect(&focus, -2, -2);
      DrawFocusRect(item.hDC, &focus);
    }
  }

 protected:
  void Describe(CreateParams& params) override {
    params.window_class = WC_BUTTONW;
    params.style |= BS_OWNERDRAW | WS_TABSTOP;
    params.text = WindowText();
  }
  // The button draws its caption itself; its window text is what screen readers
  // call it: the hint when the caption is only a sign ("≡").
  void SyncText() override {
    Echo echo(*this);
    SetWindowTextW(hwnd_, WindowText().c_str());
  }

 private:
  std::wstring WindowText() const {
    return Widen(component_.Hint().empty() ? component_.Caption() : component_.Hint());
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
