#pragma once

#include "audio/loudness_meter.h"

// The one gain a whole song is scaled by to reach a loudness. Normalising never
// compresses or limits: where the gain that reaches the target would lift the true peak
// above kHighestTruePeak, the gain is lowered to what the peak allows.
struct SLoudnessGain {
    double gain_db = 0;
    bool peak_limited = false;  // the peaks, not the target, set the gain
};

constexpr double kHighestTruePeak = -1.0;  // dBTP

// The gain for a song measured as `measured` (true peak included) to reach `target_lufs`.
// A silent song gets none.
SLoudnessGain loudness_gain(const SLoudness& measured, double target_lufs);

// `measured` scaled by `gain_db`: each figure moves by the gain, the range stays.
SLoudness with_gain(const SLoudness& measured, double gain_db);
