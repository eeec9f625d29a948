#include "song_pedal.h"

#include "songs/looper_song_file.h"
#include "songs/looper_song_old.h"

namespace {

// Behaviour both slot formats share.
template <class TSlotTest>
class SongSlotFormatTest : public TSlotTest {
};

using SlotFormats =
    ::testing::Types<SlotTest<CLooperSongFile, PULSE_RING>, SlotTest<CLooperSongOld, SMALL_WHEEL>>;
TYPED_TEST_SUITE(SongSlotFormatTest, SlotFormats);

TYPED_TEST(SongSlotFormatTest, InfoBlockEraseFailureGives9KeepsTheOldSongAndWritesNoFlag)
{
    using Slot = decltype(this->slot);
    const Bytes old_song = song_bytes(500, 6);
    ASSERT_EQ(this->write(this->slot, old_song, {20}), LOOPER_RESULT_OK);
    Slot unloaded;  // knows nothing of the journal, so it erases the info block first
    this->bind(unloaded);
    this->pedal().clear_command_log();
    this->pedal().add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, CMD_ERASE, 2));
    EXPECT_EQ(this->write(unloaded, song_bytes(500, 7), {21}), LOOPER_RESULT_ERASE_FAILED);
    EXPECT_EQ(this->commands(CMD_ERASE).size(), 2u);
    EXPECT_FALSE(unloaded.is_file_exist());

    Slot reloaded;
    ASSERT_EQ(this->load_fresh(reloaded), LOOPER_RESULT_OK);
    EXPECT_EQ(this->read_back(reloaded), stored_form(old_song, this->m_usb.product_id()));
}

}  // namespace
