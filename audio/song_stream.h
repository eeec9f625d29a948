#pragma once

#include "audio/song_export.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// A song in the pedal's format on its way to the speakers while it is still arriving: the
// pedal's read (or a conversion) fills it from its first byte on, and a player reads the
// frames that are in. One thread fills it; any thread may read it meanwhile.
class CSongStream {
public:
    // Room for a song of `length` bytes in `format`; null when memory for it cannot be had
    // (the length comes from the pedal's record, and a damaged one may be huge).
    static std::shared_ptr<CSongStream> make(const SSongAudioFormat& format, size_t length);
    // A stream already whole, holding a copy of `song`; null as above.
    static std::shared_ptr<CSongStream> whole_of(const SSongAudioFormat& format,
                                                 const std::vector<unsigned char>& song);
    CSongStream(const CSongStream&) = delete;
    CSongStream& operator=(const CSongStream&) = delete;

    const SSongAudioFormat& format() const { return m_format; }
    size_t length() const { return m_bytes.size(); }
    // Whole frames of the song, all of it.
    uint64_t frames() const { return m_bytes.size() / frame_bytes(); }

    // The filling side: the song's bytes, written from the start on; arrived() says how far.
    unsigned char* bytes() { return m_bytes.data(); }
    // The first `count` bytes are in; never fewer than before.
    void arrived(size_t count);
    // No more will arrive: the song is all in (`whole`), or it was broken off (a Stop, a
    // failed read) and ends at what arrived.
    void end(bool whole);

    // The reading side.
    uint64_t frames_in() const { return m_in.load(std::memory_order_acquire) / frame_bytes(); }
    bool ended() const { return m_end.load(std::memory_order_acquire) != OPEN; }
    bool whole() const { return m_end.load(std::memory_order_acquire) == WHOLE; }
    // Copies at most `count` frames from frame `first` on, as interleaved samples of full
    // scale 1.0; the frames copied, fewer (or none) past what is in.
    size_t read(uint64_t first, float* out, size_t count) const;
    // The whole song's bytes; only once whole().
    const unsigned char* data() const { return m_bytes.data(); }

private:
    enum EEnd : int { OPEN, WHOLE, BROKEN };
    CSongStream(const SSongAudioFormat& format, size_t length);
    size_t frame_bytes() const { return size_t{m_format.channels} * (m_format.bits_per_sample / 8); }

    SSongAudioFormat m_format;
    std::vector<unsigned char> m_bytes;
    std::atomic<size_t> m_in{0};
    std::atomic<int> m_end{OPEN};
};
