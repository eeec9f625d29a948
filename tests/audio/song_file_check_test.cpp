#include "audio/loudness_meter.h"
#include "audio/song_file_reader.h"
#include "audio/song_import.h"
#include "song_test_kit.h"
#include "support/file_hash.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <cmath>

// The two readings of an import that never holds its song: the check must find what the
// import in memory finds, hash the file's every byte, and the second reading must give the
// song the import in memory makes.
struct STwoReadingsCase {
    const char* name;
    const char* file;  // a fixture; empty for the WAV file with bytes after its sound
    SSongTarget target;
};

class TwoReadings : public ::testing::TestWithParam<STwoReadingsCase> {};

TEST_P(TwoReadings, CheckAndSecondReadingMatchTheImportInMemory)
{
    const STwoReadingsCase& c = GetParam();
    QTemporaryDir dir;
    QString path = fixture(c.file);
    if (!*c.file) {
        // A trailing chunk no decoder reads still belongs to the file and its hash.
        Bytes bytes = read_file(fixture("sox_s16_stereo.wav"));
        const Bytes trailer = {'J', 'U', 'N', 'K', 4, 0, 0, 0, 1, 2, 3, 4};
        bytes.insert(bytes.end(), trailer.begin(), trailer.end());
        path = dir.path() + "/trailer.wav";
        write_file(path, bytes);
    }
    const SSongImport whole = import_song(path, c.target, nullptr);
    const SSongImport checked = check_song_file(path, c.target, nullptr);
    ASSERT_EQ(whole.result, ESongImportResult::OK);
    ASSERT_EQ(checked.result, ESongImportResult::OK) << checked.detail.toStdString();
    EXPECT_TRUE(checked.song.empty());
    EXPECT_EQ(checked.source_sha256, file_sha256(path));
    EXPECT_EQ(checked.frames_decoded, whole.frames_decoded);
    const bool normalised = c.target.loudness != ELoudnessTarget::AS_THE_FILE;
    // Measured unconverted, at the file's rate, a normalised song's figures move a little.
    const double tolerance = normalised ? 0.2 : 1e-9;
    // A second of tone is too short for the gate: both are silent (-inf) then.
    const auto same = [tolerance](double a, double b) { return a == b || std::abs(a - b) <= tolerance; };
    EXPECT_TRUE(same(checked.gain.gain_db, whole.gain.gain_db))
        << checked.gain.gain_db << " " << whole.gain.gain_db;
    EXPECT_NEAR(double(checked.converted_bytes), double(whole.song.size()), normalised ? 16 * 6 : 0);

    // A file imported as it is is measured by the second reading, as it converts.
    EXPECT_EQ(checked.loudness_measured, normalised);
    const std::unique_ptr<CLoudnessMeter> meter =
        normalised ? nullptr : CLoudnessMeter::create(c.target.channels, kSongSampleRate, false);
    const auto reader = CSongFileReader::open(path, c.target, checked, meter.get());
    ASSERT_TRUE(reader);
    std::vector<unsigned char> song(size_t(reader->length()));
    // Odd pieces: a frame is split between two reads.
    for (size_t at = 0; at < song.size(); at += 4001)
        ASSERT_TRUE(reader->next(song.data() + at, std::min<size_t>(4001, song.size() - at))) << at;
    EXPECT_FALSE(reader->next(song.data(), 1));
    const SLoudness loudness = meter ? meter->result() : checked.loudness;
    EXPECT_TRUE(same(loudness.integrated_lufs, whole.loudness.integrated_lufs))
        << loudness.integrated_lufs << " " << whole.loudness.integrated_lufs;
    if (!normalised) {
        EXPECT_TRUE(song == whole.song);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, TwoReadings,
    ::testing::Values(
        STwoReadingsCase{"WavStereo", "sox_s16_stereo.wav", song_target(2)},
        STwoReadingsCase{"WavWithTrailer", "", song_target(2)},
        STwoReadingsCase{"WavOfUnknownLength", "tone_piped.wav", song_target(1)},
        STwoReadingsCase{"FloatMixedToMono", "sox_f32_stereo.wav", song_target(1, EMonoMode::MIX)},
        STwoReadingsCase{"OggThroughLibsndfile", "tone_stereo.ogg", song_target(2)},
        STwoReadingsCase{"FlacNormalised", "tone_s24_mono.flac",
                         song_target(2, EMonoMode::LEFT, kPulseRingSlotBytes, ELoudnessTarget::LUFS_16)},
        STwoReadingsCase{"WavNormalisedToMono", "sox_s16_stereo.wav",
                         song_target(1, EMonoMode::MIX, kPulseRingSlotBytes, ELoudnessTarget::LUFS_23)}),
    [](const auto& info) { return std::string(info.param.name); });
