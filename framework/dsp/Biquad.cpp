#include "framework/dsp/Biquad.h"

#include <cmath>

namespace {

struct Shape {
    double c;
    double s;
    double q;
};

bool shapeFor(double frequency, double q, double rate, Shape& out)
{
    if (!(rate > 0.0) || !std::isfinite(rate))
        return false;
    const double top = 0.49 * rate;
    if (!(frequency >= 0.0))
        frequency = 0.0;
    if (frequency > top)
        frequency = top;
    if (!(q >= 0.001))
        q = 0.001;
    if (!std::isfinite(q))
        q = 1.0e9;
    const double w = 6.283185307179586 * frequency / rate;
    out = {std::cos(w), std::sin(w), q};
    return true;
}

void storeDenominator(BiquadSection& section, const Shape& k)
{
    section.a1 = tb::flush(static_cast<float>(-2.0 * k.q * k.c / (k.q + k.s)));
    section.a2 = tb::flush(static_cast<float>((k.q - k.s) / (k.q + k.s)));
}

}  // namespace

void setLowPass(BiquadSection& section, double frequency, double q, double rate)
{
    Shape k;
    if (!shapeFor(frequency, q, rate, k))
        return;
    section.b0 = tb::flush(static_cast<float>((1.0 - k.c) / (2.0 + k.s / k.q)));
    storeDenominator(section, k);
}

void setHighPass(BiquadSection& section, double frequency, double q, double rate)
{
    Shape k;
    if (!shapeFor(frequency, q, rate, k))
        return;
    section.b0 = tb::flush(static_cast<float>((1.0 + k.c) / (2.0 + k.s / k.q)));
    storeDenominator(section, k);
}
