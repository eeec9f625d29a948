#include "audio/song_time_text.h"

#include <gtest/gtest.h>

struct STextCase {
    QString actual;
    const char* expected;
};

class SongTimeTexts : public ::testing::TestWithParam<STextCase> {};

TEST_P(SongTimeTexts, ReadAsShown)
{
    EXPECT_EQ(GetParam().actual.toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SongTimeTexts,
    ::testing::Values(
        STextCase{time_text(0), "0:00"}, STextCase{time_text(-3), "0:00"}, STextCase{time_text(9.94), "0:09"},
        STextCase{time_text(9.96), "0:10"}, STextCase{time_text(600), "10:00"},
        STextCase{time_text(3599.4), "59:59"}, STextCase{time_text(3600), "1:00:00"},
        STextCase{time_text(36005), "10:00:05"}, STextCase{megabytes_text(314572800), "300.0 MB"},
        STextCase{megabytes_text(52428), "0.0 MB"}, STextCase{song_duration_text(41287680, 1), "4:53"},
        STextCase{song_duration_text(170227200, 2), "10:05"},
        STextCase{free_space_text(314572800, 1), "Free: 37:17 of mono audio (300.0 MB)"},
        STextCase{free_space_text(314572800, 2), "Free: 18:38 of stereo audio (300.0 MB)"},
        STextCase{too_long_text(41287680, 1, 600.0), "This slot holds at most 4:53; the file is 10:00."},
        // a file a fraction of a second too long still reads longer than the slot
        STextCase{too_long_text(41287680, 1, 293.9), "This slot holds at most 4:53; the file is 4:54."},
        STextCase{too_long_text(170227200, 2, std::nullopt),
                  "This slot holds at most 10:05; the file is longer."},
        STextCase{no_space_text(28125000, 42187500, 1),
                  "Free: 3:20 (26.8 MB); the song needs 5:00 (40.2 MB)."}));
