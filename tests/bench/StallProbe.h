// The longest stretch the UI thread goes without handling messages. A thread posts a
// time-stamped message to a message-only window of the UI thread whenever the previous
// one has been handled, at most one per millisecond; the window notes how long each
// waited. The longest wait is the longest stretch in which nothing was handled (to
// within a millisecond), whatever the UI thread was doing: a load, a paced message run,
// a modal loop.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "BenchClock.h"

namespace bench {

class StallProbe {
 public:
  // Made on the UI thread it measures.
  StallProbe() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelmoraStallProbe";
    RegisterClassW(&wc);  // fails harmlessly when a second probe registers it again
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~StallProbe() {
    Stop();
    DestroyWindow(window_);
  }
  StallProbe(const StallProbe&) = delete;
  StallProbe& operator=(const StallProbe&) = delete;

  // Starts measuring afresh.
  void Start() {
    Stop();
    longest_ = 0;
    longest_end_ = 0;
    handled_ = 0;
    started_ = NowMs();
    outstanding_ = false;
    running_ = true;
    poster_ = std::thread([this] {
      while (running_) {
        if (!outstanding_.exchange(true)) PostMessageW(window_, WM_APP, 0, Stamp(NowMs()));
        Sleep(1);
      }
    });
  }
  void Stop() {
    running_ = false;
    if (poster_.joinable()) poster_.join();
  }
  double LongestMs() const { return longest_; }
  // Prints every stretch over 20 ms as it ends (to find where they come from).
  void SetLog(bool log) { log_ = log; }
  // When the longest stretch ended, in milliseconds after Start.
  double LongestEndedMs() const { return longest_end_; }
  long Handled() const { return handled_; }

 private:
  static LPARAM Stamp(double ms) { return static_cast<LPARAM>(ms * 1000.0); }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_APP) {
      auto* self = reinterpret_cast<StallProbe*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      if (self) {
        const double now = NowMs();
        const double waited = now - static_cast<double>(lparam) / 1000.0;
        if (waited > 20 && self->log_) std::fprintf(stderr, "  stretch %.1f ms ending at %.1f ms\n", waited, now - self->started_);
        if (waited > self->longest_) {
          self->longest_ = waited;
          self->longest_end_ = now - self->started_;
        }
        ++self->handled_;
        self->outstanding_ = false;
      }
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
  }

  HWND window_ = nullptr;
  std::thread poster_;
  std::atomic<bool> running_{false};
  std::atomic<bool> outstanding_{false};
  // Read and written on the UI thread only.
  double started_ = 0;
  double longest_ = 0;
  double longest_end_ = 0;
  long handled_ = 0;
  bool log_ = false;
};

}  // namespace bench
