#include "audio/song_stream.h"
#include "capture_sink.h"
#include "core/song_playback.h"
#include "core_pedal.h"
#include "playback/song_player.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace {

constexpr uint32_t kPulseRing = 0x2712;  // mono songs
constexpr uint8_t kRead = 0x23;  // the NAND page reads of a song
// Three seconds of song: its 10 % is twice the player's prebuffer and more than one read.
constexpr unsigned int kToneFrames = 3 * 44100;
constexpr int kWaitMs = 60000;

// Holds the pedal's read between two pages, on the reading thread, from the first page at
// which `when` holds until open(): a player that waits for more than that waits out the
// limit, and then fails the test.
class CReadGate {
public:
    explicit CReadGate(std::function<bool()> when) : m_when(std::move(when)) {}
    void at_page()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_holding || m_open || !m_when())
            return;
        m_holding = true;
        m_changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), [this] { return m_open; });
    }
    void open()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    bool holding() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_holding && !m_open;
    }

private:
    std::function<bool()> m_when;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
    bool m_open = false;
};

// Slot 1 of an emulated pedal played as a front end plays it: the read on a worker thread,
// the player on this one, into a capturing sink.
class SlotPlayback : public CorePedal {
protected:
    void SetUp() override
    {
        connect(kPulseRing);
        write_tone(file("tone.wav"), kToneFrames);
        ASSERT_TRUE(import_song(m_session, file("tone.wav"), 0, SImportSettings{}, nullptr).ok());
        m_stream = slot_stream(m_session, 0);
        ASSERT_TRUE(m_stream);
        m_pedal->clear_command_log();
    }
    // Starts the read and the player; the gate holds the read once 8 % of the song is in.
    void play()
    {
        m_task.set_listener([this] { m_gate.at_page(); });
        m_reader = std::thread([this] { m_result = stream_slot(m_session, 0, *m_stream, &m_task); });
        ASSERT_TRUE(m_player.play(m_stream));
    }
    void join()
    {
        m_gate.open();
        m_reader.join();
        m_task.set_listener(nullptr);
    }
    size_t page_reads() const { return m_pedal->count_commands(EPedalMode::UPDATE, kRead); }

    std::shared_ptr<CSongStream> m_stream;
    CReadGate m_gate{[this] { return m_stream->frames_in() >= m_stream->frames() * 8 / 100; }};
    CTask m_task;
    std::thread m_reader;
    std::optional<COperationResult> m_result;
    CCaptureSink m_sink;
    CSongPlayer m_player{m_sink};
    QSignalSpy m_finished{&m_player, &CSongPlayer::finished};
};

}  // namespace

TEST_F(SlotPlayback, StartsEarlyAndPlaysTheStoredSamples)
{
    std::optional<size_t> reads_at_first_write;
    m_sink.on_first_write = [&] {
        reads_at_first_write = page_reads();
        m_gate.open();
    };
    play();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_finished.count() == 1; }, kWaitMs));
    join();
    ASSERT_TRUE(m_result && m_result->ok());
    EXPECT_TRUE(m_finished.at(0).at(0).toBool());
    EXPECT_EQ(std::vector<unsigned char>(m_stream->data(), m_stream->data() + m_stream->length()),
              stored_song(0));
    EXPECT_EQ(m_sink.samples, samples_in(*m_stream));
    ASSERT_TRUE(reads_at_first_write);
    EXPECT_LT(*reads_at_first_write * 10, page_reads()) << *reads_at_first_write << " of " << page_reads();
}

TEST_F(SlotPlayback, StopEndsTheReadWithNoFurtherCommand)
{
    play();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_sink.written() > 0 && m_gate.holding(); }, kWaitMs));
    m_player.stop();
    m_task.cancel();
    m_pedal->wait_until_idle();
    const size_t commands = m_pedal->command_log().size();
    join();
    EXPECT_EQ(m_pedal->command_log().size(), commands);
    EXPECT_EQ(m_result->kind(), COperationResult::EKind::CANCELLED);
    EXPECT_TRUE(m_stream->ended() && !m_stream->whole());
    EXPECT_EQ(m_finished.count(), 0);
}
