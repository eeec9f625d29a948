#include "slot_playback.h"

#include "audio/song_stream.h"

#include <gtest/gtest.h>
#include <QTest>
#include "test_wait.h"

namespace {

// Three seconds of song: its 10 % is twice the player's prebuffer, and many pages.
constexpr unsigned int kToneFrames = 3 * 44100;

// Into a capturing sink, with the read held once 8 % of the song is in.
class SlotCapture : public SlotPlayback {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(put_tone(kToneFrames));
        m_gate.hold_when([this] { return m_stream->frames_in() >= m_stream->frames() * 8 / 100; });
    }

    CCaptureSink m_sink;
};

}  // namespace

TEST_F(SlotCapture, StartsEarlyAndPlaysTheStoredSamples)
{
    std::optional<size_t> reads_at_first_write;
    m_sink.on_first_write = [&] {
        reads_at_first_write = page_reads();
        m_gate.open();
    };
    ASSERT_NO_FATAL_FAILURE(play(m_sink));
    wait_or_fail([&] { return m_finished->count() == 1; }, kSlotWaitMs);
    join();
    ASSERT_TRUE(m_result && m_result->ok());
    EXPECT_TRUE(m_finished->at(0).at(0).toBool());
    EXPECT_EQ(m_sink.samples, samples_in(*CSongStream::whole_of(m_stream->format(), stored_song(0))));
    ASSERT_TRUE(reads_at_first_write);
    EXPECT_LT(*reads_at_first_write * 10, page_reads()) << *reads_at_first_write << " of " << page_reads();
}

// The player's Stop, as a front end's: no finished() follows, and the read ends too.
TEST_F(SlotCapture, StopEndsTheReadWithNoFurtherCommand)
{
    ASSERT_NO_FATAL_FAILURE(play(m_sink));
    wait_or_fail([&] { return m_sink.written() > 0 && m_gate.holding(); }, kSlotWaitMs);
    m_player->stop();
    m_task.cancel();
    m_pedal->wait_until_idle();
    const size_t commands = m_pedal->command_log().size();
    join();
    EXPECT_EQ(m_pedal->command_log().size(), commands);
    EXPECT_EQ(m_result->kind(), COperationResult::EKind::CANCELLED);
    EXPECT_FALSE(m_sink.is_open);
    EXPECT_TRUE(m_stream->ended() && !m_stream->whole());
    EXPECT_EQ(m_finished->count(), 0);
}
