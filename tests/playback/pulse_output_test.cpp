#include "audio/song_stream.h"
#include "playback/qt_audio_sink.h"
#include "slot_playback.h"

#include <gtest/gtest.h>
#include <QTest>
#include "test_wait.h"

namespace {

// The computer's default output: beside tools/pulse_server.sh, its null sink.
class SlotOnTheSoundOutput : public SlotPlayback {
protected:
    CQtAudioSink m_output;
};

}  // namespace

TEST_F(SlotOnTheSoundOutput, PlaysToTheEnd)
{
    if (!m_output.unavailable().isEmpty())
        GTEST_SKIP() << m_output.unavailable().toStdString() << " (tools/pulse_server.sh starts a server)";
    // Half a second: the sound device plays in real time, and the suite's time is short.
    ASSERT_NO_FATAL_FAILURE(put_tone(44100 / 2));
    ASSERT_NO_FATAL_FAILURE(play(m_output));
    wait_or_fail([&] { return m_finished->count() == 1; }, kSlotWaitMs);
    ASSERT_EQ(m_finished->count(), 1);
    EXPECT_TRUE(m_finished->at(0).at(0).toBool());
    EXPECT_EQ(m_player->position(), m_stream->frames());
}
