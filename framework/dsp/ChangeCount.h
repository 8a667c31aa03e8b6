#pragma once

#include <atomic>
#include <cstdint>

namespace tb {

// Lets the audio thread work out what it derives from settings only after
// one of them changed: writers count their changes, and a block that sees
// a new count sees every setting written before it.
class ChangeCount {
public:
    // Any thread, after writing the settings it covers.
    void publish() noexcept { published_.fetch_add(1, std::memory_order_release); }

    // The audio thread: true when settings changed since the last true.
    bool take() noexcept
    {
        const uint32_t published = published_.load(std::memory_order_acquire);
        if (published == taken_)
            return false;
        taken_ = published;
        return true;
    }

    // The audio thread: the next take() is true whatever happens before it.
    void invalidate() noexcept { taken_ = published_.load(std::memory_order_relaxed) - 1; }

private:
    std::atomic<uint32_t> published_ {1};
    uint32_t taken_ = 0;  // the count last taken; starts behind, so the first take() is true
};

}  // namespace tb
