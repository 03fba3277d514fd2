// The progress indicator of a window's taskbar button.
#include <windows.h>
#include <shobjidl.h>

#include "ui/win32/FormPeer.h"

namespace ui::win32 {

void ShowTaskbarProgress(HWND hwnd, const Form::TaskbarProgress& progress) {
  // One object per change: progress changes come a hundred times per download at most.
  ITaskbarList3* taskbar = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                              reinterpret_cast<void**>(&taskbar))))
    return;
  if (SUCCEEDED(taskbar->HrInit())) {
    if (progress.state == Form::TaskbarState::None) {
      taskbar->SetProgressState(hwnd, TBPF_NOPROGRESS);
    } else {
      taskbar->SetProgressState(hwnd, TBPF_NORMAL);
      taskbar->SetProgressValue(hwnd, static_cast<ULONGLONG>(progress.value),
                                static_cast<ULONGLONG>(progress.max));
    }
  }
  taskbar->Release();
}

}  // namespace ui::win32
