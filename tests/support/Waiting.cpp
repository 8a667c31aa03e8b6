#include "tests/support/Waiting.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

namespace tbtest {

pid_t threadId() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

namespace {

    // The thread's state letter from /proc ('R' running or runnable, 'S' and 'D'
    // asleep, 'Z' and 'X' ending), or 0 once the thread is gone.
    char threadState(pid_t tid)
    {
        std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/stat");
        const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        // The name in parentheses may hold spaces and parentheses itself.
        const std::string::size_type close = stat.rfind(')');
        if (close == std::string::npos || close + 2 >= stat.size())
            return 0;
        return stat[close + 2];
    }

}  // namespace

bool waitUntilBlocked(pid_t tid, std::chrono::milliseconds patience)
{
    return waitUntil(
        [&] {
            const char state = threadState(tid);
            return state == 0 || state == 'S' || state == 'D' || state == 'Z' || state == 'X';
        },
        patience);
}

}  // namespace tbtest
