#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "common/DetachedThread.h"

namespace {

bool WaitFor(const std::atomic<bool>& flag) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!flag) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

// A thread started just as the one before it ends is where a thread made joinable and
// detached afterwards could lose its body in the Windows build.
TEST(DetachedThread, EveryThreadRunsItsBodyAlsoWhenStartedAsTheLastOneEnds) {
  for (int round = 0; round < 150; ++round) {
    auto first = std::make_shared<std::atomic<bool>>(false);
    auto second = std::make_shared<std::atomic<bool>>(false);
    common::StartDetachedThread([first] { *first = true; });
    ASSERT_TRUE(WaitFor(*first)) << "round " << round;
    common::StartDetachedThread([second] { *second = true; });
    ASSERT_TRUE(WaitFor(*second)) << "round " << round;
  }
}

TEST(DetachedThread, TheBodyIsReleasedOnceItHasRun) {
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  std::atomic<bool> ran{false};
  common::StartDetachedThread([token = std::move(token), &ran] { ran = true; });
  ASSERT_TRUE(WaitFor(ran));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!watch.expired() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
