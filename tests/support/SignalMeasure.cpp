#include "tests/support/SignalMeasure.h"

#include <cmath>

namespace tbtest {

double toDb(double ratio) { return ratio > 0.0 ? 20.0 * std::log10(ratio) : -400.0; }

double amplitudeAt(const float* x, int frames, double frequency, double rate)
{
    if (frames < 2)
        return 0.0;
    const double w = 2.0 * M_PI * frequency / rate;
    double re = 0.0, im = 0.0, weight = 0.0;
    for (int n = 0; n < frames; ++n) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * M_PI * n / (frames - 1));
        re += hann * x[n] * std::cos(w * n);
        im += hann * x[n] * std::sin(w * n);
        weight += hann;
    }
    // At DC (and at Nyquist) the sine part vanishes and the cosine part sees
    // the full amplitude rather than half of it.
    const bool edge = frequency <= 0.0 || std::fabs(frequency - rate / 2.0) < 1e-9;
    const double scale = edge ? 1.0 : 2.0;
    return scale * std::sqrt(re * re + im * im) / weight;
}

double levelDbAt(const float* x, int frames, double frequency, double rate)
{
    return toDb(amplitudeAt(x, frames, frequency, rate));
}

double levelDbAt(const std::vector<float>& x, double frequency, double rate)
{
    return levelDbAt(x.data(), static_cast<int>(x.size()), frequency, rate);
}

double rms(const float* x, int frames)
{
    if (frames <= 0)
        return 0.0;
    double sum = 0.0;
    for (int n = 0; n < frames; ++n)
        sum += static_cast<double>(x[n]) * x[n];
    return std::sqrt(sum / frames);
}

double rmsDb(const float* x, int frames) { return toDb(rms(x, frames)); }

float peakAbs(const float* x, int frames)
{
    float p = 0.0f;
    for (int n = 0; n < frames; ++n)
        p = std::fmax(p, std::fabs(x[n]));
    return p;
}

bool allFinite(const float* x, int frames)
{
    for (int n = 0; n < frames; ++n)
        if (!std::isfinite(x[n]))
            return false;
    return true;
}

bool allFinite(const std::vector<float>& x) { return allFinite(x.data(), static_cast<int>(x.size())); }

}  // namespace tbtest
