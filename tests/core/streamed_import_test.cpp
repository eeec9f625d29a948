#include "audio/song_import.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_records.h"
#include "core_pedal.h"
#include "support/file_hash.h"

// A song that goes to the pedal as it converts must be the song the conversion in memory
// makes, read back the same through the hash of what was written, whether the pedal's
// record counts whole units (PULSE RING) or rounds up to one (DUAL WHEEL), and normalised
// or not; the library keeps the file's hash from the same reading, and the song's loudness.
struct SStreamedCase {
    const char* name;
    uint32_t product;
    ELoudnessTarget loudness;
};

class StreamedImport : public CorePedal, public ::testing::WithParamInterface<SStreamedCase> {};

TEST_P(StreamedImport, WritesTheSongOfTheConversionAndVerifiesItByItsHash)
{
    const SStreamedCase& c = GetParam();
    connect(c.product);
    // Not a whole number of storage units.
    write_tone(file("tone.wav"), 123457);
    const SImportSettings settings{EMonoMode::LEFT, c.loudness};
    const COperationResult result =
        import_song_unasked(m_session, file("tone.wav"), 0, settings, nullptr, true);
    ASSERT_TRUE(result.ok()) << result.text().toStdString();

    SSongImport whole;
    ASSERT_TRUE(convert_for_pedal(m_session, file("tone.wav"), settings, nullptr, whole).ok());
    const std::vector<unsigned char> stored = stored_song(0);
    ASSERT_GE(stored.size() + m_session.song_format()->unit_size, whole.song.size());
    if (c.loudness == ELoudnessTarget::AS_THE_FILE) {
        const size_t common = std::min(stored.size(), whole.song.size());
        EXPECT_TRUE(std::equal(stored.begin(), stored.begin() + long(common), whole.song.begin()));
    }
    const std::optional<SLibrarySong> known = known_song(m_session, 0);
    ASSERT_TRUE(known);
    EXPECT_EQ(known->source_sha256, file_sha256(file("tone.wav")));
    // Measured as the song converted for the pedal, or at the file's rate to normalise.
    const double tolerance = c.loudness == ELoudnessTarget::AS_THE_FILE ? 1e-9 : 0.2;
    EXPECT_NEAR(known->loudness_lufs.value_or(0), whole.loudness.integrated_lufs, tolerance);
    EXPECT_NEAR(known->loudness_range_lu.value_or(-1), whole.loudness.range_lu, tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Pedals, StreamedImport,
    ::testing::Values(SStreamedCase{"WholeUnitRecord", kPulseRing, ELoudnessTarget::AS_THE_FILE},
                      SStreamedCase{"RoundedUpRecord", kDualWheel, ELoudnessTarget::AS_THE_FILE},
                      SStreamedCase{"WholeUnitRecordNormalised", kPulseRing, ELoudnessTarget::LUFS_16},
                      SStreamedCase{"RoundedUpRecordNormalised", kDualWheel, ELoudnessTarget::LUFS_16}),
    [](const auto& info) { return std::string(info.param.name); });
