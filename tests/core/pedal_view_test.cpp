#include "core/pedal_view.h"
#include "core_pedal.h"

namespace {

struct SFreeLine {
    uint32_t product_id;
    const char* text;
};

class FreeLine : public CorePedal, public ::testing::WithParamInterface<SFreeLine> {};

}  // namespace

// A one-slot model cannot put all its free space into one song: the line says its limit.
// 1970 blocks of 64 pages of 4032 bytes, mono; 1980 of 64 of 4092, stereo, 650 to a song.
TEST_P(FreeLine, OnAFreshPedal)
{
    connect(GetParam().product_id);
    EXPECT_EQ(free_space(m_session).text.toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Models, FreeLine,
    ::testing::Values(SFreeLine{0x2712, "Free: 1:00:15 of mono audio (484.8 MB)"},
                      SFreeLine{0x2716, "Free: 30:43 of stereo audio (494.5 MB); one song holds at most 10:05"}));
