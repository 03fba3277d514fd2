// The real version-info reader against the built program file and a few files made
// on the spot.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "build_settings.h"
#include "common/FileInfoUtils.h"
#include "platform/win32/Win32VersionResources.h"

namespace {

std::string ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// Folder of the running test program, with its trailing backslash.
std::wstring OwnFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The program file built next to the test program.
std::wstring ProgramFile() {
  const std::string name = VELMORA_EXE_PATH;
  return OwnFolder() + std::wstring(name.begin(), name.end());
}

// A scratch file in the temporary folder, removed at the end of the test.
class ScratchFile {
 public:
  explicit ScratchFile(const std::wstring& name) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    path_ = std::wstring(folder) + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
  }
  ~ScratchFile() { DeleteFileW(path_.c_str()); }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

TEST(VersionResourcesWin32Test, ProgramFileCarriesTheBuildSettings) {
  platform::win32::Win32VersionResources versions;
  const std::string program = ToUtf8(ProgramFile());
  ASSERT_NE(GetFileAttributesW(ProgramFile().c_str()), INVALID_FILE_ATTRIBUTES) << program;

  EXPECT_EQ(common::GetFileVersion(versions, program), VELMORA_VERSION);
  EXPECT_EQ(common::GetCompanyName(versions, program), VELMORA_COMPANY_NAME);
  EXPECT_EQ(common::GetLegalCopyright(versions, program), VELMORA_LEGAL_COPYRIGHT);
  EXPECT_EQ(common::GetFileInfoString(versions, program, "ProductName"), "Velmora");
}

TEST(VersionResourcesWin32Test, LoadGivesTheRawVersionBlock) {
  platform::win32::Win32VersionResources versions;
  const std::optional<std::vector<uint8_t>> block = versions.Load(ToUtf8(ProgramFile()));
  ASSERT_TRUE(block.has_value());
  ASSERT_GE(block->size(), 6u + 32u);
  const size_t length = static_cast<size_t>((*block)[0] | ((*block)[1] << 8));
  EXPECT_LE(length, block->size());
  const std::u16string key = u"VS_VERSION_INFO";
  for (size_t i = 0; i < key.size(); ++i) {
    const char16_t unit = static_cast<char16_t>((*block)[6 + 2 * i] | ((*block)[7 + 2 * i] << 8));
    EXPECT_EQ(unit, key[i]) << "key unit " << i;
  }
}

// The running program's own block comes from its image, without the version library;
// it must be the block the system reads from the file, however the path is spelt.
TEST(VersionResourcesWin32Test, OwnFileReadsAsTheSystemReadsIt) {
  std::wstring own(MAX_PATH, L'\0');
  own.resize(GetModuleFileNameW(nullptr, own.data(), MAX_PATH));
  ASSERT_FALSE(own.empty());
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(own.c_str(), &ignored);
  ASSERT_GT(size, 6u);
  std::vector<uint8_t> system(size);
  ASSERT_TRUE(GetFileVersionInfoW(own.c_str(), 0, size, system.data()));
  const size_t length = static_cast<size_t>(system[0] | (system[1] << 8));
  ASSERT_LE(length, system.size());

  std::wstring upper = own;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  platform::win32::Win32VersionResources versions;
  for (const std::wstring& path : {own, upper}) {
    const std::optional<std::vector<uint8_t>> block = versions.Load(ToUtf8(path));
    ASSERT_TRUE(block.has_value()) << ToUtf8(path);
    ASSERT_GE(block->size(), length);
    EXPECT_TRUE(std::equal(system.begin(), system.begin() + static_cast<std::ptrdiff_t>(length), block->begin()))
        << ToUtf8(path);
    EXPECT_EQ(common::GetFileVersion(versions, ToUtf8(path)), "9.8.7.6");
    EXPECT_EQ(common::GetFileInfoString(versions, ToUtf8(path), "ProductName"), "velmora_wintests");
  }
}

TEST(VersionResourcesWin32Test, PathIsTakenAsUtf8) {
  // A copy of the program under a Cyrillic name.
  ScratchFile copy(L"\u0412\u0435\u043B\u044C\u043C\u043E\u0440\u0430.exe");
  ASSERT_TRUE(CopyFileW(ProgramFile().c_str(), copy.path().c_str(), FALSE));
  platform::win32::Win32VersionResources versions;
  EXPECT_EQ(common::GetFileVersion(versions, ToUtf8(copy.path())), VELMORA_VERSION);
  EXPECT_EQ(common::GetCompanyName(versions, ToUtf8(copy.path())), VELMORA_COMPANY_NAME);
}

TEST(VersionResourcesWin32Test, FilesWithoutVersionResourceGiveNothing) {
  ScratchFile text(L"plain.txt");
  const HANDLE handle = CreateFileW(text.path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(handle, "not a program", 13, &written, nullptr);
  CloseHandle(handle);

  platform::win32::Win32VersionResources versions;
  ScratchFile absent(L"absent.exe");
  for (const std::string& file :
       {ToUtf8(text.path()), ToUtf8(absent.path()), std::string(), std::string("\xFF\xFE.exe")}) {
    EXPECT_FALSE(versions.Load(file).has_value()) << file;
    EXPECT_EQ(common::GetFileVersion(versions, file), "") << file;
    EXPECT_EQ(common::GetCompanyName(versions, file), "") << file;
    EXPECT_EQ(common::GetLegalCopyright(versions, file), "") << file;
  }
}

}  // namespace
