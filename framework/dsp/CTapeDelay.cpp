#include "framework/dsp/CTapeDelay.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "framework/dsp/Flush.h"
#include "framework/dsp/Lanes.h"

#include <emmintrin.h>

namespace {

// Far beyond any delay a pedal asks for (one second at the highest rate), but
// small enough that length + 256 can never overflow.
constexpr int32_t kLongestLength = 1 << 22;
constexpr int32_t kLapSpare = 256;

}  // namespace

bool CTapeDelay::Lap::allocate(int32_t size)
{
    values = new (std::nothrow) float[size];
    positions = new (std::nothrow) double[size];
    if (!values || !positions) {
        release();
        return false;
    }
    capacity = size;
    clear();
    return true;
}

void CTapeDelay::Lap::release()
{
    delete[] values;
    delete[] positions;
    values = nullptr;
    positions = nullptr;
    capacity = 0;
}

void CTapeDelay::Lap::clear()
{
    if (capacity > 0) {
        std::memset(values, 0, sizeof(float) * static_cast<size_t>(capacity));
        std::memset(positions, 0, sizeof(double) * static_cast<size_t>(capacity));
    }
}

CTapeDelay::CTapeDelay(int length, double start)
{
    if (length < 4)
        length = 4;
    if (length > kLongestLength)
        length = kLongestLength;
    length_ = length;
    startPosition_ = start;

    if (!lapA_.allocate(length_ + kLapSpare) || !lapB_.allocate(length_ + kLapSpare)) {
        // Without both laps the line stays silent rather than failing.
        lapA_.release();
        lapB_.release();
    }

    const double n = static_cast<double>(length_);
    lfoIncrement = 0.0;
    targetGain = 1.0f;
    feedback = 0.0f;
    targetSpeed = 1.0 / (n * (2.0 / n + (1.0 - 2.0 / n) * 0.5));
    minimumSpeed_ = 1.0 / n;
    lfoDepth = 0.0f;
    reset();
}

CTapeDelay::~CTapeDelay()
{
    lapA_.release();
    lapB_.release();
}

void CTapeDelay::reset()
{
    speed_ = targetSpeed;
    lfo_.phases[kLfoRun] = 0.0;
    lfo_.at = kLfoRun;
    settled_.valid = false;
    outputGain_ = 0.0f;
    lapA_.clear();
    lapB_.clear();
    // The closing entry sits at count + kFirst, so a lap can hold at most
    // capacity - kFirst - 1 entries before it has to end.
    heads_ = {};
    heads_.position = startPosition_;
    if (valid())
        heads_ = {lapB_.values + kFirst, lapB_.positions + kFirst, 0, 0, lapA_.values + kFirst,
            lapA_.positions + kFirst, 0, lapA_.capacity - kFirst - 1, startPosition_};
}

float CTapeDelay::readTape(double writePosition)
{
    Heads& h = heads_;
    const std::ptrdiff_t count = h.readCount;
    if (count == 0)
        return 0.0f;

    std::ptrdiff_t i = h.readIndex;
    while (i <= count && h.readPositions[i] < writePosition)
        ++i;
    h.readIndex = i;
    if (i > count)
        return 0.0f;

    const double pa = h.readPositions[i - 1];
    const double pb = h.readPositions[i];
    const float va = h.readValues[i - 1];
    const float vb = h.readValues[i];
    float frac = 0.0f;
    if (static_cast<float>(pa) < static_cast<float>(pb))
        frac = static_cast<float>((writePosition - pa) / (pb - pa));
    return tb::flush(va + frac * (vb - va));
}

void CTapeDelay::endLap(float w)
{
    Heads& h = heads_;

    // Carry the previous lap's last three entries below this lap's first one.
    for (int32_t k = 1; k <= 3; ++k) {
        const std::ptrdiff_t from = h.readCount - k;
        h.writeValues[-k] = h.readValues[from];
        h.writePositions[-k] = h.readPositions[from] - 1.0;
    }

    h.writeValues[h.writeCount] = w;
    h.writePositions[h.writeCount] = h.position;

    // A lap normally ends by passing 1.0. One that filled its buffer first can
    // only come from a position that is not a number; restart it at 0.
    h.position = (h.position >= 1.0) ? h.position - 1.0 : 0.0;

    // The lap just written is read next; the one read is written over.
    std::swap(h.readValues, h.writeValues);
    std::swap(h.readPositions, h.writePositions);
    h.readCount = h.writeCount;
    h.readIndex = 0;
    h.writeCount = 0;
}

float CTapeDelay::process(float x)
{
    if (!valid())
        return 0.0f;

    x = tb::flush(x);

    // Shaped triangle: smooth at both turning points.
    const double phase = lfo_.phases[lfo_.at];
    const double t = (phase < 0.5) ? 2.0 * phase : 1.0 - 2.0 * (phase - 0.5);
    const double shaped = t * t * (3.0 - 2.0 * t);
    double m = 1.0 + static_cast<double>(lfoDepth.load()) * shaped;
    if (m < 1.0)
        m = 1.0;
    double next = phase + lfoIncrement.load();
    if (next >= 1.0)
        next -= std::floor(next);
    lfo_.phases[kLfoRun] = next;
    lfo_.at = kLfoRun;
    settled_.valid = false;

    const float d = readTape(heads_.position);
    const float out = outputGain_ * d;
    const float w = x + feedback.load() * d;

    double v = speed_ * m;
    if (v > kMaximumSpeed)
        v = kMaximumSpeed;
    if (!(v >= minimumSpeed_))  // also catches a speed that is not a number
        v = minimumSpeed_;
    Heads& h = heads_;
    h.position += v;

    if (h.position >= 1.0 || h.writeCount >= h.writeLimit)
        endLap(w);

    h.writeValues[h.writeCount] = w;
    h.writePositions[h.writeCount] = h.position;
    ++h.writeCount;

    outputGain_ = tb::flush(outputGain_ + (targetGain.load() - outputGain_) * 0.01f);
    speed_ += (targetSpeed.load() - speed_) * 0.005;
    if (std::isnan(speed_))
        speed_ = minimumSpeed_;
    return out;
}

template <CTapeDelay::Feed F>
[[gnu::always_inline]] inline void CTapeDelay::processAny(const float* in, float* out, int frames)
{
    // A settled block with the key of the last one needs no more than the
    // key compared; a block longer than an LFO run (or of fewer than no
    // frames) takes the long way. A line without its laps never gets as far
    // as keeping a key. Compared field by field, straight from memory, the
    // key needs no registers of its own.
    const SettledKey& key = settled_;
    if (key.valid && key.increment == std::bit_cast<uint64_t>(lfoIncrement.load())
        && key.speed == std::bit_cast<uint64_t>(targetSpeed.load())
        && key.depth == std::bit_cast<uint32_t>(lfoDepth.load())
        && key.gain == std::bit_cast<uint32_t>(targetGain.load()) && static_cast<unsigned>(frames) <= kLfoRun)
        playSettled<F>(in, out, frames);
    else
        processUnsettled<F>(in, out, frames);
}

void CTapeDelay::processBlock(const float* in, float* out, int frames) { processAny<Feed::Raw>(in, out, frames); }

void CTapeDelay::processFlushedBlock(const float* in, float* out, int frames)
{
    processAny<Feed::Flushed>(in, out, frames);
}

void CTapeDelay::processBlockAdding(const float* in, float* out, int frames)
{
    processAny<Feed::Adding>(in, out, frames);
}

template <CTapeDelay::Feed F> void CTapeDelay::processUnsettled(const float* in, float* out, int frames)
{
    const Settings s {lfoDepth.load(), lfoIncrement.load(), feedback.load(), targetGain.load(), targetSpeed.load()};
    const uint64_t incrementBits = std::bit_cast<uint64_t>(s.increment), speedBits = std::bit_cast<uint64_t>(s.speed);
    const uint32_t depthBits = std::bit_cast<uint32_t>(s.depth), gainBits = std::bit_cast<uint32_t>(s.gain);
    if (settled_.valid && settled_.increment == incrementBits && settled_.speed == speedBits
        && settled_.depth == depthBits && settled_.gain == gainBits) {
        run<true, true, F>(in, out, frames, s);
        return;
    }
    if (!valid()) {
        for (int k = 0; k < frames; ++k)
            out[k] = F == Feed::Adding ? 0.0f + out[k] : 0.0f;
        return;
    }
    // Once the speed and gain glides have settled, a step changes neither
    // (bit for bit), and the block need not take them.
    const double nextSpeed = speed_ + (s.speed - speed_) * 0.005;
    const float nextGain = tb::flush(outputGain_ + (s.gain - outputGain_) * 0.01f);
    const bool settled = !std::isnan(speed_) && std::bit_cast<uint64_t>(nextSpeed) == std::bit_cast<uint64_t>(speed_)
        && std::bit_cast<uint32_t>(nextGain) == std::bit_cast<uint32_t>(outputGain_);
    if (settled) {
        run<true, false, F>(in, out, frames, s);
        settled_ = {incrementBits, speedBits, depthBits, gainBits, true};
    } else {
        settled_.valid = false;
        run<false, false, F>(in, out, frames, s);
    }
}

template <bool Settled> void CTapeDelay::makeLfoRun(double depth, double increment, double speed)
{
    // Phases frame by frame, their shaping (and, with the speed settled, the
    // tape steps) two frames per SSE2 operation, each lane in process()'s
    // order.
    double* const phases = lfo_.phases;
    double* const steps = lfo_.steps;
    double phase = phases[kLfoRun];
    for (int k = 0; k < kLfoRun; ++k) {
        phases[k] = phase;
        phase = phase + increment;
        if (phase >= 1.0)
            phase -= std::floor(phase);
    }
    const __m128d half = _mm_set1_pd(0.5), one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0), three = _mm_set1_pd(3.0);
    const __m128d depths = _mm_set1_pd(depth), speeds = _mm_set1_pd(speed);
    const __m128d fastest = _mm_set1_pd(kMaximumSpeed), slowest = _mm_set1_pd(minimumSpeed_);
    static_assert(kLfoRun % 2 == 0);
    for (int k = 0; k < kLfoRun; k += 2) {
        const __m128d p = _mm_load_pd(phases + k);
        const __m128d rising = _mm_cmplt_pd(p, half);
        const __m128d t = _mm_or_pd(_mm_and_pd(rising, _mm_mul_pd(two, p)),
            _mm_andnot_pd(rising, _mm_sub_pd(one, _mm_mul_pd(two, _mm_sub_pd(p, half)))));
        const __m128d shaped = _mm_mul_pd(_mm_mul_pd(t, t), _mm_sub_pd(three, _mm_mul_pd(two, t)));
        // maxpd returns its second operand for a NaN, as `if (m < 1.0)` keeps it.
        __m128d m = _mm_max_pd(one, _mm_add_pd(one, _mm_mul_pd(depths, shaped)));
        if constexpr (Settled) {
            // minpd and maxpd in the operand order of the two clamps in play().
            m = _mm_max_pd(_mm_min_pd(fastest, _mm_mul_pd(speeds, m)), slowest);
        }
        _mm_store_pd(steps + k, m);
    }
    phases[kLfoRun] = phase;
    lfo_.at = 0;
    lfo_.settled = Settled;
    lfo_.depth = std::bit_cast<uint64_t>(depth);
    lfo_.increment = std::bit_cast<uint64_t>(increment);
    lfo_.speed = std::bit_cast<uint64_t>(speed);
}

void CTapeDelay::dropLfoRun()
{
    lfo_.phases[kLfoRun] = lfo_.phases[lfo_.at];
    lfo_.at = kLfoRun;
}

inline CTapeDelay::Heads CTapeDelay::loadHeads() const { return heads_; }

inline void CTapeDelay::storeHeads(const Heads& h)
{
    // Only these move between the ends of laps, which store all of it.
    heads_.position = h.position;
    heads_.writeCount = h.writeCount;
    heads_.readIndex = h.readIndex;
}

CTapeDelay::Heads CTapeDelay::turnLap(double position, std::ptrdiff_t writeCount, std::ptrdiff_t readIndex, float w)
{
    heads_.position = position;
    heads_.writeCount = writeCount;
    heads_.readIndex = readIndex;
    endLap(w);
    return heads_;
}

namespace {

// The input's flush holds no state: four frames per SSE2 operation.
inline void flushInto(float* to, const float* from, int frames)
{
    // Bounded by the whole quads, the loops cost the compiler less set-up
    // than with k + 4 <= frames.
    const int quads = frames & ~3;
    int k = 0;
    for (; k < quads; k += 4)
        _mm_store_ps(to + k, tb::flushLanes(_mm_loadu_ps(from + k)));
    for (; k < frames; ++k)
        to[k] = tb::flush(from[k]);
}

}  // namespace

template <bool Settled, bool Adding>
[[gnu::always_inline]] inline void CTapeDelay::play(
    Heads& h, Glides& g, const float* in, float* out, int frames, const double* steps, float feedbackShare)
{
    // Most blocks need not look out for three rare cases. A lap can only
    // fill its buffer if the block starts near the limit: one that ends on
    // the way restarts its count far below it. Only the first lap after a
    // reset can be empty: each later one holds the entry that follows the
    // end of the lap before it, so once there is tape to read there always
    // will be. And the read head can only run past the end of a lap that
    // did not end by passing 1.0 (it filled up): the head reads either
    // below 1.0 or one lap below where the last lap ended, and every lap
    // that ends within the block ends by passing 1.0.
    if (h.readCount != 0 && h.writeCount + frames <= h.writeLimit && h.readPositions[h.readCount] >= 1.0) [[likely]]
        playFrames<Settled, Adding, false>(h, g, in, out, frames, steps, feedbackShare);
    else
        playFrames<Settled, Adding, true>(h, g, in, out, frames, steps, feedbackShare);
}

template <bool Settled, bool Adding, bool Watchful>
[[gnu::always_inline]] inline void CTapeDelay::playFrames(
    Heads& h, Glides& g, const float* in, float* out, int frames, const double* steps, float feedbackShare)
{
    // process() per sample on flushed input.
    for (int k = 0; k < frames; ++k) {
        const float x = in[k];

        // readTape(), on the locals.
        float d = 0.0f;
        if (!Watchful || h.readCount != 0) {
            std::ptrdiff_t i = h.readIndex;
            while ((!Watchful || i <= h.readCount) && h.readPositions[i] < h.position)
                ++i;
            h.readIndex = i;
            if (!Watchful || i <= h.readCount) {
                const double pa = h.readPositions[i - 1];
                const double pb = h.readPositions[i];
                const float va = h.readValues[i - 1];
                const float vb = h.readValues[i];
                float frac = 0.0f;
                if (static_cast<float>(pa) < static_cast<float>(pb)) [[likely]]
                    frac = static_cast<float>((h.position - pa) / (pb - pa));
                d = tb::flush(va + frac * (vb - va));
            }
        }
        const float result = g.gain * d;
        const float w = x + feedbackShare * d;

        double v = steps[k];
        if constexpr (!Settled) {
            v = g.speed * v;
            if (v > kMaximumSpeed)
                v = kMaximumSpeed;
            if (!(v >= g.minimum))
                v = g.minimum;
        }
        h.position += v;

        if (h.position >= 1.0 || (Watchful && h.writeCount >= h.writeLimit))
            h = turnLap(h.position, h.writeCount, h.readIndex, w);

        h.writeValues[h.writeCount] = w;
        h.writePositions[h.writeCount] = h.position;
        ++h.writeCount;

        if constexpr (!Settled) {
            g.gain = tb::flush(g.gain + (g.gainTarget - g.gain) * 0.01f);
            g.speed += (g.speedTarget - g.speed) * 0.005;
            if (std::isnan(g.speed))
                g.speed = g.minimum;
        }
        if constexpr (Adding)
            out[k] = result + out[k];
        else
            out[k] = result;
    }
}

template <CTapeDelay::Feed F> void CTapeDelay::playSettled(const float* in, float* out, int frames)
{
    // The settings are the key's; the feedback is not in it.
    const float feedbackShare = feedback.load();
    int at = lfo_.at;
    if (at == kLfoRun) {
        const float depth = std::bit_cast<float>(settled_.depth);
        makeLfoRun<true>(static_cast<double>(depth), std::bit_cast<double>(settled_.increment), speed_);
        at = 0;
    }
    if (frames > kLfoRun - at) {
        const Settings s {std::bit_cast<float>(settled_.depth), std::bit_cast<double>(settled_.increment),
            feedbackShare, std::bit_cast<float>(settled_.gain), std::bit_cast<double>(settled_.speed)};
        run<true, true, F>(in, out, frames, s);
        return;
    }

    // The run in hand covers the block: one pass, and the glides, settled,
    // need neither taking nor storing back. Moved on at once, the run's
    // position need not be kept through the loop.
    lfo_.at = at + frames;
    Heads h = loadHeads();
    Glides g {speed_, outputGain_, 0.0f, 0.0, 0.0};
    const double* const steps = lfo_.steps + at;
    if constexpr (F == Feed::Flushed) {
        play<true, F == Feed::Adding>(h, g, in, out, frames, steps, feedbackShare);
    } else {
        alignas(16) float inputs[kLfoRun];
        flushInto(inputs, in, frames);
        play<true, F == Feed::Adding>(h, g, inputs, out, frames, steps, feedbackShare);
    }
    storeHeads(h);
}

template <bool Settled, bool RunChecked, CTapeDelay::Feed F>
void CTapeDelay::run(const float* in, float* out, int frames, const Settings& s)
{
    const double depth = static_cast<double>(s.depth);
    Glides g {speed_, outputGain_, s.gain, s.speed, minimumSpeed_};

    // A run made with other settings, or of the other kind, is dropped; the
    // next is made from the phase of the next frame. A settled block with
    // the key of the last one knows its run fits.
    if (!RunChecked
        && (lfo_.settled != Settled || lfo_.depth != std::bit_cast<uint64_t>(depth)
            || lfo_.increment != std::bit_cast<uint64_t>(s.increment)
            || (Settled && lfo_.speed != std::bit_cast<uint64_t>(g.speed))))
        dropLfoRun();

    Heads h = loadHeads();
    for (int at = 0, n = 0; at < frames; at += n) {
        if (lfo_.at == kLfoRun)
            makeLfoRun<Settled>(depth, s.increment, g.speed);
        n = std::min(kLfoRun - static_cast<int>(lfo_.at), frames - at);
        const double* const steps = lfo_.steps + lfo_.at;
        if constexpr (F == Feed::Flushed) {
            play<Settled, F == Feed::Adding>(h, g, in + at, out + at, n, steps, s.feedback);
        } else {
            alignas(16) float inputs[kLfoRun];
            flushInto(inputs, in + at, n);
            play<Settled, F == Feed::Adding>(h, g, inputs, out + at, n, steps, s.feedback);
        }
        lfo_.at += n;
    }

    if constexpr (!Settled) {
        speed_ = g.speed;
        outputGain_ = g.gain;
    }
    storeHeads(h);
}
