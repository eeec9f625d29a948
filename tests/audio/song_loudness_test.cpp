#include "audio/song_loudness.h"
#include "audio/loudness_gain.h"
#include "audio/loudness_meter.h"
#include "audio/song_converter.h"
#include "audio/song_import.h"
#include "audio/song_import_text.h"
#include "song_test_kit.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

SLoudness stored_figures(const SSongImport& import, unsigned int channels)
{
    const std::optional<SLoudness> figures = measure_song(import.song.data(), import.song.size(), channels);
    EXPECT_TRUE(figures);
    return figures.value_or(SLoudness{});
}

}  // namespace

// BS.1770 reads a full-scale 1 kHz sine as -3.01 LUFS. The import's figures are those of
// the bytes it stored, and normalising reads the FLAC file a second time.
TEST(SongLoudness, SoxSineAtMinus20MeasuresMinus23)
{
    const SSongImport plain = import_song(fixture("sine_minus20.flac"), song_target(1), nullptr);
    ASSERT_EQ(plain.result, ESongImportResult::OK);
    EXPECT_NEAR(plain.loudness.integrated_lufs, -23.0, 0.1);
    EXPECT_NEAR(plain.loudness.range_lu, 0.0, 0.1);
    EXPECT_FALSE(plain.loudness.true_peak_dbtp);
    const SLoudness stored = stored_figures(plain, 1);
    EXPECT_NEAR(stored.integrated_lufs, plain.loudness.integrated_lufs, 0.1);
    EXPECT_NEAR(stored.true_peak_dbtp.value_or(0), -20.0, 0.1);

    const SSongImport louder =
        import_song(fixture("sine_minus20.flac"),
                    song_target(1, EMonoMode::LEFT, kPulseRingSlotBytes, ELoudnessTarget::LUFS_16), nullptr);
    ASSERT_EQ(louder.result, ESongImportResult::OK);
    EXPECT_NEAR(louder.gain.gain_db, 7.0, 0.1);
    EXPECT_NEAR(stored_figures(louder, 1).integrated_lufs, -16.0, 0.1);
}

// Two files 12 dB apart, of different noise, end up equally loud; the figures the import
// gives are those of the stored song.
TEST(SongLoudness, FilesTwelveDecibelsApartComeOutEquallyLoud)
{
    QTemporaryDir dir;
    const QString loud = dir.path() + "/loud.wav", quiet = dir.path() + "/quiet.wav";
    write_file(loud, noise_wave16(44100, 2, 44100, 20000));
    write_file(quiet, noise_wave16(48000, 2, 48000, 5000));
    const SSongTarget slot = song_target(2, EMonoMode::LEFT, kPulseRingSlotBytes, ELoudnessTarget::LUFS_16);
    const SSongImport a = import_song(loud, slot, nullptr), b = import_song(quiet, slot, nullptr);
    ASSERT_EQ(a.result, ESongImportResult::OK);
    ASSERT_EQ(b.result, ESongImportResult::OK);
    EXPECT_NEAR(b.gain.gain_db - a.gain.gain_db, 12.04, 0.5);
    const SLoudness stored_a = stored_figures(a, 2), stored_b = stored_figures(b, 2);
    EXPECT_NEAR(stored_a.integrated_lufs, stored_b.integrated_lufs, 0.5);
    EXPECT_NEAR(stored_a.integrated_lufs, -16.0, 0.1);
    // Two readings of the meter's table of 0.1 LU steps.
    EXPECT_NEAR(a.loudness.integrated_lufs, stored_a.integrated_lufs, 0.1);
    EXPECT_EQ(a.loudness_target, ELoudnessTarget::LUFS_16);
    EXPECT_FALSE(a.gain.peak_limited || b.gain.peak_limited);
}

// A quiet tone with rare near-full-scale clicks: the clicks, not the target, set the gain,
// which stops the true peak at -1 dBTP and says how loud the song got.
TEST(SongLoudness, PeaksLimitTheGainAndTheNoteSaysSo)
{
    constexpr unsigned int kRate = 48000;
    std::vector<int16_t> samples(kRate);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(std::lround(330 * std::sin(2 * M_PI * 1000 * double(i) / kRate)));
    for (size_t i = kRate / 4; i < samples.size(); i += kRate / 2)
        samples[i] = 29000;
    QTemporaryDir dir;
    const QString path = dir.path() + "/clicks.wav";
    ASSERT_TRUE(pcm16_wave(kRate, {samples}).Save(path));

    const SSongImport import = import_song(
        path, song_target(1, EMonoMode::LEFT, kPulseRingSlotBytes, ELoudnessTarget::LUFS_14), nullptr);
    ASSERT_EQ(import.result, ESongImportResult::OK);
    EXPECT_TRUE(import.gain.peak_limited);
    const SLoudness stored = stored_figures(import, 1);
    ASSERT_TRUE(stored.true_peak_dbtp);
    EXPECT_NEAR(*stored.true_peak_dbtp, -1.0, 0.1);
    EXPECT_NEAR(import.loudness.true_peak_dbtp.value_or(0), *stored.true_peak_dbtp, 0.05);
    EXPECT_LT(stored.integrated_lufs, -20.0);
    EXPECT_NEAR(import.loudness.integrated_lufs, stored.integrated_lufs, 0.1);
    EXPECT_EQ(song_import_notes(import).join('\n').toStdString(),
              QStringLiteral("reached %1; the peaks allow no more")
                  .arg(loudness_text(import.loudness.integrated_lufs))
                  .toStdString());
}

// As the file, a song keeps the bytes the import wrote before it measured loudness, on the
// 16-bit path and the floating-point one.
struct SGoldenCase {
    const char* source;
    unsigned int channels;
    EMonoMode mode;
    const char* golden;
};

class AsTheFile : public ::testing::TestWithParam<SGoldenCase> {};

TEST_P(AsTheFile, KeepsTheBytesOfTheImportBeforeMeasuring)
{
    const SGoldenCase& c = GetParam();
    const SSongImport import = import_song(fixture(c.source), song_target(c.channels, c.mode), nullptr);
    ASSERT_EQ(import.result, ESongImportResult::OK);
    const Bytes expected = read_file(fixture(c.golden));
    const Bytes actual(import.song.begin(), import.song.end());
    ASSERT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected) << hex_diff(actual, expected);
    EXPECT_EQ(import.gain.gain_db, 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, AsTheFile,
    ::testing::Values(SGoldenCase{"sox_s16_stereo.wav", 2, EMonoMode::LEFT, "golden/s16_stereo.song"},
                      SGoldenCase{"sox_s16_stereo.wav", 1, EMonoMode::MIX, "golden/s16_mix.song"},
                      SGoldenCase{"sox_s24_mono_extensible.wav", 1, EMonoMode::LEFT, "golden/s24_mono.song"},
                      SGoldenCase{"sox_f32_stereo.wav", 2, EMonoMode::LEFT, "golden/f32_stereo.song"}));

// A check reads the file once and keeps no song; the import that takes what it learned
// reads it once more and stores what an import of its own stores, figures included.
class CheckedImport : public ::testing::TestWithParam<ELoudnessTarget> {};

TEST_P(CheckedImport, StoresWhatAnImportStoresReadingTheFileOnce)
{
    const SSongTarget target = song_target(1, EMonoMode::MIX, kPulseRingSlotBytes, GetParam());
    const QString path = fixture("sox_s16_stereo.wav");
    const SSongImport plain = import_song(path, target, nullptr);
    const uint64_t before = conversions_begun();
    const SSongImport check = check_song(path, target, nullptr);
    ASSERT_EQ(check.result, ESongImportResult::OK);
    EXPECT_TRUE(check.song.empty());
    EXPECT_EQ(check.converted_bytes, plain.song.size());
    const SSongImport checked = import_checked_song(path, target, check, nullptr);
    EXPECT_EQ(conversions_begun() - before, 2u);
    ASSERT_EQ(checked.result, ESongImportResult::OK);
    EXPECT_TRUE(checked.song == plain.song);
    EXPECT_EQ(checked.gain.gain_db, plain.gain.gain_db);
    EXPECT_EQ(checked.loudness.integrated_lufs, plain.loudness.integrated_lufs);
    EXPECT_EQ(checked.loudness.true_peak_dbtp, plain.loudness.true_peak_dbtp);
}

INSTANTIATE_TEST_SUITE_P(Targets, CheckedImport,
                         ::testing::Values(ELoudnessTarget::AS_THE_FILE, ELoudnessTarget::LUFS_16));

// A stored song measures the same whole or streamed in pieces that split its frames; what
// is left of a frame at the end is not counted.
TEST(SongLoudness, StoredSongMeasuresTheSameInPieces)
{
    const SSongImport import = import_song(fixture("tone_stereo.ogg"), song_target(2), nullptr);
    ASSERT_EQ(import.result, ESongImportResult::OK);
    const std::optional<SLoudness> whole = measure_song(import.song.data(), import.song.size(), 2);
    ASSERT_TRUE(whole);
    const std::unique_ptr<CSongLoudnessMeter> meter = CSongLoudnessMeter::create(2);
    ASSERT_TRUE(meter);
    // 1001 bytes: no whole number of frames.
    for (size_t at = 0; at < import.song.size(); at += 1001)
        meter->add(import.song.data() + at, std::min<size_t>(1001, import.song.size() - at));
    meter->add(import.song.data(), 4);
    const SLoudness pieces = meter->result();
    EXPECT_NEAR(pieces.integrated_lufs, whole->integrated_lufs, 1e-9);
    EXPECT_NEAR(pieces.range_lu, whole->range_lu, 1e-9);
    EXPECT_NEAR(pieces.true_peak_dbtp.value_or(0), whole->true_peak_dbtp.value_or(1), 1e-9);
    EXPECT_FALSE(CSongLoudnessMeter::create(3));
}

// Each channel's true peak is measured apart from the loudness: the song's is that of its
// louder channel, whichever it is.
class TruePeakChannels : public ::testing::TestWithParam<std::pair<double, double>> {};

TEST_P(TruePeakChannels, SongTakesTheLouderChannel)
{
    const auto [left, right] = GetParam();
    const std::unique_ptr<CLoudnessMeter> meter = CLoudnessMeter::create(2, 48000, true);
    ASSERT_TRUE(meter);
    std::vector<double> samples;
    for (int i = 0; i < 48000; ++i) {
        const double wave = std::sin(2 * 3.141592653589793 * 997 * i / 48000.0);
        samples.insert(samples.end(), {left * wave, right * wave});
    }
    meter->add(samples.data(), 48000);
    EXPECT_NEAR(meter->result().true_peak_dbtp.value_or(0), 20 * std::log10(std::max(left, right)), 0.1);
}

INSTANTIATE_TEST_SUITE_P(Levels, TruePeakChannels,
                         ::testing::Values(std::make_pair(0.5, 0.1), std::make_pair(0.1, 0.5)));

// The gain reaches the target unless the true peak would pass -1 dBTP or the gain +24 dB;
// a song below the gate (silence too) gets none.
struct SGainCase {
    double integrated, true_peak, target;
    double gain_db;
    bool peak_limited, gain_capped, below_gate;
};

class LoudnessGain : public ::testing::TestWithParam<SGainCase> {};

TEST_P(LoudnessGain, ReachesTheTargetWithinThePeak)
{
    const SGainCase& c = GetParam();
    const SLoudnessGain gain = loudness_gain(SLoudness{c.integrated, 5, c.true_peak}, c.target);
    EXPECT_DOUBLE_EQ(gain.gain_db, c.gain_db);
    EXPECT_EQ(gain.peak_limited, c.peak_limited);
    EXPECT_EQ(gain.gain_capped, c.gain_capped);
    EXPECT_EQ(gain.below_gate, c.below_gate);

    SSongImport import;
    import.gain = gain;
    import.loudness = with_gain(SLoudness{c.integrated, 5, c.true_peak}, gain.gain_db);
    const QStringList notes = song_import_notes(import);
    EXPECT_EQ(notes.size(), int(c.peak_limited) + int(c.gain_capped) + int(c.below_gate));
    if (c.gain_capped) {
        EXPECT_EQ(notes.join('\n').toStdString(), "reached −42.0 LUFS; the gain is limited to +24 dB");
    }
    if (c.below_gate) {
        EXPECT_EQ(notes.join('\n').toStdString(),
                  "The song is below the loudness meter's gate (−70.0 LUFS) and was left as it is.");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LoudnessGain,
                         ::testing::Values(SGainCase{-20, -10, -16, 4, false, false, false},
                                           SGainCase{-20, -3, -16, 2, true, false, false},
                                           SGainCase{-10, 1, -16, -6, false, false, false},
                                           SGainCase{-20, -5, -16, 4, false, false, false},
                                           SGainCase{-66, -40, -16, 24, false, true, false},
                                           SGainCase{-66, -20, -16, 19, true, false, false},
                                           SGainCase{-HUGE_VAL, -HUGE_VAL, -16, 0, false, false, true}));

TEST(SongLoudness, TextsUseTheMinusSign)
{
    const struct {
        double lufs;
        const char* text;
    } cases[] = {{-14.24, "\u221214.2 LUFS"}, {-0.04, "0.0 LUFS"}, {2.96, "3.0 LUFS"}, {-HUGE_VAL, "silent"}};
    for (const auto& c : cases)
        EXPECT_EQ(loudness_text(c.lufs), QString::fromUtf8(c.text));
    EXPECT_EQ(loudness_target_text(ELoudnessTarget::LUFS_14), QString::fromUtf8("\u221214 LUFS"));
    for (const char* name : {"off", "-14", "-16", "-23"})
        EXPECT_STREQ(
            loudness_target_name(loudness_target_from_name(name).value_or(ELoudnessTarget::AS_THE_FILE)),
            name);
}
