#include "app/quit_signals.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// Lock-free, so that the handler may set it and any thread read it.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);

bool told = false;

const int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

extern "C" void onQuitSignal(int number) {
    int none = 0;
    if (received.compare_exchange_strong(none, number))
        return;
    // The first did not end the game (it may be stuck in a script): the
    // signal's own default, at once. Both calls are safe in a handler.
    std::signal(number, SIG_DFL);
    std::raise(number);
}

} // namespace

void installQuitSignalHandlers() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kQuitSignals) {
        struct sigaction before;
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        sigaction(number, &action, nullptr);
    }
}

const char* quitSignalName(int number) {
    switch (number) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    case SIGQUIT:
        return "SIGQUIT";
    default:
        return "a signal";
    }
}

int quitSignalReceived() {
    return received.load();
}

bool quitSignalled() {
    const int number = received.load();
    if (number && !told) {
        told = true;
        std::fprintf(stderr, "Ending the game on %s, as with Escape\n", quitSignalName(number));
    }
    return number != 0;
}
