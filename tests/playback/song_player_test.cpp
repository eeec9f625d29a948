#include "playback/song_player.h"
#include "audio/song_converter.h"
#include "audio/song_stream.h"
#include "capture_sink.h"
#include "signal_measure.h"
#include "support/little_endian.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>
#include "test_wait.h"

namespace {

using EState = CSongPlayer::EState;

constexpr double kToneHz = 1000;
// The left channel's level; the right one has half of it, so a swap shows.
constexpr double kLeftLevel = 0.5;
// Far beyond the few 15 ms turns of the player's timer any wait here needs.
constexpr int kWaitMs = 20000;

double level_of(unsigned int channel)
{
    return channel == 0 ? kLeftLevel : kLeftLevel / 2;
}

// A steady tone of `frames` frames in the pedal's format, none of it arrived yet.
std::shared_ptr<CSongStream> tone_song(unsigned int channels, uint64_t frames)
{
    SSongAudioFormat format;
    format.channels = channels;
    auto stream = CSongStream::make(format, frames * channels * kSongBytesPerSample);
    unsigned char* at = stream->bytes();
    for (uint64_t i = 0; i < frames; ++i) {
        for (unsigned int c = 0; c < channels; ++c) {
            const double level = level_of(c) * std::sin(2 * M_PI * kToneHz * double(i) / kSongSampleRate);
            at = LE::write24(at, uint32_t(int32_t(std::lrint(level * 8388607))));
        }
    }
    return stream;
}

std::vector<double> channel_of(const std::vector<float>& samples, unsigned int channel, unsigned int channels)
{
    std::vector<double> one;
    for (size_t i = channel; i < samples.size(); i += channels)
        one.push_back(samples[i]);
    return one;
}

class SongPlayer : public ::testing::Test {
protected:
    bool wait_for(const std::function<bool()>& condition) { return wait_or_fail(condition, kWaitMs); }
    bool wait_for_end()
    {
        return wait_for([this] { return m_finished.count() == 1; });
    }

    CCaptureSink m_sink;
    CSongPlayer m_player{m_sink};
    QSignalSpy m_finished{&m_player, &CSongPlayer::finished};
    QSignalSpy m_states{&m_player, &CSongPlayer::state_changed};
};

struct SHandOver {
    const char* name;
    unsigned int channels;
    int sink_rate;  // 0: the song's own
    size_t room;
};

class SongHandOver : public SongPlayer, public ::testing::WithParamInterface<SHandOver> {};

struct SStall {
    const char* name;
    bool whole;  // the rest arrives, or the stream is broken off at half the song
};

class SongStall : public SongPlayer, public ::testing::WithParamInterface<SStall> {};

}  // namespace

TEST_P(SongHandOver, SinkGetsTheSongAtItsRate)
{
    const SHandOver& row = GetParam();
    m_sink.rate = row.sink_rate;
    m_sink.room_frames = row.room;
    const uint64_t frames = 30000;
    const auto stream = tone_song(row.channels, frames);
    stream->end(true);
    ASSERT_TRUE(m_player.play(stream));
    ASSERT_TRUE(wait_for_end());
    EXPECT_TRUE(m_finished.at(0).at(0).toBool());
    EXPECT_EQ(m_player.position(), frames);
    EXPECT_FALSE(m_sink.is_open);
    const unsigned int rate = row.sink_rate ? unsigned(row.sink_rate) : kSongSampleRate;
    EXPECT_EQ(m_sink.open_rate, int(rate));
    EXPECT_EQ(m_sink.written(), converted_frames(frames, kSongSampleRate, rate));
    if (rate == kSongSampleRate) {
        EXPECT_EQ(m_sink.samples, samples_in(*stream));
    }
    for (unsigned int c = 0; c < row.channels; ++c) {
        const std::vector<double> heard = channel_of(m_sink.samples, c, row.channels);
        EXPECT_NEAR(frequency_of(heard, rate), kToneHz, 0.1) << "channel " << c;
        EXPECT_NEAR(amplitude_of(heard), level_of(c), 0.002) << "channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SongHandOver,
                         ::testing::Values(SHandOver{"mono_as_stored", 1, 0,
                                                     std::numeric_limits<size_t>::max()},
                                           SHandOver{"stereo_in_small_writes", 2, 0, 700},
                                           SHandOver{"mono_at_48000", 1, 48000, 4000},
                                           SHandOver{"stereo_at_44100", 2, 44100, 999}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(SongStall, WaitsPausedThenPlaysWhatCame)
{
    const uint64_t frames = kSongSampleRate;
    const auto stream = tone_song(2, frames);
    const size_t frame_bytes = 2 * kSongBytesPerSample;
    stream->arrived(frames / 4 * frame_bytes);
    ASSERT_TRUE(m_player.play(stream));
    ASSERT_TRUE(
        wait_for([&] { return m_sink.written() == frames / 4 && m_player.state() == EState::BUFFERING; }));
    EXPECT_TRUE(m_sink.paused);
    EXPECT_EQ(m_player.position(), frames / 4);
    stream->arrived((GetParam().whole ? frames : frames / 2) * frame_bytes);
    stream->end(GetParam().whole);
    ASSERT_TRUE(wait_for_end());
    EXPECT_EQ(m_finished.at(0).at(0).toBool(), GetParam().whole);
    EXPECT_EQ(m_sink.samples, samples_in(*stream));
    std::vector<EState> states;
    for (const QList<QVariant>& change : m_states)
        states.push_back(change.at(0).value<EState>());
    EXPECT_EQ(states, (std::vector<EState>{EState::BUFFERING, EState::PLAYING, EState::BUFFERING,
                                           EState::PLAYING, EState::STOPPED}));
}

INSTANTIATE_TEST_SUITE_P(Cases, SongStall,
                         ::testing::Values(SStall{"whole", true}, SStall{"broken_off", false}),
                         [](const auto& info) { return std::string(info.param.name); });
