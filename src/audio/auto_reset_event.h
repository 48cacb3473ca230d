// An event that releases one wait per signal and then resets itself. Signals
// given while nobody waits are kept (merged into one) for the next wait.
#pragma once
#include <condition_variable>
#include <mutex>

namespace MyAudio {

class AutoResetEvent {
public:
    void set() {
        {
            std::lock_guard<std::mutex> guard(mutex);
            signalled = true;
        }
        cv.notify_one();
    }
    void reset() {
        std::lock_guard<std::mutex> guard(mutex);
        signalled = false;
    }
    void wait() {
        std::unique_lock<std::mutex> guard(mutex);
        cv.wait(guard, [this] { return signalled; });
        signalled = false;
    }
    // False when nothing signalled within the time.
    template <class Duration> bool waitFor(Duration timeout) {
        std::unique_lock<std::mutex> guard(mutex);
        if (!cv.wait_for(guard, timeout, [this] { return signalled; }))
            return false;
        signalled = false;
        return true;
    }

private:
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false;
};

} // namespace MyAudio
