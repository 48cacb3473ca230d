#include "audio/active_object.h"

#include <cstdio>
#include <system_error>

ActiveObject::ActiveObject() {
    try {
        thread = std::thread(&ActiveObject::threadEntry, this);
        threadId = thread.get_id();
    } catch (const std::system_error& e) {
        // The object still works, without a worker.
        std::fprintf(stderr, "Cannot create worker thread: %s\n", e.what());
    }
}

ActiveObject::~ActiveObject() {
    cancelIfHeld();
    if (thread.joinable() && std::this_thread::get_id() != threadId)
        thread.join();
}

int ActiveObject::threadEntry(ActiveObject* object) {
    {
        std::unique_lock<std::mutex> guard(object->gateMutex);
        object->gateOpened.wait(guard, [object] { return object->gate != Gate::Held; });
        if (object->gate == Gate::Cancelled) {
            object->ended = true;
            object->endedSignal.notify_all();
            return 0;
        }
    }
    object->onThreadStart();
    object->threadMain();
    std::lock_guard<std::mutex> guard(object->gateMutex);
    object->ended = true;
    object->endedSignal.notify_all();
    return 0;
}

void ActiveObject::resumeThread() {
    {
        std::lock_guard<std::mutex> guard(gateMutex);
        if (gate == Gate::Held)
            gate = Gate::Released;
    }
    gateOpened.notify_all();
}

void ActiveObject::cancelIfHeld() {
    {
        std::lock_guard<std::mutex> guard(gateMutex);
        if (gate == Gate::Held)
            gate = Gate::Cancelled;
    }
    gateOpened.notify_all();
}

bool ActiveObject::stopWithin(std::chrono::milliseconds limit) {
    dying.store(1);
    cancelIfHeld();
    wakeThread();
    if (!thread.joinable() || std::this_thread::get_id() == threadId)
        return true;
    bool done;
    {
        std::unique_lock<std::mutex> guard(gateMutex);
        done = endedSignal.wait_for(guard, limit, [this] { return ended; });
    }
    if (done)
        thread.join();
    else
        thread.detach();
    return done;
}

void ActiveObject::stop() {
    dying.store(1);
    cancelIfHeld();
    wakeThread();
    if (thread.joinable() && std::this_thread::get_id() != threadId)
        thread.join();
}
