#include "ui/win32/Accessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <unordered_map>

namespace ui::win32::accessible {

namespace {

constexpr UINT_PTR kSubclassId = 0x4143;
// IID_IAccessible, spelled out: the import libraries at hand define it twice.
constexpr IID kIAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The answers of each window that has them (UI thread only).
std::unordered_map<HWND, Answers>& Kept() {
  static std::unordered_map<HWND, Answers> kept;
  return kept;
}

// The system's standard object of a window with the name and value replaced; every
// other question goes to the standard object.
class Named final : public IAccessible {
 public:
  // The answers are looked up at each question: a screen reader may hold the object
  // after the window (and what answered for it) has gone.
  Named(IAccessible* inner, HWND hwnd) : inner_(inner), hwnd_(hwnd) { inner_->AddRef(); }
  ~Named() { inner_->Release(); }
  Named(const Named&) = delete;
  Named& operator=(const Named&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // The children's enumeration and the rest come from the standard object.
    return inner_->QueryInterface(riid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return inner_->GetTypeInfo(index, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override {
    return inner_->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT* arg) override {
    return inner_->Invoke(id, riid, lcid, flags, params, result, info, arg);
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return inner_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return inner_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (const Answers* answers = Find(); Self(child) && answers && answers->name) {
      std::wstring text = answers->name();
      if (!text.empty()) return Give(text, name);
    }
    return inner_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (const Answers* answers = Find(); Self(child) && answers && answers->value) {
      std::wstring text = answers->value();
      if (!text.empty()) return Give(text, value);
    }
    return inner_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
    return inner_->get_accDescription(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return inner_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    HRESULT result = inner_->get_accState(child, state);
    const Answers* answers = Find();
    if (SUCCEEDED(result) && Self(child) && answers && answers->state && state && state->vt == VT_I4)
      state->lVal |= answers->state();
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return inner_->get_accHelp(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return inner_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return inner_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return inner_->get_accSelection(children); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return inner_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return inner_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return inner_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return inner_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return inner_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return inner_->accDoDefaultAction(child); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return inner_->put_accName(child, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return inner_->put_accValue(child, value);
  }

 private:
  static bool Self(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }
  static HRESULT Give(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  const Answers* Find() const {
    auto it = Kept().find(hwnd_);
    return it == Kept().end() ? nullptr : &it->second;
  }

  IAccessible* inner_;
  HWND hwnd_;
  LONG refs_ = 1;
};

LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  if (msg == WM_GETOBJECT && static_cast<LONG>(lparam) == OBJID_CLIENT) {
    auto it = Kept().find(hwnd);
    IAccessible* standard = nullptr;
    if (it != Kept().end() &&
        SUCCEEDED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, kIAccessible, reinterpret_cast<void**>(&standard)))) {
      auto* named = new Named(standard, hwnd);
      standard->Release();
      LRESULT result = LresultFromObject(kIAccessible, wparam, static_cast<IAccessible*>(named));
      named->Release();
      return result;
    }
  }
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, Subclass, kSubclassId);
    Kept().erase(hwnd);
  }
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

}  // namespace

void Answer(HWND hwnd, Answers answers) {
  if (!hwnd) return;
  const bool known = Kept().count(hwnd) != 0;
  Kept()[hwnd] = std::move(answers);
  if (!known && !SetWindowSubclass(hwnd, Subclass, kSubclassId, 0)) Kept().erase(hwnd);
}

void NameChanged(HWND hwnd) {
  if (hwnd) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

std::wstring NameFromCaption(const std::wstring& caption) {
  std::wstring name;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&' && i + 1 < caption.size()) ++i;  // "&&" keeps one "&"
    name += caption[i];
  }
  while (!name.empty() && (name.back() == L':' || name.back() == L' ')) name.pop_back();
  return name;
}

}  // namespace ui::win32::accessible
