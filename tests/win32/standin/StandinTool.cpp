// A stand-in for the system's console tools in the repair tests. Copied under the
// name of the tool it replaces (net.exe, netsh.exe, powershell.exe, ...) into the
// system folder, it appends one line to the file named by VELMORA_STANDIN_LOG:
//   own path TAB program part TAB parameters TAB argument 1 TAB argument 2 ...
// (the full path of the file that runs, the program part of the command line as the
// parent wrote it, the parameters as they follow it, then the arguments as a program
// splits them), then waits and exits as the first matching line of the file named by
// VELMORA_STANDIN_RULES says (name: the file name without ".exe", in lower case):
//   exit-code sleep-ms text   (text: a part of "name parameters")
#include <windows.h>
#include <shellapi.h>

#include <cwctype>
#include <sstream>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Env(const wchar_t* name) {
  wchar_t value[1024];
  DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n && n < 1024 ? std::wstring(value, n) : std::wstring();
}

// Where the program part of the command line ends.
const wchar_t* AfterProgram(const wchar_t* line) {
  const wchar_t* p = line;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  return p;
}

// The command line after the program part, as the parent wrote it.
std::wstring Parameters(const wchar_t* line) {
  const wchar_t* p = AfterProgram(line);
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace

int wmain() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring own_path(path, length);
  std::wstring name = own_path;
  name = name.substr(name.find_last_of(L"\\/") + 1);
  if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0) name.resize(name.size() - 4);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));

  const wchar_t* line = GetCommandLineW();
  std::wstring params = Parameters(line);
  std::wstring program_part(line, AfterProgram(line));
  std::wstring record = own_path + L"\t" + program_part + L"\t" + params;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(line, &argc);
  for (int i = 1; argv && i < argc; ++i) record += std::wstring(L"\t") + argv[i];
  if (argv) LocalFree(argv);
  std::string bytes = Utf8(record) + "\n";

  std::wstring log = Env(L"VELMORA_STANDIN_LOG");
  if (!log.empty()) {
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
      CloseHandle(file);
    }
  }

  std::wstring rules = Env(L"VELMORA_STANDIN_RULES");
  std::string subject = Utf8(name + L" " + params);
  std::string rules_text;
  HANDLE rules_file = rules.empty() ? INVALID_HANDLE_VALUE
                                    : CreateFileW(rules.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (rules_file != INVALID_HANDLE_VALUE) {
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(rules_file, chunk, sizeof chunk, &got, nullptr) && got) rules_text.append(chunk, got);
    CloseHandle(rules_file);
  }
  std::istringstream in(rules_text);
  std::string rule;
  while (std::getline(in, rule)) {
    std::istringstream fields(rule);
    unsigned long code = 0, sleep_ms = 0;
    std::string text;
    if (!(fields >> code >> sleep_ms)) continue;
    std::getline(fields >> std::ws, text);
    if (!text.empty() && subject.find(text) != std::string::npos) {
      if (sleep_ms) Sleep(static_cast<DWORD>(sleep_ms));
      return static_cast<int>(code);
    }
  }
  return 0;
}
