// The program's worker threads, known in one place. A worker never touches a
// component: it hands each change to the UI thread with Synchronize and waits for it.
// When the windows go away (Close), every hand-over still waiting and every one asked
// for later is dropped, never run, and the worker is released at once. Workers are
// not waited for: they keep a share of this registry, so nothing they use from it can
// be freed under them.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace ui {

class Workers;

// What a worker holds: the way to the UI thread. Valid for the worker's whole life,
// also after the windows are gone.
class WorkerLink {
 public:
  // Runs fn on the UI thread and waits for it; on the UI thread it runs at once.
  // False when it was dropped because the windows are gone. An error escaping fn
  // reaches the caller.
  bool Synchronize(std::function<void()> fn) const;
  // Hands fn to the UI thread without waiting for it (progress that must not hold up
  // the worker). False when the windows are gone; an error escaping fn is dropped.
  bool Post(std::function<void()> fn) const;
  // True once the windows are gone: a worker may end early.
  bool Closed() const;
  // Workers of that name (all when empty) that have not ended yet; also known after
  // the application is gone.
  int Running(const std::string& name = {}) const;

 private:
  friend class Workers;
  struct Hub;
  explicit WorkerLink(std::shared_ptr<Hub> hub) : hub_(std::move(hub)) {}
  std::shared_ptr<Hub> hub_;
};

class Workers {
 public:
  // `wake` asks the UI thread to call RunHandovers soon; it is called from worker
  // threads and must only post.
  explicit Workers(std::function<void()> wake);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Starts a worker named after its job; it ends by itself.
  void Start(const std::string& name, std::function<void(const WorkerLink&)> body);
  // Workers of that name (all when empty) that have not ended yet.
  int Running(const std::string& name = {}) const { return Link().Running(name); }
  // Hand-overs waiting for the UI thread.
  int Waiting() const;
  WorkerLink Link() const { return WorkerLink(hub_); }

  // On the UI thread: runs the hand-overs waiting, in the order they were made.
  void RunHandovers();
  // On the UI thread, when the windows go away: drops what waits and what comes.
  void Close();
  bool Closed() const;

 private:
  std::shared_ptr<WorkerLink::Hub> hub_;
};

}  // namespace ui
