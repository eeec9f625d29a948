#pragma once

#include "audio/song_import.h"
#include "audio/wave.h"
#include "wave_builder.h"

#include <QString>
#include <vector>

// The slot of a PULSE RING: 160 blocks of 64 pages of 4032 bytes, 4:53 of mono song.
constexpr uint64_t kPulseRingSlotBytes = 41287680;

SSongTarget song_target(unsigned int channels, EMonoMode mode = EMonoMode::LEFT,
                        uint64_t max_bytes = kPulseRingSlotBytes,
                        ELoudnessTarget loudness = ELoudnessTarget::AS_THE_FILE);
QString fixture(const char* name);
// Song bytes as a 46875 Hz, 24-bit CWave, for the measures of signal_measure.h.
CWave song_wave(const std::vector<unsigned char>& song, unsigned int channels);
// A 16-bit WAVE image of seeded noise up to `peak`, a different sequence on every channel.
Bytes noise_wave16(unsigned int rate, unsigned int channels, unsigned int frames, int peak = 20000);
