// Links of the about window open as the user: an elevated program asks the desktop
// shell to open them and, where there is no desktop shell to ask, opens them itself.
// Wine's desktop answers the shell's window list, so both ways are tried here.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "platform/win32/UserShell.h"
#include "platform/win32/Wide.h"
#include "ui/Application.h"
#include "ui/win32/Win32Host.h"
#include "win32/Win32TestSupport.h"

namespace {

using platform::win32::Narrow;
using platform::win32::ShellOpenRoute;

// A "document" whose opening leaves a marker file: a batch file, which the shell's
// "open" verb runs. It needs nothing of this process (no environment, no console), so
// it shows the same whether this process or the desktop shell opened it.
struct OpenedMarker {
  std::wstring folder, target, marker;
  explicit OpenedMarker(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = temp;
    target = folder + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L".bat";
    marker = target + L".opened";
    DeleteFileW(marker.c_str());
    std::ofstream(Narrow(target), std::ios::binary) << "@echo opened> \"" << Narrow(marker) << "\"\r\n";
  }
  ~OpenedMarker() {
    DeleteFileW(target.c_str());
    DeleteFileW(marker.c_str());
  }
  // Waits for the started batch file to write its marker (it runs in a process of its
  // own); false after 20 s.
  bool Opened() const {
    for (int i = 0; i < 400; ++i) {
      if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
      Sleep(50);
    }
    return false;
  }
};

const char* RouteName(ShellOpenRoute route) {
  switch (route) {
    case ShellOpenRoute::DesktopShell: return "desktop shell";
    case ShellOpenRoute::Direct: return "this process";
    default: return "failed";
  }
}

TEST(UserShellWin32, TheHostsShellOpenStillOpensTheTarget) {
  ui::win32::Win32Host host;
  ui::Application application(host);
  OpenedMarker link(L"velmora-host-link");
  host.ShellOpen(nullptr, Narrow(link.target));
  EXPECT_TRUE(link.Opened()) << "the about window's links go through this call";
}

TEST(UserShellWin32, WhileElevatedTheDesktopShellIsAskedFirst) {
  // A Wine prefix always runs elevated, so the desktop shell is tried first.
  ASSERT_TRUE(platform::win32::ProcessIsElevated());
  OpenedMarker link(L"velmora-user-link");
  const ShellOpenRoute route = platform::win32::OpenAsUser(nullptr, link.target);
  std::printf("opened through: %s\n", RouteName(route));
  EXPECT_NE(route, ShellOpenRoute::Failed);
  EXPECT_TRUE(link.Opened()) << RouteName(route);
}

TEST(UserShellWin32, TheDesktopShellOpensTheTargetWhereItCanBeAsked) {
  OpenedMarker link(L"velmora-desktop-link");
  if (!platform::win32::OpenThroughDesktopShell(link.target)) GTEST_SKIP() << "no desktop shell to ask here";
  EXPECT_TRUE(link.Opened()) << "the desktop shell said yes, so the target must open";
}

// The way taken without a desktop shell, or when not elevated. (A missing target is
// not tried: the shell would show its own error box and wait for an answer.)
TEST(UserShellWin32, OpenedDirectlyTheTargetOpens) {
  OpenedMarker link(L"velmora-direct-link");
  EXPECT_TRUE(platform::win32::OpenDirectly(nullptr, link.target));
  EXPECT_TRUE(link.Opened());
}

}  // namespace
