#pragma once

#include <QString>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

// A song's loudness after EBU R128 / ITU-R BS.1770.
struct SLoudness {
    // Integrated loudness in LUFS; minus infinity for a song all below the gate (silence).
    double integrated_lufs = 0;
    // Loudness range in LU.
    double range_lu = 0;
    // The highest true peak of any channel in dBTP (4x oversampled), when it was measured.
    std::optional<double> true_peak_dbtp;
};

// "−14.2 LUFS", with the minus sign U+2212, as a song's list line gives it; "silent" for
// a song below the gate.
QString loudness_text(double lufs);

// Measures interleaved samples of full scale 1.0 as they are added, in memory that does
// not grow with the song's length.
class CLoudnessMeter {
public:
    // The meter, or nothing when libebur128 cannot make one (out of memory).
    static std::unique_ptr<CLoudnessMeter> create(unsigned int channels, unsigned int sample_rate,
                                                  bool true_peak);
    ~CLoudnessMeter();
    CLoudnessMeter(const CLoudnessMeter&) = delete;
    CLoudnessMeter& operator=(const CLoudnessMeter&) = delete;

    unsigned int channels() const { return m_channels; }
    void add(const double* samples, size_t frames);
    SLoudness result() const;

private:
    struct SState;  // libebur128's, which cannot be declared here
    CLoudnessMeter(std::unique_ptr<SState> state, unsigned int channels, bool true_peak);

    std::unique_ptr<SState> m_state;
    unsigned int m_channels;
    bool m_true_peak;
};

// Measures a song as the pedal stores it (interleaved 24-bit little-endian at 46875 Hz, 1
// or 2 channels), true peak included, from blocks of any length: a frame may be split
// between two blocks.
class CSongLoudnessMeter {
public:
    // The meter, or nothing for a channel count songs do not have or when out of memory.
    static std::unique_ptr<CSongLoudnessMeter> create(unsigned int channels);
    void add(const unsigned char* bytes, size_t length);
    // The figures of what was added; a partial frame at the end is not counted.
    SLoudness result() const { return m_meter->result(); }

private:
    explicit CSongLoudnessMeter(std::unique_ptr<CLoudnessMeter> meter);
    void add_frames(const unsigned char* bytes, size_t frames);

    std::unique_ptr<CLoudnessMeter> m_meter;
    std::vector<unsigned char> m_partial;  // the start of a frame a block ended in
    std::vector<double> m_samples;
};

// The figures of a whole song in memory, or nothing when no meter could be made.
std::optional<SLoudness> measure_song(const unsigned char* song, size_t length, unsigned int channels);
