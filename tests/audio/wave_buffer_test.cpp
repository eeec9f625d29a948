#include "audio/wave.h"
#include "support/neat.h"
#include "wave_builder.h"

#include <gtest/gtest.h>

struct SFormatCase {
    unsigned short channels;
    unsigned int rate;
    unsigned short bits;
    const char* bytes;  // the expected 18-byte image
};

class WaveFormatRecord : public ::testing::TestWithParam<SFormatCase> {};

TEST_P(WaveFormatRecord, IsBuiltAsIntegerPcmWithItsOwnSizeAsCbSize)
{
    const SFormatCase& c = GetParam();
    SWaveFormatex format;
    NEAT::get_wave_format_ex(c.channels, c.rate, c.bits, format);
    const WaveFormatBytes image = to_bytes(format);
    const Bytes actual(image.begin(), image.end());
    EXPECT_EQ(actual, hex_bytes(c.bytes)) << hex_diff(actual, hex_bytes(c.bytes));
    EXPECT_EQ(from_bytes(image), format);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WaveFormatRecord,
    ::testing::Values(
        // 12000 Hz mono 16-bit: the main window's initial format.
        SFormatCase{1, 12000, 16, "01 00 01 00 E0 2E 00 00 C0 5D 00 00 02 00 10 00 12 00"},
        SFormatCase{2, 46875, 24, "01 00 02 00 1B B7 00 00 A2 4A 04 00 06 00 18 00 12 00"},
        SFormatCase{1, 48000, 24, "01 00 01 00 80 BB 00 00 80 32 02 00 03 00 18 00 12 00"},
        // 3 x 12 bits = 4.5 bytes: the frame size is truncated.
        SFormatCase{3, 8000, 12, "01 00 03 00 40 1F 00 00 00 7D 00 00 04 00 0C 00 12 00"}));

TEST(WaveBuffer, CopyIntoHeldFramesKeepsTheirCountAndZeroesTheRest)
{
    CWaveBuffer buffer;
    buffer.SetNumSamples(10, 3);
    const Bytes source = hex_bytes("01 02 03 04 05 06 07 08 09 0A 0B 0C");
    buffer.CopyBuffer(source.data(), 4, 3);
    ASSERT_EQ(buffer.GetNumSamples(), 10u);
    const Bytes held(buffer.GetBuffer(), buffer.GetBuffer() + 30);
    Bytes expected = source;
    expected.resize(30, 0);
    EXPECT_EQ(held, expected) << hex_diff(held, expected);
}

TEST(WaveBuffer, CopyIntoEmptyBufferTakesTheSourceSizeAndNeverOverrunsAHeldBlock)
{
    CWaveBuffer buffer;
    const Bytes source = hex_bytes("AA BB CC DD EE FF");
    buffer.CopyBuffer(source.data(), 3, 2);
    EXPECT_EQ(buffer.GetNumSamples(), 3u);
    EXPECT_EQ(buffer.GetBytesPerSample(), 2u);
    EXPECT_EQ(Bytes(buffer.GetBuffer(), buffer.GetBuffer() + 6), source);

    // Two frames of 3 bytes offered to a block of 3 x 2 bytes: 6 bytes fit, no more.
    const Bytes wide = hex_bytes("01 02 03 04 05 06 07 08 09");
    buffer.CopyBuffer(wide.data(), 3, 3);
    EXPECT_EQ(Bytes(buffer.GetBuffer(), buffer.GetBuffer() + 6), hex_bytes("01 02 03 04 05 06"));
}

TEST(WaveBuffer, ZeroFramesHoldNoBlock)
{
    CWaveBuffer buffer;
    buffer.SetNumSamples(5, 2);
    EXPECT_NE(buffer.GetBuffer(), nullptr);
    buffer.SetNumSamples(0, 2);
    EXPECT_EQ(buffer.GetBuffer(), nullptr);
    EXPECT_EQ(buffer.GetNumSamples(), 0u);
}

TEST(Wave, StartsAsEmptyIntegerPcmAndBuildFormatDropsTheFrames)
{
    CWave wave;
    EXPECT_EQ(wave.GetFormat().wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wave.GetFormat().nChannels, 0);
    EXPECT_EQ(wave.GetNumSamples(), 0u);
    EXPECT_EQ(wave.GetBuffer(), nullptr);

    wave = pcm16_wave(12000, {{1, 2, 3}});
    ASSERT_EQ(wave.GetNumSamples(), 3u);
    wave.BuildFormat(1, 12000, 16);
    EXPECT_EQ(wave.GetNumSamples(), 0u);
    EXPECT_EQ(wave.GetBuffer(), nullptr);
    EXPECT_EQ(wave.GetFormat().cbSize, 18);
}

TEST(Wave, CopiesAreDeepAndSelfAssignmentKeepsTheFrames)
{
    CWave original = pcm16_wave(44100, {{100, -100, 7}, {1, 2, 3}});
    CWave copy(original);
    ASSERT_NE(copy.GetBuffer(), original.GetBuffer());
    EXPECT_EQ(frames_of(copy), frames_of(original));
    EXPECT_EQ(copy.GetFormat(), original.GetFormat());

    copy.GetBuffer()[0] = 0x55;
    EXPECT_NE(frames_of(copy), frames_of(original));

    CWave& same = original;
    const Bytes before = frames_of(original);
    original = same;
    EXPECT_EQ(frames_of(original), before);
}

TEST(Wave, SetBufferAdoptsOrCopiesWithTheCurrentFrameSize)
{
    CWave wave;
    wave.BuildFormat(2, 46875, 24);
    auto* block = new unsigned char[12]{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    wave.SetBuffer(block, 2, false);
    EXPECT_EQ(wave.GetBuffer(), block);
    EXPECT_EQ(wave.GetBufferLength(), 12u);

    CWave copied;
    copied.BuildFormat(2, 46875, 24);
    copied.SetBuffer(block, 2, true);
    EXPECT_NE(copied.GetBuffer(), block);
    EXPECT_EQ(frames_of(copied), frames_of(wave));
}
