#include "framework/dsp/EqBand.h"

#include <cmath>

void EqBand::updateBand(double rate)
{
    const double A = std::pow(10.0, gain / 20.0);
    double w = 6.283185005187988 * frequency / rate;
    // Above 3 rad the band would fold round Nyquist; near 0 the bandwidth
    // term divides by sin w.
    if (!(w >= 1e-4))
        w = 1e-4;
    if (w > 3.0)
        w = 3.0;
    const double sw = std::sin(w);
    const double cw = std::cos(w);
    const double alpha = sw * std::sinh(0.3465736 * bandwidth * w / sw);
    const double H = 2.0 * std::sqrt(A) * alpha;

    double nb0, nb1, nb2, na0, na1, na2;
    switch (kind) {
    case LowShelf:
        nb0 = A * ((A + 1.0) - (A - 1.0) * cw + H);
        nb1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * cw);
        nb2 = A * ((A + 1.0) - (A - 1.0) * cw - H);
        na0 = (A + 1.0) + (A - 1.0) * cw + H;
        na1 = -2.0 * ((A - 1.0) + (A + 1.0) * cw);
        na2 = (A + 1.0) + (A - 1.0) * cw - H;
        break;
    case HighShelf:
        nb0 = A * ((A + 1.0) + (A - 1.0) * cw + H);
        nb1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * cw);
        nb2 = A * ((A + 1.0) + (A - 1.0) * cw - H);
        na0 = (A + 1.0) - (A - 1.0) * cw + H;
        na1 = 2.0 * ((A - 1.0) - (A + 1.0) * cw);
        na2 = (A + 1.0) - (A - 1.0) * cw - H;
        break;
    default:  // peaking
        nb0 = 1.0 + alpha * A;
        nb1 = -2.0 * cw;
        na1 = nb1;
        nb2 = 1.0 - alpha * A;
        na0 = 1.0 + alpha / A;
        na2 = 1.0 - alpha / A;
        break;
    }

    b0 = tb::flush(static_cast<float>(nb0 / na0));
    b1 = tb::flush(static_cast<float>(nb1 / na0));
    b2 = tb::flush(static_cast<float>(nb2 / na0));
    a1 = tb::flush(static_cast<float>(na1 / na0));
    a2 = tb::flush(static_cast<float>(na2 / na0));
}

void EqBand::processBlock(float* samples, int frames)
{
    const float c0 = b0, c1 = b1, c2 = b2, d1 = a1, d2 = a2;
    float sx1 = x1, sx2 = x2, sy1 = y1, sy2 = y2;
    for (int k = 0; k < frames; ++k) {
        const float x = tb::flush(samples[k]);
        const float y = tb::flush(c0 * x + c1 * sx1 + c2 * sx2 - d1 * sy1 - d2 * sy2);
        sx2 = sx1;
        sx1 = x;
        sy2 = sy1;
        sy1 = y;
        samples[k] = y;
    }
    x1 = sx1;
    x2 = sx2;
    y1 = sy1;
    y2 = sy2;
}
