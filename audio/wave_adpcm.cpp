#include "audio/adpcm.h"
#include "audio/wave.h"
#include "support/little_endian.h"
#include "support/neat.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace {

// Samples converted between the little-endian frames and the codec per step; even, so
// that only the last piece of a stream can have an odd count.
constexpr unsigned int PIECE = 8192;

}  // namespace

bool CWave::LoadFromADPCM(unsigned char* data, unsigned int byteCount, unsigned int channels,
                          unsigned int sampleRate, unsigned int bitsPerSample)
{
    SWaveFormatex format;
    NEAT::get_wave_format_ex(uint16_t(channels), sampleRate, uint16_t(bitsPerSample), format);
    // Every code byte gives two samples of two bytes; a CWave's byte length is 32-bit.
    const uint64_t length = 4 * uint64_t(byteCount);
    if (format.nBlockAlign == 0 || length > std::numeric_limits<uint32_t>::max())
        return false;
    std::unique_ptr<unsigned char[]> frames(length ? new unsigned char[size_t(length)] : nullptr);
    adpcm_state state;
    short samples[PIECE];
    for (uint64_t done = 0; done < byteCount;) {
        const int bytes = int(std::min<uint64_t>(byteCount - done, PIECE / 2));
        const int decoded = adpcm_decoder(data + done, bytes, samples, &state);
        unsigned char* at = frames.get() + 4 * done;
        for (int i = 0; i < decoded; ++i)
            LE::write16(at + 2 * i, uint16_t(samples[i]));
        done += unsigned(bytes);
    }
    m_WaveFormat = format;
    m_wSampleFormatTag = WAVE_FORMAT_PCM;
    m_WaveBuffer.SetBuffer(frames.release(), unsigned(length / format.nBlockAlign), format.nBlockAlign);
    return true;
}

bool CWave::SaveAsADPCM(unsigned char*& out, unsigned int& outLength)
{
    if (m_WaveFormat.wBitsPerSample != 16)
        return false;
    const unsigned int length = GetBufferLength();
    const unsigned int count = length / 2;
    out = new unsigned char[(size_t(length) + 3) / 4];
    adpcm_state state;
    short samples[PIECE];
    unsigned int written = 0;
    for (unsigned int done = 0; done < count;) {
        const unsigned int piece = std::min(count - done, PIECE);
        const unsigned char* at = GetBuffer() + 2 * size_t(done);
        for (unsigned int i = 0; i < piece; ++i)
            samples[i] = short(uint16_t(LE::read16(at + 2 * i)));
        written += unsigned(adpcm_coder(samples, int(piece), out + written, &state));
        done += piece;
    }
    outLength = written;
    return true;
}
