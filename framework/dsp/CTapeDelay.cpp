#include "framework/dsp/CTapeDelay.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

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
    count = 0;
    readIndex = 0;
}

void CTapeDelay::Lap::clear()
{
    if (capacity > 0) {
        std::memset(values, 0, sizeof(float) * static_cast<size_t>(capacity));
        std::memset(positions, 0, sizeof(double) * static_cast<size_t>(capacity));
    }
    count = 0;
    readIndex = 0;
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
    writePosition_ = startPosition_;
    speed_ = targetSpeed;
    lfoPhase_ = 0.0;
    lfo_.left = 0;
    settled_.valid = false;
    outputGain_ = 0.0f;
    lapA_.clear();
    lapB_.clear();
}

float CTapeDelay::readTape(double writePosition)
{
    Lap& lap = *readLap_;
    const int32_t count = lap.count;
    if (count == 0)
        return 0.0f;

    int32_t i = lap.readIndex;
    while (i <= count && lap.positions[i + kFirst] < writePosition)
        ++i;
    lap.readIndex = i;
    if (i > count)
        return 0.0f;

    const double pa = lap.positions[i + kFirst - 1];
    const double pb = lap.positions[i + kFirst];
    const float va = lap.values[i + kFirst - 1];
    const float vb = lap.values[i + kFirst];
    float frac = 0.0f;
    if (static_cast<float>(pa) < static_cast<float>(pb))
        frac = static_cast<float>((writePosition - pa) / (pb - pa));
    return tb::flush(va + frac * (vb - va));
}

void CTapeDelay::endLap(float w)
{
    Lap& done = *writeLap_;
    Lap& previous = *readLap_;

    // Carry the previous lap's last three entries below this lap's first one.
    for (int32_t k = 1; k <= 3; ++k) {
        const int32_t from = previous.count + kFirst - k;
        done.values[kFirst - k] = previous.values[from];
        done.positions[kFirst - k] = previous.positions[from] - 1.0;
    }

    done.values[done.count + kFirst] = w;
    done.positions[done.count + kFirst] = writePosition_;
    done.readIndex = 0;

    // A lap normally ends by passing 1.0. One that filled its buffer first can
    // only come from a position that is not a number; restart it at 0.
    writePosition_ = (writePosition_ >= 1.0) ? writePosition_ - 1.0 : 0.0;

    writeLap_ = &previous;
    readLap_ = &done;
    writeLap_->count = 0;
}

float CTapeDelay::process(float x)
{
    if (!valid())
        return 0.0f;

    x = tb::flush(x);

    // Shaped triangle: smooth at both turning points.
    const double phase = lfoPhase_;
    const double t = (phase < 0.5) ? 2.0 * phase : 1.0 - 2.0 * (phase - 0.5);
    const double shaped = t * t * (3.0 - 2.0 * t);
    double m = 1.0 + static_cast<double>(lfoDepth.load()) * shaped;
    if (m < 1.0)
        m = 1.0;
    lfoPhase_ = phase + lfoIncrement.load();
    if (lfoPhase_ >= 1.0)
        lfoPhase_ -= std::floor(lfoPhase_);
    lfo_.left = 0;
    settled_.valid = false;

    const float d = readTape(writePosition_);
    const float out = outputGain_ * d;
    const float w = x + feedback.load() * d;

    double v = speed_ * m;
    if (v > kMaximumSpeed)
        v = kMaximumSpeed;
    if (!(v >= minimumSpeed_))  // also catches a speed that is not a number
        v = minimumSpeed_;
    writePosition_ += v;

    // The closing entry sits at count + kFirst, so a lap can hold at most
    // capacity - kFirst - 1 entries before it has to end.
    if (writePosition_ >= 1.0 || writeLap_->count >= writeLap_->capacity - kFirst - 1)
        endLap(w);

    Lap& lap = *writeLap_;
    lap.values[lap.count + kFirst] = w;
    lap.positions[lap.count + kFirst] = writePosition_;
    ++lap.count;

    outputGain_ = tb::flush(outputGain_ + (targetGain.load() - outputGain_) * 0.01f);
    speed_ += (targetSpeed.load() - speed_) * 0.005;
    if (std::isnan(speed_))
        speed_ = minimumSpeed_;
    return out;
}

void CTapeDelay::processBlock(const float* in, float* out, int frames)
{
    if (!valid()) {
        for (int k = 0; k < frames; ++k)
            out[k] = 0.0f;
        return;
    }
    const Settings s {lfoDepth.load(), lfoIncrement.load(), feedback.load(), targetGain.load(), targetSpeed.load()};
    const uint64_t incrementBits = std::bit_cast<uint64_t>(s.increment), speedBits = std::bit_cast<uint64_t>(s.speed);
    const uint32_t depthBits = std::bit_cast<uint32_t>(s.depth), gainBits = std::bit_cast<uint32_t>(s.gain);
    if (settled_.valid && settled_.increment == incrementBits && settled_.speed == speedBits
        && settled_.depth == depthBits && settled_.gain == gainBits) {
        run<true, true>(in, out, frames, s);
        return;
    }
    // Once the speed and gain glides have settled, a step changes neither
    // (bit for bit), and the block need not take them.
    const double nextSpeed = speed_ + (s.speed - speed_) * 0.005;
    const float nextGain = tb::flush(outputGain_ + (s.gain - outputGain_) * 0.01f);
    const bool settled = !std::isnan(speed_) && std::bit_cast<uint64_t>(nextSpeed) == std::bit_cast<uint64_t>(speed_)
        && std::bit_cast<uint32_t>(nextGain) == std::bit_cast<uint32_t>(outputGain_);
    if (settled) {
        run<true, false>(in, out, frames, s);
        settled_ = {incrementBits, speedBits, depthBits, gainBits, true};
    } else {
        settled_.valid = false;
        run<false, false>(in, out, frames, s);
    }
}

template <bool Settled> void CTapeDelay::makeLfoRun(double depth, double increment, double speed)
{
    // Phases frame by frame, their shaping (and, with the speed settled, the
    // tape steps) two frames per SSE2 operation, each lane in process()'s
    // order.
    double phase = lfoPhase_;
    double* const phases = lfo_.phases;
    double* const steps = lfo_.steps;
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
            // minpd and maxpd in the operand order of the two clamps in run().
            m = _mm_max_pd(_mm_min_pd(fastest, _mm_mul_pd(speeds, m)), slowest);
        }
        _mm_store_pd(steps + k, m);
    }
    lfo_.end = phase;
    lfo_.at = 0;
    lfo_.left = kLfoRun;
    lfo_.settled = Settled;
    lfo_.depth = std::bit_cast<uint64_t>(depth);
    lfo_.increment = std::bit_cast<uint64_t>(increment);
    lfo_.speed = std::bit_cast<uint64_t>(speed);
}

template <bool Settled, bool RunChecked>
void CTapeDelay::run(const float* in, float* out, int frames, const Settings& s)
{
    // process() per sample, with the settings read once and the state in
    // locals, the laps' included: stores into the laps could alias the
    // members, which would reload and store them on every sample.
    const double depth = static_cast<double>(s.depth);
    const double increment = s.increment;
    const float feedbackShare = s.feedback;
    const float gainTarget = s.gain;
    const double speedTarget = s.speed;
    const double minimum = minimumSpeed_;
    double speed = speed_;
    double position = writePosition_;
    float gain = outputGain_;

    // A run made with other settings, or of the other kind, is dropped; the
    // next is made from the phase of the next frame. A settled block with
    // the key of the last one knows its run fits.
    if (!RunChecked
        && (lfo_.settled != Settled || lfo_.depth != std::bit_cast<uint64_t>(depth)
            || lfo_.increment != std::bit_cast<uint64_t>(increment)
            || (Settled && lfo_.speed != std::bit_cast<uint64_t>(speed))))
        lfo_.left = 0;

    const float* readValues = readLap_->values;
    const double* readPositions = readLap_->positions;
    int32_t readCount = readLap_->count;
    int32_t readIndex = readLap_->readIndex;
    float* writeValues = writeLap_->values;
    double* writePositions = writeLap_->positions;
    int32_t writeCount = writeLap_->count;
    // The closing entry sits at count + kFirst, so a lap can hold at most
    // capacity - kFirst - 1 entries before it has to end.
    int32_t writeLimit = writeLap_->capacity - kFirst - 1;

    for (int at = 0, n = 0; at < frames; at += n) {
        if (lfo_.left == 0)
            makeLfoRun<Settled>(depth, increment, speed);
        n = std::min(static_cast<int>(lfo_.left), frames - at);
        const double* const steps = lfo_.steps + lfo_.at;
        int k;

        // The input's flush holds no state: four frames per SSE2 operation.
        alignas(16) float inputs[kLfoRun];
        const float* chunkIn = in + at;
        for (k = 0; k + 4 <= n; k += 4)
            _mm_store_ps(inputs + k, tb::flushLanes(_mm_loadu_ps(chunkIn + k)));
        for (; k < n; ++k)
            inputs[k] = tb::flush(chunkIn[k]);

        float* chunkOut = out + at;
        for (k = 0; k < n; ++k) {
            const float x = inputs[k];

            // readTape(), on the locals.
            float d = 0.0f;
            if (readCount != 0) {
                int32_t i = readIndex;
                while (i <= readCount && readPositions[i + kFirst] < position)
                    ++i;
                readIndex = i;
                if (i <= readCount) {
                    const double pa = readPositions[i + kFirst - 1];
                    const double pb = readPositions[i + kFirst];
                    const float va = readValues[i + kFirst - 1];
                    const float vb = readValues[i + kFirst];
                    float frac = 0.0f;
                    if (static_cast<float>(pa) < static_cast<float>(pb))
                        frac = static_cast<float>((position - pa) / (pb - pa));
                    d = tb::flush(va + frac * (vb - va));
                }
            }
            const float result = gain * d;
            const float w = x + feedbackShare * d;

            double v = steps[k];
            if constexpr (!Settled) {
                v = speed * v;
                if (v > kMaximumSpeed)
                    v = kMaximumSpeed;
                if (!(v >= minimum))
                    v = minimum;
            }
            position += v;

            if (position >= 1.0 || writeCount >= writeLimit) {
                writePosition_ = position;
                writeLap_->count = writeCount;
                readLap_->readIndex = readIndex;
                endLap(w);
                position = writePosition_;
                readValues = readLap_->values;
                readPositions = readLap_->positions;
                readCount = readLap_->count;
                readIndex = readLap_->readIndex;
                writeValues = writeLap_->values;
                writePositions = writeLap_->positions;
                writeCount = writeLap_->count;
                writeLimit = writeLap_->capacity - kFirst - 1;
            }

            writeValues[writeCount + kFirst] = w;
            writePositions[writeCount + kFirst] = position;
            ++writeCount;

            if constexpr (!Settled) {
                gain = tb::flush(gain + (gainTarget - gain) * 0.01f);
                speed += (speedTarget - speed) * 0.005;
                if (std::isnan(speed))
                    speed = minimum;
            }
            chunkOut[k] = result;
        }
        lfo_.at += n;
        lfo_.left -= n;
        lfoPhase_ = lfo_.left > 0 ? lfo_.phases[lfo_.at] : lfo_.end;
    }

    speed_ = speed;
    writePosition_ = position;
    outputGain_ = gain;
    writeLap_->count = writeCount;
    readLap_->readIndex = readIndex;
}
