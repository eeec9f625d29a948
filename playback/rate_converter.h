#pragma once

#include <cstddef>
#include <memory>
#include <vector>

struct soxr;

// A song's frames brought to a sound device's rate as they come, a chunk at a time: soxr's
// streaming interface where the rates differ, a plain copy where they match. Frames are
// interleaved float samples.
class CRateConverter {
public:
    // Null when soxr cannot be set up for these rates.
    static std::unique_ptr<CRateConverter> make(unsigned int in_rate, unsigned int out_rate,
                                                unsigned int channels);
    ~CRateConverter();
    CRateConverter(const CRateConverter&) = delete;
    CRateConverter& operator=(const CRateConverter&) = delete;

    // Appends the output `frames` input frames give so far (the resampler holds back a few
    // for its filter until more come or the end is told). False on a resampler fault.
    [[nodiscard]] bool convert(const float* in, size_t frames, std::vector<float>& out);
    // The input has ended: appends what the resampler still holds.
    [[nodiscard]] bool flush(std::vector<float>& out);

private:
    CRateConverter(soxr* resampler, double ratio, unsigned int channels);
    [[nodiscard]] bool process(const float* in, size_t frames, std::vector<float>& out);

    soxr* m_resampler;
    double m_ratio;
    unsigned int m_channels;
};
