#include "song_test_kit.h"

#include <random>

SSongTarget song_target(unsigned int channels, EMonoMode mode, uint64_t max_bytes, ELoudnessTarget loudness)
{
    SSongTarget target;
    target.loudness = loudness;
    target.channels = channels;
    target.mono_mode = mode;
    target.max_bytes = max_bytes;
    return target;
}

QString fixture(const char* name)
{
    return QString(AUDIO_FIXTURES "/") + name;
}

CWave song_wave(const std::vector<unsigned char>& song, unsigned int channels)
{
    CWave wave;
    wave.BuildFormat(uint16_t(channels), kSongSampleRate, 24);
    const unsigned int frames = unsigned(song.size() / (3 * channels));
    if (frames > 0)
        wave.SetBuffer(const_cast<unsigned char*>(song.data()), frames, true);
    return wave;
}

Bytes noise_wave16(unsigned int rate, unsigned int channels, unsigned int frames, int peak)
{
    std::mt19937 random(rate + channels);
    std::uniform_int_distribution<int> sample(-peak, peak);
    Bytes data;
    data.reserve(size_t(frames) * channels * 2);
    for (size_t i = 0; i < size_t(frames) * channels; ++i) {
        const Bytes bytes = le16(uint16_t(int16_t(sample(random))));
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    return riff_wave({chunk("fmt ", format_body(1, uint16_t(channels), rate, 16)), chunk("data", data)});
}
