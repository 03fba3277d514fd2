// Start-up benchmark: time from process creation to a visible, answering main window,
// for Velmora.exe and for an empty Win32 window made by this program itself. Prints
// the minimum, median and maximum of several runs, the ratio of the medians, and how
// many windows the main window holds once it answers. Not a test: nothing here passes
// or fails; scripts/bench.sh runs it under Wine.
//
// Usage: velmora_bench [runs] [program.exe ...] — further programs (another build of
// Velmora.exe, say) are timed in the same rounds, each against the same empty window.
#include <windows.h>
#include <psapi.h>
#ifdef VELMORA_BENCH_STYLED
#include <commctrl.h>
#endif

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

// Private memory of a process in megabytes; -1 when the system does not say. Windows
// gives the same figure as PrivateUsage and PagefileUsage (the commit charge); Wine
// leaves PrivateUsage at 0 for another process and gives its anonymous resident memory
// as PagefileUsage.
double PrivateMegabytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
    return -1;
  const SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
  return bytes ? static_cast<double>(bytes) / (1024.0 * 1024.0) : -1;
}

struct Name {
  const wchar_t* name;
  HWND found;
};

// A control of another process's window by its component name (the peers keep it as
// a window property holding an atom).
HWND FindNamed(HWND root, const wchar_t* name) {
  Name search{name, nullptr};
  EnumChildWindows(
      root,
      [](HWND hwnd, LPARAM lparam) -> BOOL {
        auto* s = reinterpret_cast<Name*>(lparam);
        auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(hwnd, L"VelmoraName")));
        wchar_t text[128];
        if (atom && GlobalGetAtomNameW(atom, text, 128) && wcscmp(text, s->name) == 0) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Memory of one start, in megabytes: once the window answers, and after every page has
// been shown and has answered.
struct Memory {
  double started = -1;
  double all_pages = -1;
};

// One start: milliseconds until the window shows and answers a message; -1 on failure.
// `windows` receives the number of windows inside it; `memory`, when given, what the
// process holds after start-up and after a visit of every page.
double TimeOneStart(const std::wstring& exe, const std::wstring& args, const wchar_t* cls,
                    int* windows = nullptr, Memory* memory = nullptr) {
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
      if (memory) {
        memory->started = PrivateMegabytes(pi.hProcess);
        // The pages as a user would open them, the first page last.
        for (const wchar_t* page : {L"ButtonDNS", L"ButtonNetworkProfiles", L"ButtonUsefulCommands", L"ButtonProxy"})
          if (HWND button = FindNamed(window, page)) SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 20000, &result);
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result);
        memory->all_pages = PrivateMegabytes(pi.hProcess);
      }
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
#ifdef VELMORA_BENCH_STYLED
  // The common controls as the program's host loads them.
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                            ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
#endif
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
  std::vector<double> empty, styled;
  // The second reference, built beside this program; missing: not measured.
  const std::wstring styled_exe = Folder() + L"velmora_bench_styled.exe";
  const bool have_styled = GetFileAttributesW(styled_exe.c_str()) != INVALID_FILE_ATTRIBUTES;
  std::vector<std::vector<double>> times(programs.size());
  std::vector<int> windows(programs.size(), -1);
  std::vector<double> empty_started, empty_pages, started, pages;  // megabytes, of the first program
  for (const std::wstring& program : programs) TimeOneStart(program, L"", L"VelmoraForm");  // warm the file cache
  for (int i = 0; i < runs; ++i) {
    Memory memory;
    empty.push_back(TimeOneStart(self, L"--empty-window", L"VelmoraBenchEmpty", nullptr, &memory));
    empty_started.push_back(memory.started);
    empty_pages.push_back(memory.all_pages);
    if (have_styled) styled.push_back(TimeOneStart(styled_exe, L"--empty-window", L"VelmoraBenchEmpty"));
    for (size_t p = 0; p < programs.size(); ++p) {
      memory = Memory{};
      times[p].push_back(TimeOneStart(programs[p], L"", L"VelmoraForm", &windows[p], p == 0 ? &memory : nullptr));
      if (p == 0) {
        started.push_back(memory.started);
        pages.push_back(memory.all_pages);
      }
    }
  }
  Report("empty Win32 window", empty);
  if (have_styled) Report("same, visual styles", styled);
  const double empty_median = Median(empty);
  const double styled_median = have_styled ? Median(styled) : -1;
  for (size_t p = 0; p < programs.size(); ++p) {
    std::string name = programs.size() == 1 ? std::string("Velmora.exe main window") : Narrow(programs[p]);
    Report(name, times[p]);
    const double median = Median(times[p]);
    if (median > 0 && empty_median > 0)
      std::printf("%-28s ratio of medians %.2f x the empty window; %d windows inside the main window\n", "",
                  median / empty_median, windows[p]);
  }
  // The rows of the benchmark table (scripts/bench.sh), for the first program.
  const double median = Median(times[0]);
  if (median > 0 && empty_median > 0)
    std::printf("| start-up to a painted, answering main window (median of %d) | %.1f ms | empty Win32 window %.1f ms: "
                "%.2f x | <= 1.5 x |\n",
                runs, median, empty_median, median / empty_median);
  if (median > 0 && styled_median > 0)
    std::printf("| the same against an empty window with the program's manifest and common controls | %.1f ms | "
                "empty window with visual styles %.1f ms: %.2f x | - |\n",
                median, styled_median, median / styled_median);
  const double mem_started = Median(started), mem_pages = Median(pages);
  const double ref_started = Median(empty_started), ref_pages = Median(empty_pages);
  if (mem_started > 0 && ref_started > 0) {
    std::printf("| private memory after start-up | %.1f MB | empty Win32 window %.1f MB: %.2f x | <= 15 MB |\n",
                mem_started, ref_started, mem_started / ref_started);
    std::printf("| private memory after visiting every page | %.1f MB | empty Win32 window %.1f MB: %.2f x | <= 15 MB |\n",
                mem_pages, ref_pages, mem_pages / ref_pages);
  } else {
    std::printf("| private memory | not reported by the system | - | <= 15 MB |\n");
  }
  return 0;
}
