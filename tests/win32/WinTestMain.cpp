// Entry of the Windows test executable: libraries load as in the program itself.
#include <gtest/gtest.h>
#include <windows.h>

int main(int argc, char** argv) {
  // As the program's entry does first: system libraries from the system folder only.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
