#pragma once
// Tap tempo: eight taps give the mean of their seven intervals as BPM.
//
// Thread use: the message thread.

#include <string>

struct TapTempoBuffer {
    static constexpr int kTaps = 8;
    int count = 0;
    double times[kTaps] = {};
};

// 60000 / the mean of the seven intervals between the eight times (ms).
inline double computeTapTempo(const TapTempoBuffer& buffer)
{
    double sum = 0.0;
    for (int k = 0; k + 1 < TapTempoBuffer::kTaps; ++k)
        sum += buffer.times[k + 1] - buffer.times[k];
    return 60000.0 / (sum / (TapTempoBuffer::kTaps - 1));
}

inline void clearTapTempo(TapTempoBuffer& buffer) { buffer = TapTempoBuffer {}; }

struct TapResult {
    bool tempoSet = false;
    double bpm = 0.0;
    std::string buttonText;
};

// One tap at now (ms): the button shows the count after taps 1 to 7 and
// "TAP" again after the eighth, which sets the tempo.
inline TapResult tapTempo(TapTempoBuffer& buffer, double now)
{
    TapResult result;
    if (buffer.count >= TapTempoBuffer::kTaps - 1) {
        buffer.times[TapTempoBuffer::kTaps - 1] = now;
        buffer.count = TapTempoBuffer::kTaps;
        result.tempoSet = true;
        result.bpm = computeTapTempo(buffer);
        clearTapTempo(buffer);
        result.buttonText = "TAP";
        return result;
    }
    buffer.times[buffer.count] = now;
    ++buffer.count;
    result.buttonText = std::to_string(buffer.count);
    return result;
}
