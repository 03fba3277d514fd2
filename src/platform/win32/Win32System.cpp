#include "platform/win32/Win32System.h"

#include <winsock2.h>
#include <windows.h>
#include <shlobj.h>
#include <iphlpapi.h>
#include <wininet.h>

#include "platform/OsVersion.h"
#include "platform/win32/Wide.h"
#include "platform/win32/Win32Registry.h"

namespace platform::win32 {

namespace {
// The lock's handle lives as long as the process; the system drops it at exit.
HANDLE g_instance_mutex = nullptr;
}  // namespace

bool Win32System::OpenNamedMutex(const std::string& name) {
  HANDLE h = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, Widen(name).c_str());
  if (!h) return false;
  CloseHandle(h);
  return true;
}

void Win32System::CreateNamedMutex(const std::string& name) {
  g_instance_mutex = CreateMutexW(nullptr, FALSE, Widen(name).c_str());
}

void Win32System::SetThreadLocale(uint32_t lcid) { ::SetThreadLocale(lcid); }

OsVersion Win32System::ReadOsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&info);
#pragma GCC diagnostic pop
  Win32Registry registry;
  return ResolveOsVersion({info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber}, registry);
}

OsVersion Win32System::GetOsVersion() {
  static const OsVersion version = ReadOsVersion();
  return version;
}

std::string Win32System::ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

std::string Win32System::SystemFolder() {
  std::wstring path(MAX_PATH, L'\0');
  UINT n = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
  if (n >= path.size()) {
    path.resize(n);
    n = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
  }
  if (n == 0 || n >= path.size()) return {};
  path.resize(n);
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return Narrow(path);
}

bool Win32System::FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Win32System::AppDataFolder() {
  wchar_t path[MAX_PATH] = L"";
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path))) return {};
  return Narrow(path);
}

unsigned Win32System::AnsiCodePage() { return GetACP(); }

std::string Win32System::TimeSeparator() {
  wchar_t separator[8] = L"";
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8)) return ":";
  return Narrow(separator);
}

namespace {
std::string FromAnsi(const char* text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
  wide.resize(n - 1);
  return Narrow(wide);
}
}  // namespace

std::optional<std::vector<AdapterInfo>> Win32System::AdapterList() {
  ULONG size = 0;
  // Only a "buffer too small" answer means there is a list to read.
  if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return std::vector<AdapterInfo>{};
  std::vector<unsigned char> buffer(size);
  auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
  if (GetAdaptersInfo(first, &size) != ERROR_SUCCESS) return std::nullopt;
  std::vector<AdapterInfo> adapters;
  for (IP_ADAPTER_INFO* a = first; a; a = a->Next) {
    AdapterInfo info;
    info.name.assign(a->AdapterName, strnlen(a->AdapterName, sizeof(a->AdapterName)));
    char description[sizeof(a->Description) + 1] = {};
    memcpy(description, a->Description, sizeof(a->Description));
    info.description = FromAnsi(description);
    UINT length = a->AddressLength < sizeof(a->Address) ? a->AddressLength : sizeof(a->Address);
    info.address.assign(a->Address, a->Address + length);
    adapters.push_back(std::move(info));
  }
  return adapters;
}

std::optional<std::string> Win32System::UserName() {
  wchar_t name[257] = {};
  DWORD size = 257;
  if (!GetUserNameW(name, &size)) return std::nullopt;
  return Narrow(name);
}

std::optional<std::string> Win32System::ComputerDnsHostName() {
  DWORD size = 0;
  GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);
  if (size == 0) return std::nullopt;
  std::wstring name(size, L'\0');
  if (!GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size)) return std::nullopt;
  name.resize(size);
  return Narrow(name);
}

std::string Win32System::HostAddress() {
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return {};
  std::string result;
  char host[256] = {};
  if (gethostname(host, sizeof(host)) == 0) {
    // Each thread has its own result buffer, so the public-address worker may call this.
    hostent* entry = gethostbyname(host);
    if (entry && entry->h_addrtype == AF_INET && entry->h_addr_list && entry->h_addr_list[0]) {
      in_addr address;
      memcpy(&address, entry->h_addr_list[0], sizeof(address));
      result = inet_ntoa(address);
    }
  }
  WSACleanup();
  return result;
}

bool Win32System::InternetSettingsChanged() {
  return InternetSetOptionW(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0) != FALSE;
}

}  // namespace platform::win32
