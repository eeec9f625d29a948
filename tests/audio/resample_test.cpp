#include "audio/sample_layout.h"
#include "audio/wave.h"
#include "signal_measure.h"
#include "support/neat.h"
#include "wave_builder.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <cmath>

namespace {

// A source of `seconds` of one tone per channel at amplitude 0.5, in the given layout.
CWave tone_wave(unsigned int rate, unsigned short bits, const std::vector<double>& tones, double seconds)
{
    CWave wave;
    wave.BuildFormat(uint16_t(tones.size()), rate, bits);
    const unsigned int frames = unsigned(rate * seconds);
    const unsigned int bytes = bits / 8u;
    Bytes data(size_t(frames) * wave.GetFormat().nBlockAlign);
    for (unsigned int i = 0; i < frames; ++i) {
        for (size_t c = 0; c < tones.size(); ++c) {
            const double value = 0.5 * std::sin(2 * M_PI * tones[c] * i / rate);
            const auto full = uint32_t(int32_t(std::lround(value * 2147483647.0)));
            for (unsigned int b = 0; b < bytes; ++b)
                data[i * wave.GetFormat().nBlockAlign + c * bytes + b] =
                    uint8_t(full >> (8 * (b + 4 - bytes)));
        }
    }
    wave.SetBuffer(data.data(), frames, true);
    return wave;
}

}  // namespace

struct SQualityCase {
    const char* name;
    unsigned int sourceRate;
    unsigned short sourceBits;
    std::vector<double> tones;
    unsigned int targetChannels;
    unsigned int targetRate;
    unsigned int targetBits;
};

class ResampleQuality : public ::testing::TestWithParam<SQualityCase> {};

TEST_P(ResampleQuality, KeepsFrequencyLevelAndDuration)
{
    const SQualityCase& c = GetParam();
    CWave wave = tone_wave(c.sourceRate, c.sourceBits, c.tones, 1.0);
    const unsigned int sourceFrames = wave.GetNumSamples();
    ASSERT_TRUE(wave.ResampleLiner(c.targetChannels, c.targetRate, c.targetBits));

    SWaveFormatex target;
    NEAT::get_wave_format_ex(uint16_t(c.targetChannels), c.targetRate, uint16_t(c.targetBits), target);
    EXPECT_EQ(wave.GetFormat(), target);
    const double expectedFrames = double(sourceFrames) * c.targetRate / c.sourceRate;
    EXPECT_NEAR(double(wave.GetNumSamples()), expectedFrames, 3.0);

    for (unsigned int channel = 0; channel < c.targetChannels; ++channel) {
        const double tone = c.tones[std::min<size_t>(channel, c.tones.size() - 1)];
        const std::vector<double> samples = channel_of(wave, channel);
        // 20 ppm of the tone: far finer than any rate mix-up (thousands of ppm), coarser
        // than what quantisation noise does to the zero crossings of an 8-bit tone.
        EXPECT_NEAR(frequency_of(samples, c.targetRate), tone, tone * 20e-6) << "channel " << channel;
        EXPECT_NEAR(decibels(amplitude_of(samples) / 0.5), 0.0, 0.1) << "channel " << channel;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, ResampleQuality,
    ::testing::Values(SQualityCase{"import_44100_mono", 44100, 16, {1000}, 1, 46875, 24},
                      SQualityCase{"import_44100_stereo", 44100, 16, {1000, 1500}, 2, 46875, 24},
                      SQualityCase{"import_48000_24bit_left_only", 48000, 24, {1000, 3000}, 1, 46875, 24},
                      SQualityCase{"import_mono_to_stereo", 22050, 16, {440}, 2, 46875, 24},
                      SQualityCase{"export_46875_mono", 46875, 24, {1000}, 1, 48000, 24},
                      SQualityCase{"export_46875_stereo", 46875, 24, {1000, 250}, 2, 48000, 24},
                      SQualityCase{"to_16bit", 96000, 32, {1000}, 1, 44100, 16},
                      SQualityCase{"to_8bit_unsigned", 44100, 16, {1000}, 1, 22050, 8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Resample, WaveWithoutFramesIsLeftAsItIs)
{
    CWave wave;
    wave.BuildFormat(2, 44100, 16);
    const SWaveFormatex before = wave.GetFormat();
    EXPECT_TRUE(wave.ResampleLinerAs46875Wav(1));
    EXPECT_EQ(wave.GetFormat(), before);
    EXPECT_EQ(wave.GetNumSamples(), 0u);
}

TEST(Resample, SongFormatWithShortFormatChunkIsStillConvertedToZeroLowBytes)
{
    // A 46875 Hz 24-bit mono file written with a 16-byte format chunk differs from the
    // target record in cbSize alone.
    const CWave source = tone_wave(46875, 24, {1000}, 0.2);
    Bytes frames = frames_of(source);
    for (size_t i = 0; i < frames.size(); i += 3)
        frames[i] = 0xA5;
    QTemporaryDir dir;
    write_file(dir.path() + "/song.wav",
               riff_wave({chunk("fmt ", format_body(1, 1, 46875, 24)), chunk("data", frames)}));
    CWave wave;
    ASSERT_TRUE(wave.Load(dir.path() + "/song.wav"));
    ASSERT_EQ(wave.GetFormat().cbSize, 0);

    ASSERT_TRUE(wave.ResampleLinerAs46875Wav(1));
    EXPECT_EQ(wave.GetFormat().cbSize, 18);
    ASSERT_NEAR(double(wave.GetNumSamples()), double(source.GetNumSamples()), 1.0);
    size_t nonZeroLow = 0;
    for (unsigned int i = 0; i < wave.GetNumSamples(); ++i)
        nonZeroLow += wave.GetBuffer()[3 * i] != 0;
    EXPECT_EQ(nonZeroLow, 0u);
    const std::vector<double> in = channel_of(source, 0), out = channel_of(wave, 0);
    for (size_t i = 1000; i < 1010; ++i)
        EXPECT_NEAR(out[i], in[i], 2.0 / 32768) << "sample " << i;
}

TEST(Resample, StereoToMonoTakesTheLeftChannelAlone)
{
    const std::vector<int16_t> left = sine16(1000, 44100, 4410, 0.5);
    CWave withNoise = pcm16_wave(44100, {left, sine16(7000, 44100, 4410, 0.9)});
    CWave withSilence = pcm16_wave(44100, {left, std::vector<int16_t>(4410, 0)});
    CWave monoLeft = pcm16_wave(44100, {left});
    for (CWave* wave : {&withNoise, &withSilence, &monoLeft})
        ASSERT_TRUE(wave->ResampleLinerAs46875Wav(1));
    EXPECT_EQ(frames_of(withNoise), frames_of(withSilence));
    EXPECT_EQ(frames_of(withNoise), frames_of(monoLeft));
}

TEST(Resample, MonoToStereoGivesIdenticalChannels)
{
    CWave wave = pcm16_wave(44100, {sine16(1000, 44100, 4410, 0.5)});
    ASSERT_TRUE(wave.ResampleLinerAs46875Wav(2));
    ASSERT_GT(wave.GetNumSamples(), 4000u);
    EXPECT_EQ(channel_of(wave, 0), channel_of(wave, 1));
}

TEST(Resample, ChannelsPastTheSecondAreSilent)
{
    CWave wave = pcm16_wave(44100, {sine16(1000, 44100, 4410, 0.5), sine16(500, 44100, 4410, 0.5)});
    ASSERT_TRUE(wave.ResampleLiner(4, 48000, 16));
    EXPECT_GT(amplitude_of(channel_of(wave, 1)), 0.4);
    EXPECT_EQ(amplitude_of(channel_of(wave, 2)), 0.0);
    EXPECT_EQ(amplitude_of(channel_of(wave, 3)), 0.0);
}

TEST(Resample, UnconvertibleSourceOrTargetGivesTheTargetFormatWithoutFrames)
{
    CWave source;
    source.BuildFormat(1, 44100, 12);
    Bytes frames(100, 0x11);
    source.SetBuffer(frames.data(), 100, true);
    EXPECT_FALSE(source.ResampleLinerAs46875Wav(1));
    EXPECT_EQ(source.GetNumSamples(), 0u);
    EXPECT_EQ(source.GetFormat().nSamplesPerSec, 46875u);

    CWave target = pcm16_wave(44100, {sine16(1000, 44100, 100, 0.5)});
    EXPECT_FALSE(target.ResampleLiner(1, 48000, 20));
    EXPECT_EQ(target.GetNumSamples(), 0u);
    EXPECT_EQ(target.GetFormat().wBitsPerSample, 20);

    // 100 million 1000 Hz frames would become 37.5 GB of 8-channel 32-bit 46875 Hz
    // frames. The count is refused before a sample is read, so one byte stands in for them.
    CWave huge;
    huge.BuildFormat(1, 1000, 8);
    huge.SetBuffer(new unsigned char[1], 100000000, false);
    EXPECT_FALSE(huge.ResampleLiner(8, 46875, 32));
    EXPECT_EQ(huge.GetNumSamples(), 0u);
}

struct SDecodeCase {
    const char* name;
    uint16_t tag;
    uint16_t channels;
    uint16_t bits;
    const char* frame;
    unsigned int channel;
    int16_t expected;
};

class SampleDecoding : public ::testing::TestWithParam<SDecodeCase> {};

TEST_P(SampleDecoding, TakesTheTop16BitsOrTheScaledAndHeldFloat)
{
    const SDecodeCase& c = GetParam();
    SWaveFormatex format;
    NEAT::get_wave_format_ex(c.channels, 44100, c.bits, format);
    const auto layout = sample_layout(format, c.tag);
    ASSERT_TRUE(layout);
    const Bytes frame = hex_bytes(c.frame);
    ASSERT_EQ(frame.size(), format.nBlockAlign);
    int16_t sample = 0x5555;
    extract_channel(*layout, frame.data(), 1, c.channel, &sample);
    EXPECT_EQ(sample, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SampleDecoding,
    ::testing::Values(SDecodeCase{"u8_floor", 1, 1, 8, "00", 0, -32768},
                      SDecodeCase{"u8_silence", 1, 1, 8, "80", 0, 0},
                      SDecodeCase{"u8_top_of_second", 1, 2, 8, "80 FF", 1, 32512},
                      SDecodeCase{"s16_second", 1, 2, 16, "01 00 FE FF", 1, -2},
                      SDecodeCase{"s24_drops_low_byte", 1, 1, 24, "FF 34 12", 0, 0x1234},
                      SDecodeCase{"s24_third_of_three", 1, 3, 24, "00 00 00 00 00 00 77 CD AB", 2,
                                  int16_t(0xABCD)},
                      SDecodeCase{"s32_top", 1, 1, 32, "FF FF 00 80", 0, -32768},
                      SDecodeCase{"f32_half", 3, 1, 32, "00 00 00 3F", 0, 16384},
                      SDecodeCase{"f32_truncates_toward_zero", 3, 1, 32, "00 00 80 B7", 0, 0},
                      SDecodeCase{"f32_plus_one_held", 3, 1, 32, "00 00 80 3F", 0, 32767},
                      SDecodeCase{"f32_minus_one", 3, 1, 32, "00 00 80 BF", 0, -32768},
                      SDecodeCase{"f32_beyond_held", 3, 2, 32, "00 00 00 00 00 00 40 C0", 1, -32768},
                      SDecodeCase{"f32_nan_silent", 3, 1, 32, "00 00 C0 7F", 0, 0},
                      SDecodeCase{"f64_quarter", 3, 1, 64, "00 00 00 00 00 00 D0 BF", 0, -8192},
                      SDecodeCase{"f64_huge_held", 3, 1, 64, "00 00 00 00 00 00 F0 7F", 0, 32767}),
    [](const auto& info) { return std::string(info.param.name); });
