#pragma once
// Waiting for a condition instead of for a guessed time: the suite runs on
// shared, throttled machines where any fixed pause can be too short.
#include <sys/types.h>

#include <chrono>
#include <thread>

namespace tbtest {

// Deadlines far beyond any healthy wait: they only end a wait that never ends.
constexpr std::chrono::seconds kPatience {60};

// Polls `done` until it holds (true) or `patience` has passed (false).
template <class F> bool waitUntil(F done, std::chrono::milliseconds patience = kPatience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The calling thread's id in the kernel, for another thread to watch it.
pid_t threadId();

// True once thread `tid` of this process sleeps in the kernel (on a lock, a
// sleep or a wait) or has ended: what a test needs to know that a thread is
// held back rather than merely not scheduled yet. False after `patience`.
bool waitUntilBlocked(pid_t tid, std::chrono::milliseconds patience = kPatience);

}  // namespace tbtest
