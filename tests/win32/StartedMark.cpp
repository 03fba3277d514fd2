// The first thing the Windows test executable does: it marks that it has started, so
// that its launcher can tell a process Wine never started from a test that ran
// (scripts/wine-test-launch.sh).
#include <windows.h>

namespace {

__attribute__((constructor)) void MarkStarted() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(L"VELMORA_TEST_STARTED", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace
