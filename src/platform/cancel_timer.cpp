// The cancel timer: one waiting thread per bounded call.
#include "platform/cancel_timer.hpp"

#include <utility>  // std::move

namespace qs::Platform {

CancelTimer::CancelTimer(std::chrono::milliseconds bound, std::function<void()> cancel)
    : cancel_(std::move(cancel)), thread_([this, bound] {
          std::unique_lock lock(mutex_);
          if (wake_.wait_for(lock, bound, [this] { return stopped_; })) return;
          fired_ = true;
          lock.unlock();
          cancel_();
      }) {}

CancelTimer::~CancelTimer() { stop(); }

bool CancelTimer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    return fired_;
}

}  // namespace qs::Platform
