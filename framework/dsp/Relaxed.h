#pragma once

#include <atomic>

namespace tb {

// A value that one thread (editor or host) writes while the audio thread reads
// it. Nothing is ordered against it and a reader may see a mix of old and new
// coefficients for one block, exactly as with plain stores, but without a data
// race. Reads and writes look like those of a plain variable.
template <class T> class Relaxed {
public:
    Relaxed() noexcept
        : value_(T {})
    {
    }
    Relaxed(T v) noexcept
        : value_(v)
    {
    }
    Relaxed(const Relaxed& o) noexcept
        : value_(o.load())
    {
    }
    Relaxed& operator=(const Relaxed& o) noexcept
    {
        store(o.load());
        return *this;
    }
    Relaxed& operator=(T v) noexcept
    {
        store(v);
        return *this;
    }

    operator T() const noexcept { return load(); }
    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value_.store(v, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
    static_assert(std::atomic<T>::is_always_lock_free, "the audio thread must never lock");
};

}  // namespace tb
