#include "platform/win32/Win32Wmi.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdio>

#include "platform/win32/Wide.h"

namespace platform::win32 {

namespace {

constexpr HRESULT kWbemNotFound = static_cast<HRESULT>(0x80041002);

[[noreturn]] void ThrowHr(const char* what, HRESULT hr) {
  char text[160];
  std::snprintf(text, sizeof(text), "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
  throw WmiError(text, static_cast<uint32_t>(hr));
}

// Owns one COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* p) : p_(p) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T** put() { return &p_; }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};

// Owns a VARIANT.
struct Var {
  VARIANT v;
  Var() { VariantInit(&v); }
  ~Var() { VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
};

// The platform's text form of a value; empty when it has none.
std::string GeneralText(const VARIANT& value) {
  Var converted;
  if (FAILED(VariantChangeTypeEx(&converted.v, const_cast<VARIANT*>(&value), LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR)))
    return {};
  return Narrow(std::wstring(converted.v.bstrVal, SysStringLen(converted.v.bstrVal)));
}

Variant FromVariant(const VARIANT& value);

Variant FromArray(const VARIANT& value) {
  Variant out{Variant::Type::Array};
  SAFEARRAY* array = (value.vt & VT_BYREF) ? *value.pparray : value.parray;
  if (!array || SafeArrayGetDim(array) != 1) return out;
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  VARTYPE element_type = value.vt & VT_TYPEMASK;
  for (LONG i = lower; i <= upper; ++i) {
    Var element;
    if (element_type == VT_VARIANT) {
      if (FAILED(SafeArrayGetElement(array, &i, &element.v))) continue;
    } else {
      element.v.vt = element_type;
      // Strings and interfaces come back owned by the copy; others are plain data.
      if (FAILED(SafeArrayGetElement(array, &i, &element.v.bstrVal))) {
        element.v.vt = VT_EMPTY;
        continue;
      }
    }
    out.elements.push_back(FromVariant(element.v));
  }
  return out;
}

Variant FromVariant(const VARIANT& value) {
  if (value.vt & VT_ARRAY) return FromArray(value);
  switch (value.vt) {
    case VT_EMPTY:
      return Variant{Variant::Type::Empty};
    case VT_NULL:
      return Variant::Null();
    case VT_I2:
      return Variant::Int(value.iVal, Variant::Type::Int16);
    case VT_I4:
      return Variant::Int(value.lVal, Variant::Type::Int32);
    case VT_UI1:
      return Variant::Int(value.bVal, Variant::Type::UnsignedByte);
    case VT_BSTR:
      return Variant::Str(Narrow(std::wstring(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal))));
    case VT_BOOL: {
      Variant v = Variant::Bool(value.boolVal != VARIANT_FALSE);
      v.text = GeneralText(value);
      return v;
    }
    case VT_VARIANT | VT_BYREF:
      if (value.pvarVal) {
        Variant inner = FromVariant(*value.pvarVal);
        Variant v{Variant::Type::Nested};
        v.text = GeneralText(*value.pvarVal);
        v.integer = inner.integer;
        return v;
      }
      return Variant{Variant::Type::Nested};
    default: {
      Variant::Type type = Variant::Type::Other;
      if (value.vt == VT_R4) type = Variant::Type::Single;
      if (value.vt == VT_R8) type = Variant::Type::Double;
      if (value.vt == VT_CY) type = Variant::Type::Currency;
      if (value.vt == VT_DATE) type = Variant::Type::Date;
      Variant v{type};
      v.text = GeneralText(value);
      return v;
    }
  }
}

// Builds an automation value; string arrays become VT_ARRAY|VT_BSTR with lower bound 0.
void ToVariant(const Variant& in, VARIANT* out) {
  VariantInit(out);
  switch (in.type) {
    case Variant::Type::Null:
      out->vt = VT_NULL;
      return;
    case Variant::Type::Int16:
    case Variant::Type::Int32:
      out->vt = VT_I4;
      out->lVal = static_cast<LONG>(in.integer);
      return;
    case Variant::Type::UnsignedByte:
      out->vt = VT_UI1;
      out->bVal = static_cast<BYTE>(in.integer);
      return;
    case Variant::Type::Boolean:
      out->vt = VT_BOOL;
      out->boolVal = in.integer ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case Variant::Type::Array: {
      bool strings = true;
      for (const auto& e : in.elements) strings = strings && e.type == Variant::Type::String;
      SAFEARRAY* array = SafeArrayCreateVector(strings ? VT_BSTR : VT_VARIANT, 0,
                                               static_cast<ULONG>(in.elements.size()));
      if (!array) ThrowHr("SafeArrayCreateVector", E_OUTOFMEMORY);
      for (LONG i = 0; i < static_cast<LONG>(in.elements.size()); ++i) {
        Var element;
        ToVariant(in.elements[i], &element.v);
        HRESULT hr = strings ? SafeArrayPutElement(array, &i, element.v.bstrVal)
                             : SafeArrayPutElement(array, &i, &element.v);
        if (FAILED(hr)) {
          SafeArrayDestroy(array);
          ThrowHr("SafeArrayPutElement", hr);
        }
      }
      out->vt = VT_ARRAY | (strings ? VT_BSTR : VT_VARIANT);
      out->parray = array;
      return;
    }
    case Variant::Type::Empty:
      return;
    default: {
      out->vt = VT_BSTR;
      std::wstring text = Widen(in.text);
      out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      return;
    }
  }
}

// Calls a member by name. `args` are given in their natural order.
HRESULT InvokeByName(IDispatch* object, const std::string& name, WORD flags,
                     const std::vector<Variant>& args, VARIANT* result, bool* unknown_name) {
  std::wstring wide = Widen(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = 0;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    if (unknown_name) *unknown_name = true;
    return hr;
  }
  std::vector<VARIANT> reversed(args.size());
  for (size_t i = 0; i < args.size(); ++i) VariantInit(&reversed[i]);
  try {
    for (size_t i = 0; i < args.size(); ++i) ToVariant(args[args.size() - 1 - i], &reversed[i]);
  } catch (...) {
    for (auto& v : reversed) VariantClear(&v);
    throw;
  }
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO exception{};
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, nullptr);
  for (auto& v : reversed) VariantClear(&v);
  if (hr == DISP_E_EXCEPTION && exception.scode) hr = exception.scode;
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return hr;
}

// Moves the object out of a returned value; the caller owns the reference.
IDispatch* TakeDispatch(Var& result, const char* what) {
  if (result.v.vt != VT_DISPATCH || !result.v.pdispVal) ThrowHr(what, E_UNEXPECTED);
  IDispatch* object = result.v.pdispVal;
  result.v.vt = VT_EMPTY;
  return object;
}

class Object : public WmiObject {
 public:
  explicit Object(IDispatch* object) : object_(object) {}
  Variant Get(const std::string& property) override {
    Var result;
    bool unknown = false;
    HRESULT hr = InvokeByName(object_.get(), property, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {},
                              &result.v, &unknown);
    // A property this platform does not provide reads as null.
    if (unknown || hr == kWbemNotFound || hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME)
      return Variant::Null();
    if (FAILED(hr)) ThrowHr(("Reading " + property).c_str(), hr);
    return FromVariant(result.v);
  }
  Variant Call(const std::string& method, const std::vector<Variant>& args) override {
    Var result;
    HRESULT hr = InvokeByName(object_.get(), method, DISPATCH_METHOD, args, &result.v, nullptr);
    if (FAILED(hr)) ThrowHr(("Calling " + method).c_str(), hr);
    return FromVariant(result.v);
  }

 private:
  ComPtr<IDispatch> object_;
};

class Enumerator : public WmiEnumerator {
 public:
  explicit Enumerator(IEnumVARIANT* e) : enum_(e) {}
  std::unique_ptr<WmiObject> Next() override {
    Var item;
    ULONG fetched = 0;
    HRESULT hr = enum_->Next(1, &item.v, &fetched);
    if (FAILED(hr)) ThrowHr("Enumerating the query result", hr);
    if (hr != S_OK || fetched == 0) return nullptr;
    if (item.v.vt != VT_DISPATCH || !item.v.pdispVal) ThrowHr("Enumerating the query result", E_UNEXPECTED);
    IDispatch* object = item.v.pdispVal;
    item.v.vt = VT_EMPTY;
    return std::make_unique<Object>(object);
  }

 private:
  ComPtr<IEnumVARIANT> enum_;
};

class Services : public WmiServices {
 public:
  explicit Services(IDispatch* services) : services_(services) {}
  std::unique_ptr<WmiEnumerator> ExecQuery(const std::string& query, const std::string& language,
                                           int32_t flags) override {
    Var set;
    HRESULT hr = InvokeByName(services_.get(), "ExecQuery", DISPATCH_METHOD,
                              {Variant::Str(query), Variant::Str(language), Variant::Int(flags)},
                              &set.v, nullptr);
    if (FAILED(hr)) ThrowHr("ExecQuery", hr);
    ComPtr<IDispatch> objects(TakeDispatch(set, "ExecQuery"));
    Var enum_holder;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    hr = objects->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                            DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &enum_holder.v, nullptr, nullptr);
    if (FAILED(hr)) ThrowHr("_NewEnum", hr);
    IUnknown* unknown = enum_holder.v.vt == VT_UNKNOWN ? enum_holder.v.punkVal
                        : enum_holder.v.vt == VT_DISPATCH ? enum_holder.v.pdispVal : nullptr;
    if (!unknown) ThrowHr("_NewEnum", E_UNEXPECTED);
    IEnumVARIANT* e = nullptr;
    hr = unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e));
    if (FAILED(hr)) ThrowHr("_NewEnum", hr);
    return std::make_unique<Enumerator>(e);
  }

 private:
  ComPtr<IDispatch> services_;
};

class Locator : public WmiLocator {
 public:
  explicit Locator(IDispatch* locator) : locator_(locator) {}
  std::unique_ptr<WmiServices> ConnectServer(const std::string& server, const std::string& name_space,
                                             const std::string& user, const std::string& password) override {
    Var services;
    // "\root\cimv2" and "root\cimv2" name the same namespace; not every WMI takes the
    // leading separator.
    std::string path = name_space;
    while (!path.empty() && (path.front() == '\\' || path.front() == '/')) path.erase(0, 1);
    HRESULT hr = InvokeByName(locator_.get(), "ConnectServer", DISPATCH_METHOD,
                              {Variant::Str(server), Variant::Str(path), Variant::Str(user),
                               Variant::Str(password)},
                              &services.v, nullptr);
    if (FAILED(hr)) ThrowHr("ConnectServer", hr);
    return std::make_unique<Services>(TakeDispatch(services, "ConnectServer"));
  }

 private:
  ComPtr<IDispatch> locator_;
};

}  // namespace

std::unique_ptr<WmiLocator> Win32Wmi::CreateLocator() {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(L"WbemScripting.SWbemLocator", &clsid);
  if (FAILED(hr)) ThrowHr("Creating WbemScripting.SWbemLocator", hr);
  IDispatch* locator = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&locator));
  if (FAILED(hr)) ThrowHr("Creating WbemScripting.SWbemLocator", hr);
  return std::make_unique<Locator>(locator);
}

}  // namespace platform::win32
