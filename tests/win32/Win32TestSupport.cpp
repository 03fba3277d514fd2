#include "win32/Win32TestSupport.h"

#include <commctrl.h>

#include <cstdio>

#include "ui/win32/Win32Host.h"

namespace win32_test {

std::wstring ControlName(HWND hwnd) {
  auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(hwnd, ui::win32::kNameProperty)));
  if (!atom) return {};
  wchar_t name[256];
  UINT n = GlobalGetAtomNameW(atom, name, 256);
  return std::wstring(name, n);
}

namespace {
struct Search {
  const std::wstring* name;
  HWND found;
};
BOOL CALLBACK Visit(HWND hwnd, LPARAM lparam) {
  auto* search = reinterpret_cast<Search*>(lparam);
  if (ControlName(hwnd) == *search->name) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND FindControl(HWND root, const std::wstring& name) {
  if (ControlName(root) == name) return root;
  Search search{&name, nullptr};
  EnumChildWindows(root, Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

void Pump() {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(0);
  }
}

bool HaveDisplay() {
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

std::wstring SaveScreenshot(HWND hwnd, const std::wstring& name) {
  wchar_t folder[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"VELMORA_SCREENSHOTS", folder, MAX_PATH);
  if (!n || n >= MAX_PATH) return {};
  // The folder is a host path; Wine maps "/" paths through the Z: drive.
  std::wstring dir(folder, n);
  if (!dir.empty() && dir[0] == L'/') dir = L"Z:" + dir;
  RECT r;
  GetWindowRect(hwnd, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  // Wine's PrintWindow leaves child windows out; the window is on top, so copy the screen.
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  // Wine hands painted surfaces to the X server a little later.
  for (int i = 0; i < 3; ++i) {
    Pump();
    Sleep(100);
  }
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  // GDI leaves the fourth byte at 0; make every pixel opaque for picture viewers.
  auto* pixels = static_cast<unsigned char*>(bits);
  for (size_t i = 3; i < static_cast<size_t>(width) * height * 4; i += 4) pixels[i] = 0xFF;
  std::wstring path = dir + L"\\" + name + L".bmp";
  if (FILE* f = _wfopen(path.c_str(), L"wb")) {
    BITMAPFILEHEADER file{};
    DWORD size = static_cast<DWORD>(width) * height * 4;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + size;
    fwrite(&file, sizeof(file), 1, f);
    fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, f);
    fwrite(bits, 1, size, f);
    fclose(f);
  } else {
    path.clear();
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return path;
}

std::wstring ControlText(HWND hwnd) {
  auto length = static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  length = static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
  text.resize(length);
  return text;
}

std::wstring TooltipText(HWND window, HWND control) {
  HWND tips = nullptr;
  while ((tips = FindWindowExW(nullptr, tips, TOOLTIPS_CLASSW, nullptr)) && GetWindow(tips, GW_OWNER) != window) {
  }
  if (!tips) return {};
  wchar_t tip[256] = L"";
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = tip;
  SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
  return tip;
}

std::wstring ListCellText(HWND list, int row, int column) {
  wchar_t text[256] = L"";
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 256;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

bool ClickListCheckBox(HWND list, int row) {
  SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  if (!SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds))) return false;
  const int y = (bounds.top + bounds.bottom) / 2;
  for (int x = bounds.left; x < bounds.left + 40; ++x) {
    LVHITTESTINFO hit{};
    hit.pt = {x, y};
    if (SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == row &&
        (hit.flags & LVHT_ONITEMSTATEICON)) {
      SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
      SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
      return true;
    }
  }
  return false;
}

ProgramProcess::ProgramProcess(const std::wstring& exe) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  std::wstring command = L"\"" + exe + L"\"";
  started_ = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &info_);
}

ProgramProcess::~ProgramProcess() {
  if (!started_) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
}

DWORD ProgramProcess::Wait(DWORD ms) { return WaitForSingleObject(info_.hProcess, ms); }

DWORD ProgramProcess::ExitCode() {
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

HWND ProgramProcess::MainWindow() const {
  struct Found {
    DWORD pid;
    HWND hwnd;
  } found{info_.dwProcessId, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lparam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t cls[64];
        GetClassNameW(hwnd, cls, 64);
        if (owner == f->pid && std::wstring(cls) == L"VelmoraForm" && IsWindowVisible(hwnd)) {
          f->hwnd = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

HWND ProgramProcess::WaitForMainWindow() {
  for (int i = 0; i < 200 && started_; ++i) {
    if (HWND window = MainWindow()) return window;
    if (Wait(50) != WAIT_TIMEOUT) return nullptr;
  }
  return nullptr;
}

}  // namespace win32_test
