#include "ui/Workers.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "common/DetachedThread.h"

namespace ui {

struct WorkerLink::Hub {
  struct Handover {
    std::function<void()> fn;
    bool done = false;
    bool ran = false;
    std::exception_ptr error;
  };
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> wake;
  std::thread::id ui_thread;
  bool open = true;
  std::deque<std::shared_ptr<Handover>> pending;
  std::map<std::string, int> running;
};


bool WorkerLink::Synchronize(std::function<void()> fn) const {
  Hub& hub = *hub_;
  if (std::this_thread::get_id() == hub.ui_thread) {
    if (Closed()) return false;
    fn();
    return true;
  }
  auto handover = std::make_shared<Hub::Handover>();
  handover->fn = std::move(fn);
  std::unique_lock lock(hub.mutex);
  if (!hub.open) return false;
  hub.pending.push_back(handover);
  hub.wake();
  hub.changed.wait(lock, [&] { return handover->done; });
  if (handover->error) std::rethrow_exception(handover->error);
  return handover->ran;
}

bool WorkerLink::Post(std::function<void()> fn) const {
  Hub& hub = *hub_;
  auto handover = std::make_shared<Hub::Handover>();
  handover->fn = std::move(fn);
  std::lock_guard lock(hub.mutex);
  if (!hub.open) return false;
  hub.pending.push_back(handover);
  hub.wake();
  return true;
}

bool WorkerLink::Closed() const {
  std::lock_guard lock(hub_->mutex);
  return !hub_->open;
}

Workers::Workers(std::function<void()> wake) : hub_(std::make_shared<WorkerLink::Hub>()) {
  hub_->wake = std::move(wake);
  hub_->ui_thread = std::this_thread::get_id();
}

Workers::~Workers() { Close(); }

void Workers::Start(const std::string& name, std::function<void(const WorkerLink&)> body) {
  {
    std::lock_guard lock(hub_->mutex);
    ++hub_->running[name];
  }
  auto started = [hub = hub_, name, body = std::move(body)] {
    try {
      body(WorkerLink(hub));
    } catch (...) {
      // A worker reports nothing by itself; what it wants shown it hands over.
    }
    std::lock_guard lock(hub->mutex);
    if (--hub->running[name] == 0) hub->running.erase(name);
    hub->changed.notify_all();
  };
  try {
    common::StartDetachedThread(std::move(started));
  } catch (...) {
    std::lock_guard lock(hub_->mutex);
    if (--hub_->running[name] == 0) hub_->running.erase(name);
    throw;
  }
}

int Workers::Waiting() const {
  std::lock_guard lock(hub_->mutex);
  return static_cast<int>(hub_->pending.size());
}

int WorkerLink::Running(const std::string& name) const {
  std::lock_guard lock(hub_->mutex);
  if (!name.empty()) {
    auto it = hub_->running.find(name);
    return it == hub_->running.end() ? 0 : it->second;
  }
  int total = 0;
  for (const auto& [job, count] : hub_->running) total += count;
  return total;
}

void Workers::RunHandovers() {
  // Only the hand-overs waiting now: a worker that posts as fast as they run would
  // otherwise keep the UI thread here for good. Each later one has a wake of its own.
  size_t waiting;
  {
    std::lock_guard lock(hub_->mutex);
    waiting = hub_->pending.size();
  }
  for (; waiting > 0; --waiting) {
    std::shared_ptr<WorkerLink::Hub::Handover> next;
    {
      std::lock_guard lock(hub_->mutex);
      if (!hub_->open || hub_->pending.empty()) return;
      next = std::move(hub_->pending.front());
      hub_->pending.pop_front();
    }
    try {
      next->fn();
    } catch (...) {
      next->error = std::current_exception();
    }
    std::lock_guard lock(hub_->mutex);
    next->ran = true;
    next->done = true;
    hub_->changed.notify_all();
  }
}

void Workers::Close() {
  std::lock_guard lock(hub_->mutex);
  if (!hub_->open) return;
  hub_->open = false;
  for (auto& handover : hub_->pending) handover->done = true;
  hub_->pending.clear();
  // The wake function belongs to the UI host, which may go next.
  hub_->wake = [] {};
  hub_->changed.notify_all();
}

bool Workers::Closed() const { return WorkerLink(hub_).Closed(); }

}  // namespace ui
