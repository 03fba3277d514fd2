// Opening documents and links as the signed-in user. The program usually runs with
// administrator rights, and whatever it starts inherits them: a browser or mail
// program opened from its about window would run elevated. The desktop shell runs
// without those rights, so an elevated program asks it to open the target instead.
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

enum class ShellOpenRoute {
  DesktopShell,  // the desktop shell was asked to open it, in the user's own rights
  Direct,        // opened by this process
  Failed,        // neither way could open it
};

// True when this process runs with administrator rights that the user's other
// programs do not have.
bool ProcessIsElevated();

// Asks the desktop shell (the shell's own desktop window and its view) to open the
// target with the "open" verb. False when there is no desktop shell to ask (no shell
// desktop window, or another shell) or it refused.
bool OpenThroughDesktopShell(const std::wstring& target);

// Opens the target with the "open" verb in this process's own rights (ShellExecuteW),
// `owner` owning any box the shell shows. False when the shell could not open it.
bool OpenDirectly(HWND owner, const std::wstring& target);

// Opens the target with the "open" verb: while elevated through the desktop shell,
// else (or when the desktop shell cannot be asked) directly.
ShellOpenRoute OpenAsUser(HWND owner, const std::wstring& target);

}  // namespace platform::win32
