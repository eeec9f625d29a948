#include "audio/wave.h"
#include "signal_measure.h"

#include <gtest/gtest.h>
#include <cmath>

// Files written by sox and ffmpeg (fixtures/make_fixtures.sh): what they hold, and the
// tone each of the first two channels must carry once converted to the pedal's format.
struct SFixtureCase {
    const char* file;
    uint16_t formatTag;  // as written
    uint16_t sampleFormatTag;
    uint16_t channels;
    uint16_t bits;
    unsigned int rate;
    unsigned int frames;
    double leftHz, leftAmplitude, rightHz, rightAmplitude;
};

class RealFiles : public ::testing::TestWithParam<SFixtureCase> {};

TEST_P(RealFiles, LoadAndConvertToBothSongFormats)
{
    const SFixtureCase& c = GetParam();
    CWave wave;
    ASSERT_TRUE(wave.Load(QString(AUDIO_FIXTURES "/") + c.file)) << wave.error_text().toStdString();
    EXPECT_EQ(wave.GetFormat().wFormatTag, c.formatTag);
    EXPECT_EQ(wave.GetSampleFormatTag(), c.sampleFormatTag);
    EXPECT_EQ(wave.GetFormat().nChannels, c.channels);
    EXPECT_EQ(wave.GetFormat().wBitsPerSample, c.bits);
    EXPECT_EQ(wave.GetFormat().nSamplesPerSec, c.rate);
    EXPECT_EQ(wave.GetNumSamples(), c.frames);

    CWave stereo(wave);
    ASSERT_TRUE(stereo.ResampleLinerAs46875Wav(2));
    ASSERT_TRUE(wave.ResampleLinerAs46875Wav(1));
    EXPECT_NEAR(double(wave.GetNumSamples()), double(c.frames) * 46875 / c.rate, 3.0);
    EXPECT_EQ(channel_of(wave, 0), channel_of(stereo, 0));

    const struct {
        unsigned int channel;
        double hz, amplitude;
    } expected[] = {{0, c.leftHz, c.leftAmplitude}, {1, c.rightHz, c.rightAmplitude}};
    for (const auto& e : expected) {
        const std::vector<double> samples = channel_of(stereo, e.channel);
        EXPECT_NEAR(frequency_of(samples, 46875), e.hz, e.hz * 1e-4) << "channel " << e.channel;
        EXPECT_NEAR(20 * std::log10(amplitude_of(samples) / e.amplitude), 0.0, 0.1)
            << "channel " << e.channel;
    }
}

INSTANTIATE_TEST_SUITE_P(
    SoxAndFfmpeg, RealFiles,
    ::testing::Values(
        SFixtureCase{"sox_s16_stereo.wav", 1, 1, 2, 16, 44100, 4410, 1000, 0.5, 500, 0.5},
        SFixtureCase{"sox_s24_mono_extensible.wav", 0xFFFE, 1, 1, 24, 48000, 4800, 1000, 0.5, 1000, 0.5},
        SFixtureCase{"sox_u8_mono.wav", 1, 1, 1, 8, 22050, 2205, 1000, 0.5, 1000, 0.5},
        SFixtureCase{"sox_f32_stereo.wav", 3, 3, 2, 32, 44100, 4410, 1000, 0.5, 500, 0.5},
        SFixtureCase{"ffmpeg_s16_list.wav", 1, 1, 1, 16, 44100, 4410, 1000, 0.125, 1000, 0.125},
        SFixtureCase{"ffmpeg_s16_junk.wav", 1, 1, 1, 16, 44100, 4410, 1000, 0.125, 1000, 0.125},
        SFixtureCase{"ffmpeg_s16_6ch.wav", 0xFFFE, 1, 6, 16, 32000, 3200, 1000, 0.125, 1000, 0.0625},
        SFixtureCase{"ffmpeg_f64_extensible.wav", 0xFFFE, 3, 1, 64, 44100, 4410, 1000, 0.125, 1000, 0.125},
        SFixtureCase{"ffmpeg_s32_extensible.wav", 0xFFFE, 1, 1, 32, 44100, 4410, 1000, 0.125, 1000, 0.125}),
    [](const auto& info) {
        std::string name = info.param.file;
        return name.substr(0, name.size() - 4);
    });
