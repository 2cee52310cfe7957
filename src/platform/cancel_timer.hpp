// A bound on a call that cannot time out by itself (file coordination waits
// for other processes without end): at the bound, a thread of its own runs
// the cancel action once, which makes the waiting call return.
#pragma once

#include <chrono>              // std::chrono::milliseconds
#include <condition_variable>  // std::condition_variable
#include <functional>          // std::function
#include <mutex>               // std::mutex
#include <thread>              // std::thread

namespace qs::Platform {

class CancelTimer {
public:
    // Starts the timer: `cancel` runs once `bound` has passed, unless stop()
    // or the destructor came first.
    CancelTimer(std::chrono::milliseconds bound, std::function<void()> cancel);
    CancelTimer(const CancelTimer&) = delete;
    CancelTimer& operator=(const CancelTimer&) = delete;
    ~CancelTimer();

    // Ends the timer (waiting for a cancel action under way) and says
    // whether the cancel action ran.
    bool stop();

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    bool fired_ = false;
    std::function<void()> cancel_;
    std::thread thread_;
};

}  // namespace qs::Platform
