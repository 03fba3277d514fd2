// A thread that nobody waits for, made detached from its start.
//
// A thread made joinable and detached afterwards (std::thread(...).detach()) races,
// in the Windows build's pthreads library, with its own end: when it ends before it
// is detached, its slot goes back to the pool twice, and the thread started next can
// find its slot wiped before it reaches its function and end without running it.
// A thread created detached is given back once, by itself.
#pragma once

#include <functional>

namespace common {

// Runs body on a new detached thread. Throws std::system_error when the system
// cannot start a thread; body is then not run. body must not let an error escape.
void StartDetachedThread(std::function<void()> body);

}  // namespace common
