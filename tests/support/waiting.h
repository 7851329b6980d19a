#pragma once
// Waiting for an outcome on a busy machine: poll until it arrives or a
// generous deadline passes, and a guard that ends a program stuck past its
// deadline with a line naming what it was doing, instead of hanging the run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

// Polls `done` until it holds (true) or `patience` of wall time has passed.
template <class Done>
bool WaitFor(Done done, std::chrono::seconds patience = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + patience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Ends the program with status 3, naming the step, when a step runs past
// `limit`; each Doing() starts a step with the whole limit again.
class HangGuard {
 public:
  explicit HangGuard(std::chrono::seconds limit) : limit_(limit), thread_([this] { Watch(); }) {}
  ~HangGuard() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    thread_.join();
  }
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;

  void Doing(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    what_ = what;
    end_ = std::chrono::steady_clock::now() + limit_;
  }

 private:
  void Watch() {
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (done_) return;
        if (std::chrono::steady_clock::now() > end_) {
          std::fprintf(stderr, "stuck for %lld s: %s\n", static_cast<long long>(limit_.count()),
                       what_.c_str());
          std::_Exit(3);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  const std::chrono::seconds limit_;
  std::mutex mutex_;
  std::string what_;
  std::chrono::steady_clock::time_point end_ = std::chrono::steady_clock::now() + limit_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace testsupport
