#pragma once

#include "audio/loudness_meter.h"

// The one gain a whole song is scaled by to reach a loudness. Normalising never
// compresses or limits: where the gain that reaches the target would lift the true peak
// above kHighestTruePeak, the gain is lowered to what the peak allows, and it never passes
// kMostGain.
struct SLoudnessGain {
    double gain_db = 0;
    bool peak_limited = false;  // the peaks, not the target, set the gain
    bool gain_capped = false;   // kMostGain, not the target or the peaks, set the gain
    bool below_gate = false;    // too quiet to measure: no gain
};

constexpr double kHighestTruePeak = -1.0;  // dBTP
// More would lift a song's noise floor far over its sound: a song that quiet is more
// likely a mistake than a take.
constexpr double kMostGain = 24.0;  // dB
// The meter's absolute gate: a song quieter than this has no integrated loudness.
constexpr double kLoudnessGate = -70.0;  // LUFS

// The gain for a song measured as `measured` (true peak included) to reach `target_lufs`.
// A song below the meter's absolute gate (-70 LUFS), silence included, gets none.
SLoudnessGain loudness_gain(const SLoudness& measured, double target_lufs);

// `measured` scaled by `gain_db`: each figure moves by the gain, the range stays.
SLoudness with_gain(const SLoudness& measured, double gain_db);
