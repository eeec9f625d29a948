#include "song_pedal.h"

#include "device/model_info.h"

#include <string>

namespace {

struct SRoundTrip {
    uint32_t product;
    unsigned length;
};

class SongRoundTripTest : public SongPedalTest, public ::testing::WithParamInterface<SRoundTrip> {};

TEST_P(SongRoundTripTest, OverwrittenSlotReadsBackTheNewSong)
{
    const SRoundTrip& trip = GetParam();
    connect(trip.product);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    const unsigned slot = m_store.slot_count() - 1;
    const unsigned unit = geometry().unit_size;
    store_song(slot, song_bytes(3 * unit, 1));

    const Bytes song = song_bytes(trip.length, trip.length);
    store_song(slot, song);
    const Bytes expected = stored_form(song, trip.product);
    ASSERT_EQ(m_store.get_file_length(slot), expected.size());
    EXPECT_EQ(m_store.is_file_exist(slot), !expected.empty());
    const Bytes back = read_song(slot);
    EXPECT_TRUE(back == expected) << hex_diff(back, expected);
    EXPECT_EQ(m_store.get_block_status().count(),
              (expected.size() + 64 * geometry().page_data_size - 1) / (64 * geometry().page_data_size));
}

std::vector<SRoundTrip> round_trips()
{
    std::vector<SRoundTrip> trips;
    for (uint32_t product : {PULSE_RING, SMALL_WHEEL, DUAL_WHEEL}) {
        const SNandFlashConfig& nand = *get_model_info(product)->nand;
        const unsigned unit = nand.unit_size;
        const unsigned page = nand.page_data_size;
        const unsigned block = page * nand.pages_per_block;
        for (unsigned length :
             {0u, 1u, unit - 1, unit, unit + 1, page - 1, page, page + 1, block - 1, block, block + 1}) {
            // The current format refuses less than a unit (the store's tests).
            if (product != PULSE_RING || length >= unit)
                trips.push_back({product, length});
        }
    }
    // A full chain of the legacy format; the store test writes one of the current format
    // into exactly the free blocks it needs.
    const SNandFlashConfig& mono = *get_model_info(SMALL_WHEEL)->nand;
    trips.push_back({SMALL_WHEEL, mono.max_song_blocks * mono.pages_per_block * mono.page_data_size});
    return trips;
}

INSTANTIATE_TEST_SUITE_P(Lengths, SongRoundTripTest, ::testing::ValuesIn(round_trips()),
                         [](const ::testing::TestParamInfo<SRoundTrip>& info) {
                             return std::string(get_model_info(info.param.product)->model_name).substr(0, 4) +
                                    "_" + std::to_string(info.param.length);
                         });

}  // namespace
