#include "song_pedal.h"

#include <string>

namespace {

struct SCutCase {
    const char* name;
    uint32_t product;
    // Records written before the old song so that it sits in the info block's last record
    // page, forcing the overwrite to erase the info block.
    unsigned earlier_records;
};

// An overwrite cut short by a power cut at each of its flash operations in turn. After the
// pedal comes back, the slot holds the whole old song or the whole new song and every other
// slot is unchanged, with one exception the format forces: once the overwrite has erased a
// full info block, a cut before the new record is written leaves the slot empty.
class SongPowerCutTest : public SongPedalTest, public ::testing::WithParamInterface<SCutCase> {
protected:
    void prepare()
    {
        connect(GetParam().product);
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
        other_slot = m_store.slot_count() > 1 ? 1 : -1;
        if (other_slot >= 0)
            store_song(other_slot, other_song);
        for (unsigned i = 0; i < GetParam().earlier_records; ++i)
            ASSERT_EQ(write(song_bytes(geometry().unit_size, i)), LOOPER_RESULT_OK);
        store_song(0, old_song);
        pedal().clear_command_log();
    }
    ELooperActionResult write(const Bytes& song)
    {
        return m_store.write_file(0, song.data(), static_cast<unsigned>(song.size()), nullptr);
    }
    // 1-based position among the erases and writes of the last write of the slot's info record.
    size_t record_operation() const
    {
        size_t position = 0, record = 0;
        for (const SPedalCommandRecord& entry : commands()) {
            if (entry.command != CMD_ERASE && entry.command != CMD_WRITE)
                continue;
            ++position;
            if (entry.command == CMD_WRITE && entry.flash_type == NAND &&
                entry.address / geometry().block_size == geometry().song_blocks)
                record = position;
        }
        return record;
    }
    // Two pages into a block of its own, so the overwrite is short but crosses a page.
    const Bytes old_song = song_bytes(2 * 2046 + 100, 1);
    const Bytes new_song = song_bytes(2 * 2046 + 500, 2);
    const Bytes other_song = song_bytes(5000, 3);
    int other_slot = -1;
};

TEST_P(SongPowerCutTest, SlotHoldsTheOldOrTheNewSongAfterACutAtEveryOperation)
{
    prepare();
    ASSERT_EQ(write(new_song), LOOPER_RESULT_OK);
    const size_t operations = flash_operations();
    const size_t record = record_operation();
    const bool rollover = GetParam().earlier_records > 0;
    ASSERT_GT(record, 0u);

    for (size_t cut = 1; cut <= operations + 1; ++cut) {
        SCOPED_TRACE("power cut at flash operation " + std::to_string(cut) + " of " +
                     std::to_string(operations));
        prepare();
        quick_timeouts();
        if (cut <= operations)
            pedal().cut_power_at_flash_operation(static_cast<unsigned>(cut));
        const ELooperActionResult result = write(new_song);
        EXPECT_EQ(result == LOOPER_RESULT_OK, cut > operations);
        reconnect();
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);

        const bool forced_loss = rollover && cut == record;
        const Bytes expected =
            forced_loss ? Bytes{} : stored_form(cut > record ? new_song : old_song, GetParam().product);
        const Bytes back = read_song(0);
        EXPECT_TRUE(back == expected) << hex_diff(back, expected);
        for (unsigned slot = 1; slot < m_store.slot_count(); ++slot) {
            if (static_cast<int>(slot) == other_slot)
                EXPECT_TRUE(read_song(slot) == stored_form(other_song, GetParam().product));
            else
                EXPECT_FALSE(m_store.is_file_exist(slot)) << "slot " << slot;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Overwrites, SongPowerCutTest,
                         ::testing::Values(SCutCase{"PulseRing", PULSE_RING, 0},
                                           SCutCase{"PulseRingFullJournal", PULSE_RING, 63},
                                           SCutCase{"SmallWheel", SMALL_WHEEL, 0},
                                           SCutCase{"SmallWheelFullJournal", SMALL_WHEEL, 30}),
                         [](const ::testing::TestParamInfo<SCutCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
