#include "audio/sample_layout.h"
#include "audio/wave.h"
#include "support/neat.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace {

// Target depths the widening step can write.
bool is_writable_depth(unsigned int bits)
{
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool is_writable(const SWaveFormatex& target)
{
    return target.nChannels > 0 && target.nSamplesPerSec > 0 && is_writable_depth(target.wBitsPerSample) &&
           target.nBlockAlign == target.nChannels * (target.wBitsPerSample / 8u);
}

// Frames soxr may deliver for `frames` input frames: the exact ratio rounded up, plus a
// few frames of margin for the library's own rounding of the flushed tail.
// In floating point: frames x rate can pass 64 bits, and the margin covers the rounding.
double output_capacity(unsigned int frames, unsigned int inRate, unsigned int outRate)
{
    return std::ceil(double(frames) * outRate / inRate) + 8;
}

// Stores each 16-bit sample in the first channel slot of successive frames: wider depths
// get zero low bytes, 8-bit gets the unsigned WAVE form.
void widen(const int16_t* samples, size_t count, const SWaveFormatex& target, unsigned char* out)
{
    const unsigned int bytes = target.wBitsPerSample / 8u;
    const unsigned int stride = target.nBlockAlign;
    for (size_t i = 0; i < count; ++i, out += stride) {
        const auto value = uint16_t(samples[i]);
        if (bytes == 1) {
            out[0] = uint8_t((value >> 8) ^ 0x80);
            continue;
        }
        for (unsigned int b = 0; b + 2 < bytes; ++b)
            out[b] = 0;
        out[bytes - 2] = uint8_t(value);
        out[bytes - 1] = uint8_t(value >> 8);
    }
}

template <typename T>
std::unique_ptr<T[]> try_allocate(uint64_t count)
{
    if (count > std::numeric_limits<size_t>::max() / sizeof(T))
        return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[size_t(count)]);
}

}  // namespace

bool CWave::ResampleLiner(unsigned int channels, unsigned int sampleRate, unsigned int bitsPerSample)
{
    const unsigned int frames = GetNumSamples();
    if (frames == 0)
        return true;
    SWaveFormatex target;
    NEAT::get_wave_format_ex(uint16_t(channels), sampleRate, uint16_t(bitsPerSample), target);
    if (target == m_WaveFormat)
        return true;

    const auto source = sample_layout(m_WaveFormat, m_wSampleFormatTag);
    std::unique_ptr<unsigned char[]> block;
    uint64_t capacity = 0;
    if (source && is_writable(target)) {
        const double wanted = output_capacity(frames, source->sampleRate, target.nSamplesPerSec);
        // The frame count and byte length of a CWave are 32-bit.
        if (wanted * target.nBlockAlign <= double(std::numeric_limits<uint32_t>::max())) {
            capacity = uint64_t(wanted);
            block = try_allocate<unsigned char>(capacity * target.nBlockAlign);
        }
    }

    unsigned int produced = 0;
    if (block) {
        const unsigned int slot = target.wBitsPerSample / 8u;
        // Slots past the first two stay silent.
        if (target.nChannels > 2)
            std::memset(block.get(), 0, size_t(capacity) * target.nBlockAlign);
        // The source is dropped as soon as its last channel is extracted, so it never sits
        // beside the resampler's working memory.
        const bool secondFromSource = target.nChannels >= 2 && source->channels >= 2;
        unsigned char* end =
            resample_channel(true, target, block.get(), unsigned(capacity), !secondFromSource);
        produced = unsigned((end - block.get()) / target.nBlockAlign);
        if (target.nChannels >= 2 && produced > 0) {
            if (secondFromSource) {
                end = resample_channel(false, target, block.get() + slot, produced, true);
                produced = std::min(produced, unsigned((end - block.get() - slot) / target.nBlockAlign));
            } else {
                // A mono source gives both channels the same samples; resampling it twice
                // would only cost the time.
                for (unsigned char* frame = block.get();
                     frame < block.get() + size_t(produced) * target.nBlockAlign; frame += target.nBlockAlign)
                    std::memcpy(frame + slot, frame, slot);
            }
        }
    }

    m_WaveFormat = target;
    m_wSampleFormatTag = WAVE_FORMAT_PCM;
    if (produced == 0) {
        m_WaveBuffer.Clear();
        return false;
    }
    m_WaveBuffer.SetBuffer(block.release(), produced, target.nBlockAlign);
    return true;
}

unsigned char* CWave::ResampleCh(bool firstChannel, const SWaveFormatex& target, unsigned char* out,
                                 unsigned int capacityFrames)
{
    return resample_channel(firstChannel, target, out, capacityFrames, false);
}

unsigned char* CWave::resample_channel(bool firstChannel, const SWaveFormatex& target, unsigned char* out,
                                       unsigned int capacityFrames, bool lastUseOfSource)
{
    const auto source = sample_layout(m_WaveFormat, m_wSampleFormatTag);
    const size_t frames = GetNumSamples();
    if (!source || !is_writable(target) || !out || frames == 0 || capacityFrames == 0)
        return out;
    const unsigned int channel = (!firstChannel && source->channels >= 2) ? 1 : 0;

    size_t produced = 0;
    {
        std::unique_ptr<int16_t[]> inSamples = try_allocate<int16_t>(frames);
        if (!inSamples)
            return out;
        extract_channel(*source, GetBuffer(), frames, channel, inSamples.get());
        if (lastUseOfSource)
            m_WaveBuffer.Clear();
        std::unique_ptr<int16_t[]> outSamples = try_allocate<int16_t>(capacityFrames);
        if (!outSamples)
            return out;

        soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        // The library's default dither is seeded from the clock; without it the same file
        // always gives the same song bytes, and a mono source the same samples on both
        // channels.
        io.flags |= SOXR_NO_DITHER;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        size_t consumed = 0;
        const soxr_error_t error = soxr_oneshot(double(source->sampleRate), double(target.nSamplesPerSec), 1,
                                                inSamples.get(), frames, &consumed, outSamples.get(),
                                                capacityFrames, &produced, &io, &quality, nullptr);
        if (error)
            return out;
        inSamples.reset();
        widen(outSamples.get(), produced, target, out);
    }
    return out + produced * target.nBlockAlign;
}
