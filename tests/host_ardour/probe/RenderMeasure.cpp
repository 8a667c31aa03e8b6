#include "tests/host_ardour/probe/RenderMeasure.h"

#include <algorithm>
#include <cmath>

namespace ardourprobe {
namespace {

    double toDb(double ratio) { return ratio > 0.0 ? 20.0 * std::log10(ratio) : kSilenceDb; }

}  // namespace

RenderStats measureRender(const WavData& wav, int64_t skip)
{
    RenderStats s;
    s.frames = wav.frames();
    s.channels = wav.channels;
    s.rate = wav.rate;
    double sum = 0.0;
    double peak = 0.0;
    int64_t counted = 0;
    for (const std::vector<float>& channel : wav.samples) {
        for (size_t i = static_cast<size_t>(std::max<int64_t>(skip, 0)); i < channel.size(); ++i) {
            const double v = channel[i];
            if (!std::isfinite(v)) {
                ++s.nonFinite;
                continue;
            }
            sum += v * v;
            peak = std::max(peak, std::fabs(v));
            ++counted;
        }
    }
    s.peakDb = toDb(peak);
    s.rmsDb = counted > 0 ? toDb(std::sqrt(sum / static_cast<double>(counted))) : kSilenceDb;
    return s;
}

double differenceDb(const WavData& a, const WavData& b, int64_t skip)
{
    if (a.channels != b.channels || a.channels == 0)
        return -kSilenceDb;
    const int64_t frames = std::min(a.frames(), b.frames());
    double reference = 0.0;
    double difference = 0.0;
    for (size_t c = 0; c < a.samples.size(); ++c) {
        for (int64_t i = std::max<int64_t>(skip, 0); i < frames; ++i) {
            const double x = a.samples[c][static_cast<size_t>(i)];
            const double d = x - b.samples[c][static_cast<size_t>(i)];
            reference += x * x;
            difference += d * d;
        }
    }
    if (!std::isfinite(difference) || !std::isfinite(reference))
        return -kSilenceDb;
    if (difference == 0.0)
        return kSilenceDb;
    if (reference == 0.0)
        return -kSilenceDb;
    return 10.0 * std::log10(difference / reference);
}

}  // namespace ardourprobe
