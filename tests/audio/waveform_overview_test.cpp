#include "audio/waveform_overview.h"
#include "audio/song_import.h"
#include "song_test_kit.h"

#include <gtest/gtest.h>

// sox's burst after a second of silence, as the pedal stores it: silent columns draw
// nothing, the burst's draw its amplitude of 0.5 on both sides, and the edges fall where
// the burst starts and ends, 1 s and 4 s into 5 s.
TEST(WaveformOverview, BurstEdgesFallInTheirColumns)
{
    const SSongImport import = import_song(fixture("burst_after_silence.flac"), song_target(1), nullptr);
    ASSERT_EQ(import.result, ESongImportResult::OK);
    const QByteArray overview = waveform_overview(import.song.data(), import.song.size(), SSongAudioFormat{});
    ASSERT_EQ(overview.size(), 2 * kOverviewColumns);
    for (int column = 0; column < kOverviewColumns; ++column) {
        const SOverviewColumn drawn = overview_column(overview, column);
        if (column < 200 || column >= 800) {
            EXPECT_EQ(drawn.low, 0) << column;
            EXPECT_EQ(drawn.high, 0) << column;
        } else {
            EXPECT_NEAR(drawn.low, -64, 1) << column;
            EXPECT_NEAR(drawn.high, 64, 1) << column;
        }
    }
    EXPECT_TRUE(
        waveform_overview(import.song.data(), 3 * (kOverviewColumns - 1), SSongAudioFormat{}).isEmpty());

    // Drawn from blocks that split frames, as an import passing to the pedal draws it.
    CWaveformOverviewBuilder builder(import.song.size(), SSongAudioFormat{});
    for (size_t at = 0; at < import.song.size(); at += 1001)
        builder.add(import.song.data() + at, std::min<size_t>(1001, import.song.size() - at));
    EXPECT_EQ(builder.result(), overview);
}
