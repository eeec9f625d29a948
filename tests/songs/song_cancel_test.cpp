#include "song_pedal.h"

#include "support/task.h"

namespace {

// A song of two blocks and three pages overwrites slot 0's old song (or is read) and the task is
// cancelled once `pages` pages of it have moved: inside the first block, at the end of a
// block (the next command would erase the second), or in the last block.
struct SCancelCase {
    const char* name;
    uint32_t product;
    unsigned pages;
};

void PrintTo(const SCancelCase& c, std::ostream* os)
{
    *os << c.name;
}

class SongCancelTest : public SongPedalTest, public ::testing::WithParamInterface<SCancelCase> {
protected:
    void SetUp() override
    {
        connect(GetParam().product);
        ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
        block_audio = geometry().pages_per_block * geometry().page_data_size;
        store_song(0, old_song);
        pedal().clear_command_log();
    }

    // Cancels `task` once `threshold` bytes have moved; keeps how many flash commands (or
    // reads) the pedal had had by then.
    void cancel_after(CTask& task, uint64_t threshold, uint8_t counted)
    {
        task.set_listener([this, &task, threshold, counted] {
            if (task.progress().bytes_done < threshold || task.cancelled())
                return;
            task.cancel();
            sent_at_cancel = counted == CMD_WRITE ? flash_operations() : commands(counted).size();
        });
    }
    // Two blocks and three pages, the last of them partial.
    size_t new_length() const { return 2 * block_audio + 2 * geometry().page_data_size + 777; }
    uint64_t threshold() const { return uint64_t{GetParam().pages} * geometry().page_data_size; }

    const Bytes old_song = song_bytes(5000, 1);
    unsigned int block_audio = 0;
    size_t sent_at_cancel = 0;
};

TEST_P(SongCancelTest, CancelledWriteSendsNothingMoreAndKeepsTheOldSong)
{
    const Bytes new_song = song_bytes(new_length(), 2);
    CTask task;
    cancel_after(task, threshold(), CMD_WRITE);
    EXPECT_EQ(m_store.write_file(0, new_song.data(), static_cast<unsigned>(new_song.size()), &task),
              LOOPER_RESULT_CANCELLED);
    ASSERT_TRUE(task.cancelled());
    EXPECT_EQ(flash_operations(), sent_at_cancel) << "no erase or write after the cancel";
    EXPECT_TRUE(m_store.is_block_status_complete()) << "the records are as they were";

    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_EQ(read_song(0), stored_form(old_song, GetParam().product));
}

// A page source whose file fails on its second reading after `pages` pages.
class CFailingPages final : public CSongPageSource {
public:
    CFailingPages(const Bytes& song, unsigned pages)
        : m_song(song.data(), static_cast<unsigned int>(song.size())), m_pages_left(pages)
    {
    }
    unsigned int length() const override { return m_song.length(); }
    bool next(unsigned char* out, unsigned int count) override
    {
        if (m_pages_left == 0 || !m_song.next(out, count))
            return false;
        --m_pages_left;
        return true;
    }

private:
    CSongBufferPages m_song;
    unsigned m_pages_left;
};

TEST_P(SongCancelTest, FailingPageSourceStopsTheWriteBeforeItsRecordAndKeepsTheOldSong)
{
    const Bytes new_song = song_bytes(new_length(), 2);
    CFailingPages pages(new_song, GetParam().pages);
    EXPECT_EQ(m_store.write_file(0, pages, nullptr), LOOPER_RESULT_READ_FAILED);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    EXPECT_EQ(read_song(0), stored_form(old_song, GetParam().product));
}

TEST_P(SongCancelTest, CancelledReadAsksForNothingMore)
{
    const Bytes new_song = song_bytes(new_length(), 3);
    store_song(0, new_song);
    pedal().clear_command_log();
    CTask task;
    const unsigned int length = m_store.get_file_length(0);
    cancel_after(task, threshold(), CMD_READ);
    Bytes back(length);
    EXPECT_EQ(m_store.read_file(0, back.data(), length, &task), LOOPER_RESULT_CANCELLED);
    EXPECT_EQ(commands(CMD_READ).size(), sent_at_cancel);
    EXPECT_EQ(read_song(0), stored_form(new_song, GetParam().product)) << "a later read is whole";
}

INSTANTIATE_TEST_SUITE_P(Points, SongCancelTest,
                         ::testing::Values(SCancelCase{"PulseRingFirstPage", PULSE_RING, 1},
                                           SCancelCase{"PulseRingEndOfABlock", PULSE_RING, 64},
                                           SCancelCase{"PulseRingLastBlock", PULSE_RING, 129},
                                           SCancelCase{"SmallWheelFirstPage", SMALL_WHEEL, 1},
                                           SCancelCase{"SmallWheelEndOfABlock", SMALL_WHEEL, 64},
                                           SCancelCase{"SmallWheelLastBlock", SMALL_WHEEL, 129}),
                         [](const ::testing::TestParamInfo<SCancelCase>& info) {
                             return std::string(info.param.name);
                         });

// Cancelled before it starts, a write touches nothing at all.
TEST_F(SongPedalTest, WriteOfACancelledTaskSendsNoFlashCommand)
{
    connect(PULSE_RING);
    ASSERT_EQ(m_store.load_song_info(), LOOPER_RESULT_OK);
    CTask task;
    task.cancel();
    const Bytes song = song_bytes(3000, 4);
    EXPECT_EQ(m_store.write_file(2, song.data(), static_cast<unsigned>(song.size()), &task),
              LOOPER_RESULT_CANCELLED);
    EXPECT_EQ(flash_operations(), 0u);
}

}  // namespace
