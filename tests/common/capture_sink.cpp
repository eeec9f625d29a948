#include "capture_sink.h"

#include "audio/song_stream.h"

#include <gtest/gtest.h>
#include <algorithm>

std::vector<float> samples_in(const CSongStream& stream)
{
    std::vector<float> samples(stream.frames_in() * stream.format().channels);
    stream.read(0, samples.data(), stream.frames_in());
    return samples;
}

int CCaptureSink::output_rate(int asked, int) const
{
    return rate > 0 ? rate : asked;
}

bool CCaptureSink::open(int at_rate, int channels)
{
    is_open = true;
    paused = false;
    open_rate = at_rate;
    open_channels = channels;
    samples.clear();
    return true;
}

void CCaptureSink::write(const float* frames, size_t count)
{
    EXPECT_TRUE(is_open && !paused) << "frames written to a sink that is paused or closed";
    EXPECT_LE(count, room_frames) << "more frames written than the sink has room for";
    if (samples.empty() && count > 0 && on_first_write)
        on_first_write();
    samples.insert(samples.end(), frames, frames + count * size_t(open_channels));
}

uint64_t CCaptureSink::played() const
{
    return written() - std::min(written(), unheard);
}
