#include "interrupt.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace vardelk {
namespace {

// Set by the signal handler, read by every thread at work: a lock-free
// atomic is safe in both places, where a volatile flag is safe only in the
// first. The one flag of the process, as the C signal interface leaves no
// other place for a handler to write.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is written from a signal handler");

extern "C" void NoteSignal(int) { interrupted.store(true, std::memory_order_relaxed); }

}  // namespace

void InstallInterruptHandler() {
    std::signal(SIGINT, NoteSignal);
    std::signal(SIGTERM, NoteSignal);
}

bool Interrupted() { return interrupted.load(std::memory_order_relaxed); }

bool InterruptedOrArriving() {
    for (int wait = 0; wait < 50; ++wait) {
        if (Interrupted()) return true;
        sigset_t pending;
        if (sigpending(&pending) == 0 && (sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Interrupted();
}

void ThrowIfInterrupted() {
    if (Interrupted()) throw InterruptedError();
}

}  // namespace vardelk
