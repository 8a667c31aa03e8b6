#pragma once
#include <time.h>

#include <algorithm>

namespace tbtest {

// The least CPU time of the calling thread that `work` took over `rounds`
// runs, in seconds. CPU time, not wall time: a shared machine that preempts or
// throttles the test does not count, and the least run drops what is left of
// such noise. For comparing how work grows with its size, never as a limit.
template <typename F> double leastThreadSeconds(int rounds, F&& work)
{
    auto now = [] {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    };
    double least = 1e30;
    for (int i = 0; i < rounds; ++i) {
        const double start = now();
        work();
        least = std::min(least, now() - start);
    }
    return least;
}

}  // namespace tbtest
