#include "audio/song_stream.h"

#include "support/little_endian.h"

#include <algorithm>
#include <new>
#include <stdexcept>

std::shared_ptr<CSongStream> CSongStream::make(const SSongAudioFormat& format, size_t length)
{
    if (format.channels == 0 || format.bits_per_sample != 24)
        return nullptr;
    try {
        return std::shared_ptr<CSongStream>(new CSongStream(format, length));
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

std::shared_ptr<CSongStream> CSongStream::whole_of(const SSongAudioFormat& format,
                                                   const std::vector<unsigned char>& song)
{
    std::shared_ptr<CSongStream> stream = make(format, song.size());
    if (stream) {
        std::copy(song.begin(), song.end(), stream->bytes());
        stream->end(true);
    }
    return stream;
}

CSongStream::CSongStream(const SSongAudioFormat& format, size_t length) : m_format(format), m_bytes(length) {}

void CSongStream::arrived(size_t count)
{
    count = std::min(count, m_bytes.size());
    // A compare and swap, not a store: a late report from another thread must not move the
    // mark back.
    size_t in = m_in.load(std::memory_order_relaxed);
    while (count > in && !m_in.compare_exchange_weak(in, count, std::memory_order_release))
        ;
}

void CSongStream::end(bool whole)
{
    if (whole)
        arrived(m_bytes.size());
    m_end.store(whole ? WHOLE : BROKEN, std::memory_order_release);
}

size_t CSongStream::read(uint64_t first, float* out, size_t count) const
{
    const uint64_t in = frames_in();
    if (first >= in)
        return 0;
    const auto copied = size_t(std::min<uint64_t>(count, in - first));
    const unsigned int channels = m_format.channels;
    const unsigned char* at = m_bytes.data() + first * frame_bytes();
    for (size_t i = 0; i < copied * channels; ++i, at += 3)
        out[i] = float(int32_t(LE::read24(at) << 8) >> 8) / 8388608.0f;
    return copied;
}
