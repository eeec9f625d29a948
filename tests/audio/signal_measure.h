#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CWave;

// amplitude x sin(2 pi hz t) sampled at `rate`, in 16-bit full scale.
std::vector<int16_t> sine16(double hz, unsigned int rate, size_t count, double amplitude);

// Channel `channel` of an integer PCM CWave (8, 16, 24 or 32 bit) as values in [-1, 1).
std::vector<double> channel_of(const CWave& wave, unsigned int channel);

// Both measurements leave out the first and last tenth, where the resampler's filter
// settles; they expect a single steady tone.
// Frequency from the spacing of the rising zero crossings, interpolated between samples.
double frequency_of(const std::vector<double>& samples, double rate);
// Amplitude of the tone from its RMS (RMS x sqrt 2).
double amplitude_of(const std::vector<double>& samples);
// An amplitude ratio in dB.
double decibels(double ratio);

// Everything but the tone at `hz` (noise, distortion, a DC offset), relative to the
// tone, in dB: the tone is fitted by least squares over the middle four fifths.
double thd_n_db(const std::vector<double>& samples, double rate, double hz);
