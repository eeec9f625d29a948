#include "audio/loudness_gain.h"

#include <cmath>

SLoudnessGain loudness_gain(const SLoudness& measured, double target_lufs)
{
    SLoudnessGain gain;
    if (!std::isfinite(measured.integrated_lufs)) {
        gain.below_gate = true;
        return gain;
    }
    gain.gain_db = target_lufs - measured.integrated_lufs;
    if (gain.gain_db > kMostGain) {
        gain.gain_db = kMostGain;
        gain.gain_capped = true;
    }
    if (measured.true_peak_dbtp && std::isfinite(*measured.true_peak_dbtp)) {
        const double allowed = kHighestTruePeak - *measured.true_peak_dbtp;
        if (allowed < gain.gain_db) {
            gain.gain_db = allowed;
            gain.peak_limited = true;
            gain.gain_capped = false;
        }
    }
    return gain;
}

SLoudness with_gain(const SLoudness& measured, double gain_db)
{
    SLoudness scaled = measured;
    scaled.integrated_lufs += gain_db;
    if (scaled.true_peak_dbtp)
        *scaled.true_peak_dbtp += gain_db;
    return scaled;
}
