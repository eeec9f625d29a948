#pragma once

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

// Measures interleaved samples of full scale 1.0 as they are added, in memory that does
// not grow with the song's length. The measuring runs on a thread of the meter's own, so
// a conversion that feeds it goes on meanwhile: add() copies the block and returns unless
// a few blocks are waiting already.
class CLoudnessMeter {
public:
    // The meter, or nothing when libebur128 cannot make one or no thread can be started.
    static std::unique_ptr<CLoudnessMeter> create(unsigned int channels, unsigned int sample_rate,
                                                  bool true_peak);
    ~CLoudnessMeter();
    CLoudnessMeter(const CLoudnessMeter&) = delete;
    CLoudnessMeter& operator=(const CLoudnessMeter&) = delete;

    unsigned int channels() const { return m_channels; }
    void add(const double* samples, size_t frames);
    // The figures of everything added, once it is measured.
    SLoudness result() const;

    // One libebur128 state and the thread that feeds it; defined with the meter.
    struct SState;

private:
    CLoudnessMeter(std::vector<std::unique_ptr<SState>> states, unsigned int channels, bool true_peak);

    // The loudness of all channels first, then the true peak of each channel.
    std::vector<std::unique_ptr<SState>> m_states;
    unsigned int m_channels;
    bool m_true_peak;
};
