// For tests that wait on threads: ends the test process with a message when
// the guarded scope is still running after its limit, so a deadlock fails the
// test instead of hanging it (a thread stuck in a wait cannot be joined, and
// a user-interface thread that is stuck cannot wait itself out).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace padlink::testing {

class HangGuard {
  public:
    HangGuard(std::chrono::seconds limit, std::string what)
        : thread_([this, limit, what = std::move(what)] {
              std::unique_lock lock(mutex_);
              if (!changed_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "HANG: %s did not finish within %lld s\n", what.c_str(),
                               static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          }) {}
    ~HangGuard() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

// The guard of the running test, named after it.
#define PADLINK_TEST_GUARD(limitSeconds)                                                      \
    ::padlink::testing::HangGuard hangGuard_ {                                                \
        std::chrono::seconds(limitSeconds),                                                   \
            std::string(                                                                      \
                ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) + \
                "." + ::testing::UnitTest::GetInstance()->current_test_info()->name()         \
    }

}  // namespace padlink::testing
