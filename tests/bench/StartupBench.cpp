// Start-up benchmark: time from process creation to a visible, answering main window,
// for Velmora.exe and for an empty Win32 window made by this program itself. Prints
// the minimum, median and maximum of several runs, the ratio of the medians, and how
// many windows the main window holds once it answers. Not a test: nothing here passes
// or fails; scripts/bench.sh runs it under Wine.
//
// Usage: velmora_bench [runs] [program.exe ...] — further programs (another build of
// Velmora.exe, say) are timed in the same rounds, each against the same empty window.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "BenchClock.h"

namespace {

double Now() { return bench::NowMs(); }

std::wstring Folder() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

struct Found {
  DWORD pid;
  const wchar_t* cls;
  HWND hwnd;
};

HWND VisibleWindowOf(DWORD pid, const wchar_t* cls) {
  Found found{pid, cls, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lparam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t name[64];
        GetClassNameW(hwnd, name, 64);
        if (owner == f->pid && wcscmp(name, f->cls) == 0 && IsWindowVisible(hwnd)) {
          f->hwnd = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

// Windows inside the main window, counted once it answers.
int CountChildWindows(HWND window) {
  int count = 0;
  EnumChildWindows(
      window,
      [](HWND, LPARAM lparam) -> BOOL {
        ++*reinterpret_cast<int*>(lparam);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

// One start: milliseconds until the window shows and answers a message; -1 on failure.
// `windows` receives the number of windows inside it.
double TimeOneStart(const std::wstring& exe, const std::wstring& args, const wchar_t* cls,
                    int* windows = nullptr) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + exe + L"\" " + args;
  double start = Now();
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  double elapsed = -1;
  HWND window = nullptr;
  while (Now() - start < 20000) {
    window = VisibleWindowOf(pi.dwProcessId, cls);
    if (window) {
      DWORD_PTR result;
      // The window answers once its creation and first refresh are over.
      if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 20000, &result)) elapsed = Now() - start;
      if (windows) *windows = CountChildWindows(window);
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 1) != WAIT_TIMEOUT) break;
  }
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return elapsed;
}

double Median(std::vector<double> times) {
  times.erase(std::remove(times.begin(), times.end(), -1.0), times.end());
  if (times.empty()) return -1;
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Report(const std::string& what, std::vector<double> times) {
  times.erase(std::remove(times.begin(), times.end(), -1.0), times.end());
  if (times.empty()) {
    std::printf("%-28s no window appeared\n", what.c_str());
    return;
  }
  std::sort(times.begin(), times.end());
  std::printf("%-28s runs %zu  min %7.1f ms  median %7.1f ms  max %7.1f ms\n", what.c_str(), times.size(),
              times.front(), times[times.size() / 2], times.back());
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

LRESULT CALLBACK EmptyProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

int EmptyWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = EmptyProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VelmoraBenchEmpty";
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"empty", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 700,
                              550, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"--empty-window") return EmptyWindow();
  int runs = argc > 1 ? _wtoi(argv[1]) : 7;
  if (runs < 1) runs = 7;
  std::vector<std::wstring> programs;
  for (int i = 2; i < argc; ++i) programs.push_back(argv[i]);
  if (programs.empty()) programs.push_back(Folder() + L"Velmora.exe");
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::vector<double> empty;
  std::vector<std::vector<double>> times(programs.size());
  std::vector<int> windows(programs.size(), -1);
  for (const std::wstring& program : programs) TimeOneStart(program, L"", L"VelmoraForm");  // warm the file cache
  for (int i = 0; i < runs; ++i) {
    empty.push_back(TimeOneStart(self, L"--empty-window", L"VelmoraBenchEmpty"));
    for (size_t p = 0; p < programs.size(); ++p)
      times[p].push_back(TimeOneStart(programs[p], L"", L"VelmoraForm", &windows[p]));
  }
  Report("empty Win32 window", empty);
  const double empty_median = Median(empty);
  for (size_t p = 0; p < programs.size(); ++p) {
    std::string name = programs.size() == 1 ? std::string("Velmora.exe main window") : Narrow(programs[p]);
    Report(name, times[p]);
    const double median = Median(times[p]);
    if (median > 0 && empty_median > 0)
      std::printf("%-28s ratio of medians %.2f x the empty window; %d windows inside the main window\n", "",
                  median / empty_median, windows[p]);
  }
  return 0;
}
