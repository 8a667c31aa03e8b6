#pragma once

#include <vector>

// Level measurements on rendered audio, for the DSP tests.
namespace tbtest {

// Amplitude of the component at 'frequency' (Hann-windowed single-bin
// correlation), in dB relative to a full-scale sine (amplitude 1 = 0 dB).
// Leakage from other components is well below -60 dB once the window holds
// a few dozen periods. Returns -400 for silence.
double levelDbAt(const float* x, int frames, double frequency, double rate);
double levelDbAt(const std::vector<float>& x, double frequency, double rate);

// Linear amplitude of the same measurement.
double amplitudeAt(const float* x, int frames, double frequency, double rate);

double rms(const float* x, int frames);
double rmsDb(const float* x, int frames);  // 20 log10(rms), -400 for silence
float peakAbs(const float* x, int frames);

// True when every sample is a finite number.
bool allFinite(const float* x, int frames);
bool allFinite(const std::vector<float>& x);

// 20 log10(ratio), -400 for 0.
double toDb(double ratio);

}  // namespace tbtest
