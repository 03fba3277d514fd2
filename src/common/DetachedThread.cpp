#include "common/DetachedThread.h"

#include <pthread.h>

#include <memory>
#include <system_error>

namespace common {

namespace {

void* RunBody(void* raw) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(raw));
  (*body)();
  return nullptr;
}

}  // namespace

void StartDetachedThread(std::function<void()> body) {
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  pthread_attr_t attributes;
  int error = pthread_attr_init(&attributes);
  if (error == 0) {
    error = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    if (error == 0) error = pthread_create(&thread, &attributes, RunBody, owned.get());
    pthread_attr_destroy(&attributes);
  }
  if (error != 0) throw std::system_error(error, std::generic_category(), "cannot start a thread");
  owned.release();  // the thread owns it now
}

}  // namespace common
