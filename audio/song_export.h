#pragma once

#include <cstddef>
#include <cstdint>

class CTask;
class QIODevice;

enum class ESongExportResult {
    OK,
    NOT_A_SONG,  // not the pedal's 24-bit format, or no whole frame
    CANCELLED,
    WRITE_ERROR,  // the device refused a write or a seek
    RESAMPLER_ERROR,
};
const char* song_export_result_text(ESongExportResult result);

// The format of a song as the pedal stores it (SNandFlashConfig's audio fields).
struct SSongAudioFormat {
    unsigned int channels = 1;
    unsigned int sample_rate = 46875;  // Hz
    unsigned int bits_per_sample = 24;
};

// Writes the song as a 48000 Hz, 24-bit WAV file (the layout CWave::Save writes) at the
// device's current position: resampled in floating point a block at a time and rounded
// to 24 bits. The device must be seekable: the sizes are filled in at the end. A cancel
// between blocks leaves a partial file for the caller to remove.
[[nodiscard]] ESongExportResult export_song(const unsigned char* song, size_t length,
                                            const SSongAudioFormat& format, QIODevice& out, CTask* task);
