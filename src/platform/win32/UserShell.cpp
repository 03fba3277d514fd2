#include "platform/win32/UserShell.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleauto.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>

namespace platform::win32 {

namespace {

// The shell's window list and the service of its top-level browser; named here so
// that no GUID library is needed.
constexpr CLSID kShellWindows = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
constexpr GUID kTopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// Releases a COM pointer at the end of its scope.
template <class T>
struct ComPtr {
  T* p = nullptr;
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** Out() { return &p; }
  void** OutVoid() { return reinterpret_cast<void**>(&p); }
  T* operator->() const { return p; }
};

// Frees a BSTR at the end of its scope.
struct Bstr {
  BSTR b = nullptr;
  explicit Bstr(const std::wstring& text) : b(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b); }
};

// COM on this thread for the length of one call, whatever the thread had before.
struct ComScope {
  bool initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ComScope() = default;
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (initialised) CoUninitialize();
  }
};

}  // namespace

bool ProcessIsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
                        elevation.TokenIsElevated != 0;
  CloseHandle(token);
  return elevated;
}

bool OpenThroughDesktopShell(const std::wstring& target) {
  ComScope com;
  // The desktop's window in the shell's window list, then its browser, its view and
  // the view's automation object, whose application object runs commands in the
  // shell's process.
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows), windows.OutVoid())) ||
      !windows.p)
    return false;
  VARIANT location;
  VariantInit(&location);
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  VARIANT empty;
  VariantInit(&empty);
  long desktop_window = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &desktop_window, SWFO_NEEDDISPATCH, desktop.Out()) != S_OK ||
      !desktop.p)
    return false;
  ComPtr<IServiceProvider> services;
  if (FAILED(desktop->QueryInterface(__uuidof(IServiceProvider), services.OutVoid())) || !services.p) return false;
  ComPtr<IShellBrowser> browser;
  if (FAILED(services->QueryService(kTopLevelBrowser, __uuidof(IShellBrowser), browser.OutVoid())) || !browser.p)
    return false;
  ComPtr<IShellView> view;
  if (FAILED(browser->QueryActiveShellView(view.Out())) || !view.p) return false;
  ComPtr<IDispatch> view_object;
  if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), view_object.OutVoid())) || !view_object.p)
    return false;
  ComPtr<IShellFolderViewDual> folder_view;
  if (FAILED(view_object->QueryInterface(__uuidof(IShellFolderViewDual), folder_view.OutVoid())) || !folder_view.p)
    return false;
  ComPtr<IDispatch> application;
  if (FAILED(folder_view->get_Application(application.Out())) || !application.p) return false;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(application->QueryInterface(__uuidof(IShellDispatch2), shell.OutVoid())) || !shell.p) return false;

  Bstr file(target);
  Bstr verb(L"open");
  VARIANT arguments, folder, operation, show;
  VariantInit(&arguments);
  VariantInit(&folder);
  VariantInit(&operation);
  operation.vt = VT_BSTR;
  operation.bstrVal = verb.b;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(shell->ShellExecute(file.b, arguments, folder, operation, show));
}

bool OpenDirectly(HWND owner, const std::wstring& target) {
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOW));
  return result > 32;
}

ShellOpenRoute OpenAsUser(HWND owner, const std::wstring& target) {
  if (ProcessIsElevated() && OpenThroughDesktopShell(target)) return ShellOpenRoute::DesktopShell;
  return OpenDirectly(owner, target) ? ShellOpenRoute::Direct : ShellOpenRoute::Failed;
}

}  // namespace platform::win32
