#include "playback/rate_converter.h"

#include <soxr.h>

#include <cmath>

std::unique_ptr<CRateConverter> CRateConverter::make(unsigned int in_rate, unsigned int out_rate,
                                                     unsigned int channels)
{
    if (in_rate == 0 || out_rate == 0 || channels == 0)
        return nullptr;
    soxr* resampler = nullptr;
    if (in_rate != out_rate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        // High quality: listening needs no more, and the player's thread is the GUI's.
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        resampler = soxr_create(double(in_rate), double(out_rate), channels, &error, &io, &quality, nullptr);
        if (error || !resampler)
            return nullptr;
    }
    return std::unique_ptr<CRateConverter>(
        new CRateConverter(resampler, double(out_rate) / in_rate, channels));
}

CRateConverter::CRateConverter(soxr* resampler, double ratio, unsigned int channels)
    : m_resampler(resampler), m_ratio(ratio), m_channels(channels)
{
}

CRateConverter::~CRateConverter()
{
    soxr_delete(m_resampler);
}

bool CRateConverter::convert(const float* in, size_t frames, std::vector<float>& out)
{
    if (!m_resampler) {
        out.insert(out.end(), in, in + frames * m_channels);
        return true;
    }
    return process(in, frames, out);
}

bool CRateConverter::flush(std::vector<float>& out)
{
    return !m_resampler || process(nullptr, 0, out);
}

bool CRateConverter::process(const float* in, size_t frames, std::vector<float>& out)
{
    // Room for the chunk's share of output and a little of what the filter held back; soxr
    // keeps what does not fit for the next call, and the loop calls until none comes.
    const size_t room = size_t(std::ceil(double(frames) * m_ratio)) + 256;
    size_t done = 0;
    for (;;) {
        const size_t start = out.size();
        out.resize(start + room * m_channels);
        size_t consumed = 0;
        size_t produced = 0;
        const soxr_error_t error =
            soxr_process(m_resampler, in ? in + done * m_channels : nullptr, frames - done, &consumed,
                         out.data() + start, room, &produced);
        out.resize(start + produced * m_channels);
        done += consumed;
        if (error || (consumed == 0 && produced == 0 && done < frames))
            return false;
        if (done == frames && produced == 0)
            return true;
    }
}
