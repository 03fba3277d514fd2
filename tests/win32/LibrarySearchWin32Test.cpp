// Libraries are looked for in the system folder only: a file of a library's name beside
// the program or in the current folder is not loaded by name. The test executable's
// entry limits the search as the program's entry does.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win32/Win32TestSupport.h"

namespace {

TEST(LibrarySearchWin32, ALibraryBesideTheProgramOrInTheCurrentFolderIsNotLoadedByName) {
  // Any loadable image serves as the planted library.
  std::wstring image = win32_test::ExeFolder() + L"velmora_standin.exe";
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring current = std::wstring(temp) + L"velmora-library-search";
  CreateDirectoryW(current.c_str(), nullptr);
  wchar_t old_dir[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, old_dir);
  struct Place {
    const wchar_t* name;
    std::wstring folder;
  } places[] = {{L"velmora_planted_a.dll", win32_test::ExeFolder()},
                {L"velmora_planted_b.dll", current + L"\\"}};
  ASSERT_TRUE(SetCurrentDirectoryW(current.c_str()));
  for (const Place& place : places) {
    std::wstring path = place.folder + place.name;
    ASSERT_TRUE(CopyFileW(image.c_str(), path.c_str(), FALSE));
    // The file itself can be mapped: only the search keeps it out.
    HMODULE direct = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(direct, nullptr);
    if (direct) FreeLibrary(direct);
    HMODULE by_name = LoadLibraryW(place.name);
    EXPECT_EQ(by_name, nullptr) << "loaded from " << (&place == places ? "the program's folder" : "the current folder");
    if (by_name) FreeLibrary(by_name);
    DeleteFileW(path.c_str());
  }
  SetCurrentDirectoryW(old_dir);
  RemoveDirectoryW(current.c_str());
  // The system's own libraries are still found by name.
  HMODULE system_library = LoadLibraryW(L"version.dll");
  EXPECT_NE(system_library, nullptr);
  if (system_library) FreeLibrary(system_library);
}

}  // namespace
