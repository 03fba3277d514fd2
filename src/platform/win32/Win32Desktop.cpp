#include "platform/win32/Win32Desktop.h"

#include <windows.h>
#include <bcrypt.h>
#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

#include "platform/win32/Wide.h"
#include "platform/win32/UserShell.h"
#include "platform/win32/Win32Processes.h"

namespace platform::win32 {

namespace {

// Full control for the system and administrators only, not inherited from the parent:
// an ordinary process of the same user can neither add nor change a file here.
constexpr wchar_t kAdministratorsOnly[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

class Win32HeldFile : public platform::HeldFile {
 public:
  Win32HeldFile(std::string path, HANDLE handle) : path_(std::move(path)), handle_(handle) {}
  ~Win32HeldFile() override { CloseHandle(handle_); }
  const std::string& Path() const override { return path_; }

 private:
  std::string path_;
  HANDLE handle_;
};

bool WriteAll(HANDLE file, const std::vector<uint8_t>& data) {
  size_t done = 0;
  while (done < data.size()) {
    DWORD piece = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20)), written = 0;
    if (!WriteFile(file, data.data() + done, piece, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return FlushFileBuffers(file) != 0;
}

bool ReadsBackAs(HANDLE file, const std::vector<uint8_t>& data) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || static_cast<uint64_t>(size.QuadPart) != data.size()) return false;
  std::vector<uint8_t> buffer(1u << 16);
  size_t at = 0;
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) return false;
    if (read == 0) break;
    if (at + read > data.size() || !std::equal(buffer.begin(), buffer.begin() + read, data.begin() + at))
      return false;
    at += read;
  }
  return at == data.size();
}

class Win32UpdateFolder : public platform::UpdateFolder {
 public:
  explicit Win32UpdateFolder(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const override { return path_; }

  std::unique_ptr<platform::HeldFile> Write(const std::string& name, const std::vector<uint8_t>& data) override {
    const std::string path = path_ + name;
    const std::wstring wide = Widen(path);
    // A new file only: nothing that was there before is taken over.
    HANDLE writer = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writer == INVALID_HANDLE_VALUE) return nullptr;
    bool written = WriteAll(writer, data);
    CloseHandle(writer);
    // Held for reading, sharing reading only: the program it is handed to can read and
    // run it, nobody can change, replace or delete it.
    HANDLE reader = written ? CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr)
                            : INVALID_HANDLE_VALUE;
    // What is held is what was checked: it is read back through the held handle.
    if (reader != INVALID_HANDLE_VALUE && ReadsBackAs(reader, data))
      return std::make_unique<Win32HeldFile>(path, reader);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    DeleteFileW(wide.c_str());
    return nullptr;
  }

 private:
  std::string path_;
};

bool RandomName(wchar_t* out, size_t size) {
  unsigned char bytes[8];
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof(bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return false;
  std::swprintf(out, size, L"Velmora-update-%02x%02x%02x%02x%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2],
                bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
  return true;
}

}  // namespace

std::unique_ptr<platform::UpdateFolder> Win32Desktop::CreateUpdateFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(static_cast<DWORD>(std::size(temp)), temp);
  if (length == 0 || length > MAX_PATH) return nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const bool elevated = ProcessIsElevated();
  if (elevated &&
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1, &descriptor, nullptr))
    return nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  std::unique_ptr<platform::UpdateFolder> folder;
  // A name nobody could have guessed, and a folder that did not exist before.
  for (int attempt = 0; attempt < 8 && !folder; ++attempt) {
    wchar_t name[64];
    if (!RandomName(name, std::size(name))) break;
    std::wstring path = std::wstring(temp) + name;
    if (CreateDirectoryW(path.c_str(), elevated ? &attributes : nullptr))
      folder = std::make_unique<Win32UpdateFolder>(Narrow(path) + "\\");
    else if (GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  if (descriptor) LocalFree(descriptor);
  return folder;
}

platform::StartResult Win32Desktop::Start(const std::string& program, const std::string& parameters, bool hidden) {
  platform::StartResult result;
  std::wstring file = Widen(program), params = Widen(parameters);
  std::wstring folder = file.substr(0, file.find_last_of(L'\\') + 1);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = params.empty() ? nullptr : params.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    result.error = SystemErrorText(GetLastError());
    // Some texts name the file as "%1".
    size_t insert = result.error.find("%1");
    if (insert != std::string::npos)
      result.error.replace(insert, 2, program.substr(program.find_last_of('\\') + 1));
    return result;
  }
  if (info.hProcess) CloseHandle(info.hProcess);
  result.started = true;
  return result;
}

std::string Win32Desktop::SystemFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryW(path, static_cast<UINT>(std::size(path)));
  if (length == 0 || length > MAX_PATH) return {};
  std::string folder = Narrow(std::wstring(path, length));
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

unsigned Win32Desktop::OemCodePage() { return GetOEMCP(); }

void Win32Desktop::ExitProcessNow() { ExitProcess(0); }

}  // namespace platform::win32
