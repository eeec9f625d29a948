#include "audio/song_converter.h"
#include "audio/loudness_meter.h"
#include "support/little_endian.h"
#include "support/task.h"

#include <soxr.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

std::atomic<uint64_t> g_conversions_begun{0};

// Source samples per block (16384 stereo frames): small enough that the buffers stay
// well under a megabyte, large enough that soxr's per-call cost does not show. A file of
// thousands of channels gets fewer frames, never fewer than kLeastBlockFrames.
constexpr size_t kBlockSamples = 32768;
constexpr size_t kLeastBlockFrames = 64;

struct SSoxrDelete {
    void operator()(soxr* resampler) const { soxr_delete(resampler); }
};
using SoxrPointer = std::unique_ptr<soxr, SSoxrDelete>;

// How the source's channels become the channels that are resampled.
struct SChannelPlan {
    unsigned int source = 1;
    unsigned int resampled = 1;  // 1 or 2
    bool mix = false;            // one channel, the mean of all source channels
    bool duplicate = false;      // one resampled channel fills both output channels
};

SChannelPlan plan_channels(const SAudioSourceInfo& info, const SConversion& conversion)
{
    SChannelPlan plan;
    plan.source = info.channels;
    if (conversion.out_channels >= 2) {
        plan.resampled = info.channels >= 2 ? 2 : 1;
        plan.duplicate = info.channels < 2;
    } else {
        plan.mix = conversion.mono_mode == EMonoMode::MIX && info.channels >= 2;
    }
    return plan;
}

template <typename Sample>
void select_channels(const SChannelPlan& plan, const Sample* in, size_t frames, Sample* out)
{
    const unsigned int channels = plan.source;
    for (size_t i = 0; i < frames; ++i, in += channels) {
        if (plan.mix) {
            double sum = 0;
            for (unsigned int c = 0; c < channels; ++c)
                sum += in[c];
            *out++ = Sample(sum / channels);
        } else {
            for (unsigned int c = 0; c < plan.resampled; ++c)
                *out++ = in[c];
        }
    }
}

// Integer samples are always within full scale.
bool hold_to_full_scale(int16_t*, size_t, SConversionCounts&, unsigned int)
{
    return true;
}

// A NaN or an infinity has no sound to give: false, with its frame counted from the
// frames already read. Finite samples past full scale are clipped to it and counted, so
// one stray value does not swing the resampler's output over a whole block.
bool hold_to_full_scale(float* samples, size_t count, SConversionCounts& counts, unsigned int channels)
{
    for (size_t i = 0; i < count; ++i) {
        float& sample = samples[i];
        if (!std::isfinite(sample)) {
            counts.not_finite_frame = counts.frames_read + i / channels;
            return false;
        }
        if (sample > 1.0f || sample < -1.0f) {
            sample = sample > 0 ? 1.0f : -1.0f;
            ++counts.clipped_samples;
        }
    }
    return true;
}

double level(int16_t sample)
{
    return sample / 32768.0;
}

double level(double sample)
{
    return sample;
}

void put_sample(unsigned char*& at, int16_t sample)
{
    // A 16-bit sample becomes the top two bytes of the 24-bit one, as the 16-bit path has
    // always stored it.
    at = LE::write24(at, uint32_t(uint16_t(sample)) << 8);
}

void put_sample(unsigned char*& at, double sample)
{
    const double scaled = std::nearbyint(sample * 8388608.0);
    const double held = std::max(-8388608.0, std::min(8388607.0, scaled));
    at = LE::write24(at, uint32_t(int32_t(held)));
}

// The frames at `raw` as `plan` makes them, to the meter; `selected` and `levels` hold a
// block.
void meter_frames(const SChannelPlan& plan, const float* raw, size_t frames, float* selected, double* levels,
                  CLoudnessMeter& meter)
{
    select_channels(plan, raw, frames, selected);
    double* at = levels;
    for (const float* in = selected; in < selected + frames * plan.resampled;) {
        for (unsigned int c = 0; c < plan.resampled; ++c)
            *at++ = *in++;
        if (plan.duplicate) {
            *at = at[-1];
            ++at;
        }
    }
    meter.add(levels, frames);
}

}  // namespace

// One pass over the source, a block at a time; the song bytes of each block collect in
// ready() until the taker has them.
class CSongConversion::CPassBase {
public:
    virtual ~CPassBase() = default;
    // Converts the next source block, or at the source's end what the resampler still
    // holds; `finished` once all is out.
    virtual EConvertResult next_block(bool& finished) = 0;
    std::vector<unsigned char>& ready() { return m_ready; }
    const SConversionCounts& counts() const { return m_counts; }

protected:
    std::vector<unsigned char> m_ready;
    SConversionCounts m_counts;
};

namespace {

// A pass in blocks of `In` samples, resampled to `Out` samples.
template <typename In, typename Out>
class CPass final : public CSongConversion::CPassBase {
public:
    CPass(CAudioSource& source, const SConversion& conversion, const SChannelPlan& plan, CTask* task,
          SoxrPointer resampler)
        : m_source(source),
          m_conversion(conversion),
          m_plan(plan),
          m_task(task),
          m_resampler(std::move(resampler))
    {
        const SAudioSourceInfo& info = m_source.info();
        const double ratio = double(m_conversion.out_rate) / info.sample_rate;
        m_block_frames = std::max(kLeastBlockFrames, kBlockSamples / m_plan.source);
        m_out_capacity = size_t(std::ceil(double(m_block_frames) * ratio)) + 64;
        m_raw.resize(m_block_frames * m_plan.source);
        m_selected.resize(m_block_frames * m_plan.resampled);
        m_out.resize(m_out_capacity * m_plan.resampled);
        m_bytes.resize(m_out_capacity * m_conversion.out_channels * kSongBytesPerSample);
        if (m_conversion.meter)
            m_levels.resize(m_out_capacity * m_conversion.out_channels);
        m_total = expected_source_frames(ratio);
    }

    EConvertResult next_block(bool& finished) override
    {
        finished = false;
        if (m_flushing)
            return flush(finished);
        const int64_t got = m_source.read(m_raw.data(), m_block_frames);
        if (got < 0)
            return EConvertResult::READ_ERROR;
        if (got == 0) {
            m_flushing = true;
            return flush(finished);
        }
        if (!hold_to_full_scale(m_raw.data(), size_t(got) * m_plan.source, m_counts, m_plan.source))
            return EConvertResult::NOT_FINITE;
        m_counts.frames_read += uint64_t(got);
        const In* in = m_raw.data();
        if (m_plan.mix || m_plan.resampled != m_plan.source) {
            select_channels(m_plan, m_raw.data(), size_t(got), m_selected.data());
            in = m_selected.data();
        }
        for (size_t done = 0; done < size_t(got);) {
            size_t consumed = 0, produced = 0;
            if (soxr_process(m_resampler.get(), in + done * m_plan.resampled, size_t(got) - done, &consumed,
                             m_out.data(), m_out_capacity, &produced))
                return EConvertResult::RESAMPLER_ERROR;
            const EConvertResult emitted = write_out(produced);
            if (emitted != EConvertResult::OK)
                return emitted;
            if (consumed == 0 && produced == 0)
                return EConvertResult::RESAMPLER_ERROR;
            done += consumed;
        }
        const uint64_t pass_total = std::max(m_total, m_counts.frames_read);
        task_step(m_task, m_conversion.pass * pass_total + m_counts.frames_read,
                  m_conversion.passes * pass_total);
        return task_cancelled(m_task) ? EConvertResult::CANCELLED : EConvertResult::OK;
    }

private:
    EConvertResult flush(bool& finished)
    {
        size_t produced = 0;
        if (soxr_process(m_resampler.get(), nullptr, 0, nullptr, m_out.data(), m_out_capacity, &produced))
            return EConvertResult::RESAMPLER_ERROR;
        finished = produced == 0;
        return write_out(produced);
    }

    // For the progress: the header's count, or as much as the maximum output allows.
    uint64_t expected_source_frames(double ratio) const
    {
        if (m_source.info().frames >= 0)
            return uint64_t(m_source.info().frames);
        if (m_conversion.max_bytes == UINT64_MAX)
            return 0;
        const uint64_t frame_bytes = uint64_t{m_conversion.out_channels} * kSongBytesPerSample;
        return uint64_t(double(m_conversion.max_bytes / frame_bytes) / ratio);
    }

    EConvertResult write_out(size_t frames)
    {
        if (frames == 0)
            return EConvertResult::OK;
        if constexpr (std::is_same_v<Out, double>) {
            if (m_conversion.gain != 1.0)
                std::for_each(m_out.begin(), m_out.begin() + std::ptrdiff_t(frames * m_plan.resampled),
                              [this](double& sample) { sample *= m_conversion.gain; });
        }
        if (m_conversion.meter)
            measure(frames);
        unsigned char* at = m_bytes.data();
        const Out* sample = m_out.data();
        for (size_t i = 0; i < frames; ++i) {
            for (unsigned int c = 0; c < m_plan.resampled; ++c)
                put_sample(at, *sample++);
            if (m_plan.duplicate)
                at = std::copy(at - kSongBytesPerSample, at, at);
        }
        const size_t length = size_t(at - m_bytes.data());
        m_counts.bytes_out += length;
        if (m_counts.bytes_out > m_conversion.max_bytes)
            return EConvertResult::TOO_LONG;
        m_ready.insert(m_ready.end(), m_bytes.data(), at);
        return EConvertResult::OK;
    }

    void measure(size_t frames)
    {
        double* at = m_levels.data();
        const Out* sample = m_out.data();
        for (size_t i = 0; i < frames; ++i) {
            for (unsigned int c = 0; c < m_plan.resampled; ++c)
                *at++ = level(*sample++);
            if (m_plan.duplicate) {
                *at = at[-1];
                ++at;
            }
        }
        m_conversion.meter->add(m_levels.data(), frames);
    }

    CAudioSource& m_source;
    const SConversion m_conversion;
    const SChannelPlan m_plan;
    CTask* m_task;
    SoxrPointer m_resampler;
    size_t m_block_frames = 0;
    size_t m_out_capacity = 0;
    uint64_t m_total = 0;
    bool m_flushing = false;
    std::vector<In> m_raw;
    std::vector<In> m_selected;
    std::vector<Out> m_out;
    std::vector<unsigned char> m_bytes;
    std::vector<double> m_levels;
};

}  // namespace

const char* convert_result_text(EConvertResult result)
{
    switch (result) {
        case EConvertResult::OK:
            return "converted";
        case EConvertResult::TOO_LONG:
            return "longer than allowed";
        case EConvertResult::CANCELLED:
            return "cancelled";
        case EConvertResult::READ_ERROR:
            return "read error";
        case EConvertResult::WRITE_ERROR:
            return "write error";
        case EConvertResult::RESAMPLER_ERROR:
            return "resampler error";
        case EConvertResult::NOT_FINITE:
            return "a sample that is not a number";
    }
    return "";
}

uint64_t converted_frames(uint64_t frames, unsigned int in_rate, unsigned int out_rate)
{
    if (in_rate == 0)
        return 0;
    return uint64_t(std::llround(double(frames) * out_rate / in_rate));
}

uint64_t conversions_begun()
{
    return g_conversions_begun;
}

CSongConversion::CSongConversion(std::unique_ptr<CPassBase> pass) : m_pass(std::move(pass)) {}

CSongConversion::~CSongConversion() = default;

const SConversionCounts& CSongConversion::counts() const
{
    return m_pass->counts();
}

std::unique_ptr<CSongConversion> CSongConversion::start(CAudioSource& source, const SConversion& conversion,
                                                        CTask* task)
{
    ++g_conversions_begun;
    const SAudioSourceInfo& info = source.info();
    if (info.channels == 0 || info.sample_rate < MIN_SOURCE_RATE || info.sample_rate > MAX_SOURCE_RATE ||
        conversion.out_channels == 0 || conversion.out_channels > 2)
        return nullptr;
    const SChannelPlan plan = plan_channels(info, conversion);
    const bool exact16 = !info.wide && !plan.mix && !conversion.full_precision;

    // The 16-bit path sets soxr up exactly as the one-shot conversion does, so the same
    // source gives the same song bytes. Its clock-seeded default dither is off for the same
    // reason; the float path has no dither to turn off.
    soxr_io_spec_t io =
        exact16 ? soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I) : soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT64_I);
    io.flags |= SOXR_NO_DITHER;
    const soxr_quality_spec_t quality = soxr_quality_spec(exact16 ? SOXR_HQ : SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    SoxrPointer resampler(soxr_create(double(info.sample_rate), double(conversion.out_rate), plan.resampled,
                                      &error, &io, &quality, nullptr));
    if (error || !resampler)
        return nullptr;
    std::unique_ptr<CPassBase> pass;
    if (exact16)
        pass =
            std::make_unique<CPass<int16_t, int16_t>>(source, conversion, plan, task, std::move(resampler));
    else
        pass = std::make_unique<CPass<float, double>>(source, conversion, plan, task, std::move(resampler));
    return std::unique_ptr<CSongConversion>(new CSongConversion(std::move(pass)));
}

EConvertResult CSongConversion::read(unsigned char* out, size_t length, size_t& got)
{
    got = 0;
    while (got < length) {
        std::vector<unsigned char>& ready = m_pass->ready();
        if (m_taken == ready.size()) {
            ready.clear();
            m_taken = 0;
            if (m_finished)
                return EConvertResult::OK;
            const EConvertResult result = m_pass->next_block(m_finished);
            if (result != EConvertResult::OK)
                return result;
            continue;
        }
        const size_t take = std::min(length - got, ready.size() - m_taken);
        std::copy_n(ready.data() + m_taken, take, out + got);
        m_taken += take;
        got += take;
    }
    return EConvertResult::OK;
}

EConvertResult CSongConversion::run(const SongSink& sink)
{
    for (bool finished = false; !finished;) {
        const EConvertResult result = m_pass->next_block(finished);
        std::vector<unsigned char>& ready = m_pass->ready();
        if (result != EConvertResult::OK)
            return result;
        if (!ready.empty() && !sink(ready.data(), ready.size()))
            return EConvertResult::WRITE_ERROR;
        ready.clear();
    }
    return EConvertResult::OK;
}

EConvertResult convert_to_24bit(CAudioSource& source, const SConversion& conversion, CTask* task,
                                const SongSink& sink, SConversionCounts& counts)
{
    const std::unique_ptr<CSongConversion> converter = CSongConversion::start(source, conversion, task);
    if (!converter)
        return EConvertResult::RESAMPLER_ERROR;
    const EConvertResult result = converter->run(sink);
    counts = converter->counts();
    return result;
}

EConvertResult measure_source(CAudioSource& source, const SConversion& conversion, CTask* task,
                              SConversionCounts& counts)
{
    ++g_conversions_begun;
    const SAudioSourceInfo& info = source.info();
    if (info.channels == 0 || info.sample_rate < MIN_SOURCE_RATE || info.sample_rate > MAX_SOURCE_RATE)
        return EConvertResult::RESAMPLER_ERROR;
    const SChannelPlan plan = plan_channels(info, conversion);
    const size_t block_frames = std::max(kLeastBlockFrames, kBlockSamples / plan.source);
    std::vector<float> raw(block_frames * plan.source);
    std::vector<float> selected(conversion.meter ? block_frames * plan.resampled : 0);
    std::vector<double> levels(conversion.meter ? block_frames * conversion.meter->channels() : 0);
    const uint64_t total = info.frames >= 0 ? uint64_t(info.frames) : 0;
    for (;;) {
        const int64_t got = source.read(raw.data(), block_frames);
        if (got < 0)
            return EConvertResult::READ_ERROR;
        if (got == 0)
            return EConvertResult::OK;
        if (!hold_to_full_scale(raw.data(), size_t(got) * plan.source, counts, plan.source))
            return EConvertResult::NOT_FINITE;
        counts.frames_read += uint64_t(got);
        if (conversion.meter)
            meter_frames(plan, raw.data(), size_t(got), selected.data(), levels.data(), *conversion.meter);
        const uint64_t pass_total = std::max(total, counts.frames_read);
        task_step(task, conversion.pass * pass_total + counts.frames_read, conversion.passes * pass_total);
        if (task_cancelled(task))
            return EConvertResult::CANCELLED;
    }
}
