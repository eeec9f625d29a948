#include "audio/adpcm.h"
#include "audio/wave.h"
#include "signal_measure.h"
#include "wave_builder.h"

#include <gtest/gtest.h>
#include <cmath>
#include <memory>

namespace {

std::vector<short> decode(const Bytes& codes, adpcm_state& state)
{
    std::vector<short> samples(2 * codes.size());
    EXPECT_EQ(adpcm_decoder(codes.data(), int(codes.size()), samples.data(), &state), int(samples.size()));
    return samples;
}

Bytes encode(const std::vector<short>& samples, adpcm_state& state)
{
    Bytes codes((samples.size() + 1) / 2);
    EXPECT_EQ(adpcm_coder(samples.data(), int(samples.size()), codes.data(), &state), int(codes.size()));
    return codes;
}

std::vector<short> to_shorts(const std::vector<int16_t>& samples)
{
    return std::vector<short>(samples.begin(), samples.end());
}

}  // namespace

struct SDecodeByteCase {
    uint8_t code;
    short first, second;
    int index;
};

class AdpcmDecoder : public ::testing::TestWithParam<SDecodeByteCase> {};

TEST_P(AdpcmDecoder, DecodesHighNibbleFirstFromZeroState)
{
    adpcm_state state;
    const std::vector<short> samples = decode({GetParam().code}, state);
    EXPECT_EQ(samples, (std::vector<short>{GetParam().first, GetParam().second}));
    EXPECT_EQ(state.index, GetParam().index);
    EXPECT_EQ(state.valprev, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Codes, AdpcmDecoder,
                         ::testing::Values(SDecodeByteCase{0x00, 0, 0, 0},
                                           // steps 7 then 16: 0+7+3+1, 11+16+8+4+2
                                           SDecodeByteCase{0x77, 11, 41, 16},
                                           SDecodeByteCase{0xF7, -11, 19, 16},
                                           SDecodeByteCase{0x40, 7, 8, 1}));

TEST(Adpcm, SineSurvivesWithinQuantisationErrorAndBothSidesEndAlike)
{
    const std::vector<short> sine = to_shorts(sine16(440, 44100, 4410, 0.5));
    adpcm_state coder, decoder;
    const Bytes codes = encode(sine, coder);
    const std::vector<short> back = decode(codes, decoder);
    EXPECT_EQ(coder.valprev, decoder.valprev);
    EXPECT_EQ(coder.index, decoder.index);

    // Past the first cycles, where the step adapts up from 7, a slow full tone stays
    // within a few steps of the signal: at most 1/16 of full scale, and 30 dB clean.
    double error = 0, signal = 0;
    for (size_t i = 200; i < sine.size(); ++i) {
        EXPECT_LE(std::abs(back[i] - sine[i]), 2048) << "sample " << i;
        error += double(back[i] - sine[i]) * (back[i] - sine[i]);
        signal += double(sine[i]) * sine[i];
    }
    EXPECT_GT(10 * std::log10(signal / error), 30.0);
}

TEST(Adpcm, StreamCodedInPiecesEqualsOneCall)
{
    const std::vector<short> sine = to_shorts(sine16(1000, 8000, 1000, 0.8));
    adpcm_state whole, pieces;
    const Bytes once = encode(sine, whole);
    const Bytes first = encode(std::vector<short>(sine.begin(), sine.begin() + 400), pieces);
    const Bytes rest = encode(std::vector<short>(sine.begin() + 400, sine.end()), pieces);
    EXPECT_EQ(concat({first, rest}), once);
    EXPECT_EQ(whole.valprev, pieces.valprev);
    EXPECT_EQ(whole.index, pieces.index);
}

TEST(Adpcm, OddCountReadsOnlyItsSamplesAndRepeatsTheLastInTheFinalNibble)
{
    // Heap-allocated to the exact size, so reading a fourth sample is an ASan error.
    std::unique_ptr<short[]> samples(new short[3]{1000, 2000, 3000});
    adpcm_state coder, decoder;
    unsigned char codes[2];
    ASSERT_EQ(adpcm_coder(samples.get(), 3, codes, &coder), 2);
    const std::vector<short> back = decode(Bytes(codes, codes + 2), decoder);
    EXPECT_EQ(coder.valprev, decoder.valprev);
    EXPECT_EQ(coder.index, decoder.index);
    EXPECT_GT(back[3], back[2]);  // still climbing toward the repeated 3000

    EXPECT_EQ(adpcm_coder(samples.get(), 0, codes, &coder), 0);
    EXPECT_EQ(adpcm_decoder(codes, -1, samples.get(), &decoder), 0);
}

TEST(WaveAdpcm, SavesOnly16BitSamplesAsQuarterSizeStream)
{
    CWave wide;
    wide.BuildFormat(1, 46875, 24);
    Bytes frames(30, 1);
    wide.SetBuffer(frames.data(), 10, true);
    unsigned char* out = reinterpret_cast<unsigned char*>(&frames);
    unsigned int length = 77;
    EXPECT_FALSE(wide.SaveAsADPCM(out, length));
    EXPECT_EQ(out, reinterpret_cast<unsigned char*>(&frames));
    EXPECT_EQ(length, 77u);

    const std::vector<int16_t> sine = sine16(1000, 8000, 500, 0.5);
    CWave wave = pcm16_wave(8000, {sine});
    ASSERT_TRUE(wave.SaveAsADPCM(out, length));
    std::unique_ptr<unsigned char[]> owned(out);
    ASSERT_EQ(length, 250u);
    adpcm_state state;
    const Bytes expected = encode(to_shorts(sine), state);
    EXPECT_EQ(Bytes(out, out + length), expected) << hex_diff(Bytes(out, out + length), expected);
}

TEST(WaveAdpcm, LoadsTwoSamplesPerByteAsTheGivenFormat)
{
    Bytes codes(100);
    for (size_t i = 0; i < codes.size(); ++i)
        codes[i] = uint8_t(i * 37);
    adpcm_state state;
    const std::vector<short> expected = decode(codes, state);

    CWave wave;
    ASSERT_TRUE(wave.LoadFromADPCM(codes.data(), 100, 1, 8000, 16));
    EXPECT_EQ(wave.GetNumSamples(), 200u);
    EXPECT_EQ(wave.GetFormat().cbSize, 18);
    const std::vector<double> samples = channel_of(wave, 0);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(samples[i] * 32768, expected[i]) << "sample " << i;

    ASSERT_TRUE(wave.LoadFromADPCM(codes.data(), 100, 2, 8000, 16));
    EXPECT_EQ(wave.GetNumSamples(), 100u);

    EXPECT_FALSE(wave.LoadFromADPCM(codes.data(), 100, 0, 8000, 16));
    EXPECT_EQ(wave.GetNumSamples(), 100u);
    EXPECT_EQ(wave.GetFormat().nChannels, 2);
}
