#pragma once

#include "audio/audio_source.h"
#include "audio/sample_layout.h"
#include "audio/song_audio.h"

#include <cstdint>
#include <functional>
#include <memory>

class CLoudnessMeter;

class CTask;

enum class EConvertResult {
    OK,
    TOO_LONG,     // the output passed the conversion's maximum; the sink has not seen that block
    CANCELLED,    // the task was cancelled between two blocks
    READ_ERROR,   // the source failed part-way
    WRITE_ERROR,  // the sink refused a block
    RESAMPLER_ERROR,
    NOT_FINITE,  // a float source holds a NaN or an infinity; nothing after its block was converted
};
const char* convert_result_text(EConvertResult result);

struct SConversion {
    unsigned int out_rate = kSongSampleRate;
    unsigned int out_channels = 1;  // 1 or 2
    EMonoMode mono_mode = EMonoMode::LEFT;
    uint64_t max_bytes = UINT64_MAX;  // output allowed
    // Every source through the floating-point path, as a gain needs.
    bool full_precision = false;
    // Output samples are scaled by it before they are rounded; only the floating-point
    // path applies it.
    double gain = 1.0;
    // Given the output samples (full scale 1.0, the gain applied, not yet rounded or held
    // to full scale), in the output's channels.
    CLoudnessMeter* meter = nullptr;
    // The progress counts the conversion as pass `pass` (0-based) of `passes` over the
    // source.
    unsigned int pass = 0;
    unsigned int passes = 1;
};

struct SConversionCounts {
    uint64_t frames_read = 0;  // source frames decoded
    uint64_t bytes_out = 0;    // output produced, the refused block included
    // Float source samples beyond full scale, clipped to it before resampling.
    uint64_t clipped_samples = 0;
    // On NOT_FINITE: the source frame holding the first NaN or infinity.
    uint64_t not_finite_frame = 0;
};

// Takes each converted block: interleaved 24-bit little-endian frames. False stops the
// conversion with WRITE_ERROR.
using SongSink = std::function<bool(const unsigned char* bytes, size_t length)>;

// Frames that the conversion of `frames` source frames yields, so a length can be judged
// before anything is converted.
uint64_t converted_frames(uint64_t frames, unsigned int in_rate, unsigned int out_rate);

// The song a conversion makes, a block of the source at a time, either pushed to a sink
// (run) or taken by the caller as it needs it (read): a write to the pedal takes a page at
// a time and the conversion runs no further ahead than that.
class CSongConversion {
public:
    class CPassBase;
    // Null when the conversion cannot be made (RESAMPLER_ERROR): no channels, no rate, or
    // soxr failed. The source, the task and the meter must outlive the conversion.
    [[nodiscard]] static std::unique_ptr<CSongConversion> start(CAudioSource& source,
                                                                const SConversion& conversion, CTask* task);
    ~CSongConversion();
    CSongConversion(const CSongConversion&) = delete;
    CSongConversion& operator=(const CSongConversion&) = delete;

    // The next song bytes, at most `length`, into `out`; `got` falls short only at the end
    // of the song. Anything but OK ends the conversion.
    [[nodiscard]] EConvertResult read(unsigned char* out, size_t length, size_t& got);
    // Hands the rest of the song to `sink`, a block at a time.
    [[nodiscard]] EConvertResult run(const SongSink& sink);
    const SConversionCounts& counts() const;

private:
    explicit CSongConversion(std::unique_ptr<CPassBase> pass);

    std::unique_ptr<CPassBase> m_pass;
    size_t m_taken = 0;  // bytes of the pass's ready block already read
    bool m_finished = false;
};

// Reads the source to its end a block at a time, resamples it with soxr's streaming
// interface and hands the 24-bit frames to `sink`; memory stays a few blocks whatever the
// length. A source of at most 16 bits (taking its first channel or two) goes through the
// same 16-bit resampling as CWave::ResampleLiner, byte for byte, unless `full_precision`;
// wider ones, and a mix of channels, are resampled in floating point at soxr's very high
// quality and rounded to 24 bits. A mono target takes the first channel or the mean of all
// (`mono_mode`); a stereo target the first two channels, or the one channel twice. The
// task gets a step per block and is checked for cancel between blocks. A source rate
// outside MIN_SOURCE_RATE..MAX_SOURCE_RATE is a RESAMPLER_ERROR: its blocks grow with the
// ratio of the rates (1 Hz: 46875 output frames per frame read).
[[nodiscard]] EConvertResult convert_to_24bit(CAudioSource& source, const SConversion& conversion,
                                              CTask* task, const SongSink& sink, SConversionCounts& counts);

// How many readings of a source (conversions and measurings) have begun in this process:
// what the benchmarks count a command's decodes of its files by.
uint64_t conversions_begun();

// Reads the source to its end and hands its sound to `conversion.meter` at the source's
// own rate, in the channels the conversion would make (`out_channels`, `mono_mode`),
// without resampling: what a normalised import measures before it converts with the gain.
// Without a meter it only checks and counts what a conversion would: the length of the
// song follows from the frames (converted_frames is what the resampler gives). Counts as
// convert_to_24bit does, `bytes_out` aside; the task as for a conversion.
[[nodiscard]] EConvertResult measure_source(CAudioSource& source, const SConversion& conversion, CTask* task,
                                            SConversionCounts& counts);
