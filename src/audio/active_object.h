// An object that owns one worker thread. The thread is created held at a start
// gate; the most derived constructor releases it as its last step, so no
// virtual operation ever runs on a partly built object.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class ActiveObject {
public:
    ActiveObject();
    // Ends a worker that was never released. A released worker must have been
    // stopped by the derived destructor (stop()), which still has its state.
    virtual ~ActiveObject();
    ActiveObject(const ActiveObject&) = delete;
    ActiveObject& operator=(const ActiveObject&) = delete;

    // Asks the worker to end (dying, then wakeThread()) and waits for it.
    // Safe to call more than once, and after the worker ended by itself.
    void stop();
    // The same, waiting at most `limit`: a worker that is showing a box, or
    // is held up in a driver, is left to itself (detached) and false is
    // returned. The object must then outlive the process: never delete it.
    bool stopWithin(std::chrono::milliseconds limit);

    virtual void wakeThread() = 0;

    // Non-zero asks the worker to end at its next wake-up.
    std::atomic<int32_t> dying{0};
    std::thread thread;
    std::thread::id threadId;

protected:
    virtual void onThreadStart() = 0;
    virtual void threadMain() = 0;
    // The last step of the most derived constructor.
    void resumeThread();

private:
    enum class Gate { Held, Released, Cancelled };
    static int threadEntry(ActiveObject* object);
    void cancelIfHeld();

    std::mutex gateMutex;
    std::condition_variable gateOpened;
    Gate gate = Gate::Held;
    // Set under gateMutex as the worker's last step.
    bool ended = false;
    std::condition_variable endedSignal;
};
