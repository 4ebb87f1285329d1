// Makes a growing file durable piece by piece on a thread of its own. A disk
// that flushes a write cache takes time in proportion to what is unsynced;
// synced as it grows, the file's final sync has little left to wait for while
// the program was busy decoding anyway.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace neb {

class BackgroundSync {
public:
  // sync makes what is written so far durable; it returns 0 or an error code.
  // It runs while the owner goes on writing.
  BackgroundSync(std::function<int()> sync, std::uint64_t step) : sync_(std::move(sync)), step_(step) {}
  ~BackgroundSync() { finish(); }
  BackgroundSync(const BackgroundSync&) = delete;
  BackgroundSync& operator=(const BackgroundSync&) = delete;

  // After each write, with the bytes written so far.
  void wrote(std::uint64_t total) {
    if (total - requested_ < step_) return;
    requested_ = total;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      pending_ = true;
    }
    changed_.notify_one();
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { run(); });
      } catch (const std::system_error&) {
        // Only a head start: the final sync does all of it instead.
      }
    }
  }

  // Stops the thread. The first error of a background sync, 0 when none:
  // the system may report a write-back error only once, so the final sync
  // alone can miss it.
  int finish() noexcept {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      done_ = true;
    }
    changed_.notify_one();
    if (thread_.joinable()) thread_.join();
    return error_;
  }

private:
  void run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
      changed_.wait(hold, [this] { return pending_ || done_; });
      if (done_) return;  // the final sync follows
      pending_ = false;
      hold.unlock();
      const int e = sync_();
      hold.lock();
      if (error_ == 0) error_ = e;
    }
  }

  std::function<int()> sync_;
  const std::uint64_t step_;
  std::uint64_t requested_ = 0;
  std::mutex lock_;
  std::condition_variable changed_;
  bool pending_ = false;
  bool done_ = false;
  int error_ = 0;
  std::thread thread_;
};

}  // namespace neb
