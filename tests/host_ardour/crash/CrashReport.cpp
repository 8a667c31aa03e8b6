// Preloaded into the Ardour session runner (LD_PRELOAD): when the process dies
// by a fatal signal, prints the crashing thread's stack, one line per frame
// with the library that holds it:
//   CRASH signal 11
//   FRAME /usr/lib/ardour7/libardour.so.7 ...
//   CRASH END
// so the test can tell a crash inside Tambrell from one in Ardour's own code.
// The handler uses only write(2) for output; backtrace() is primed at load so
// it does not load its unwinder inside the handler.
#include <dlfcn.h>
#include <execinfo.h>
#include <signal.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace {

void put(const char* text)
{
    if (!text)
        return;
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = write(STDERR_FILENO, text, left);
        if (n <= 0)
            return;
        text += n;
        left -= static_cast<std::size_t>(n);
    }
}

void putNumber(long v)
{
    char digits[24];
    int at = static_cast<int>(sizeof digits) - 1;
    digits[at] = '\0';
    const bool negative = v < 0;
    unsigned long u = negative ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    do {
        digits[--at] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0 && at > 1);
    if (negative)
        digits[--at] = '-';
    put(digits + at);
}

void report(int sig, siginfo_t*, void*)
{
    put("\nCRASH signal ");
    putNumber(sig);
    put("\n");
    void* frames[128];
    const int count = backtrace(frames, 128);
    for (int i = 0; i < count; ++i) {
        Dl_info info {};
        put("FRAME ");
        if (dladdr(frames[i], &info) != 0 && info.dli_fname) {
            put(info.dli_fname);
            put(" ");
            put(info.dli_sname ? info.dli_sname : "?");
        } else {
            put("? ?");
        }
        put("\n");
    }
    put("CRASH END\n");
    // The handler was reset on entry: returning lets the signal end the
    // process as it would have without this report.
}

__attribute__((constructor)) void install()
{
    void* prime[1];
    backtrace(prime, 1);
    struct sigaction action { };
    action.sa_sigaction = &report;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        sigaction(sig, &action, nullptr);
}

}  // namespace
