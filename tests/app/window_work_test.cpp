#include "song_page_fixture.h"

#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include "test_wait.h"

namespace {

// A window on a PULSE RING whose pedal is slow to answer: the commands run on the worker
// while the test acts on the GUI thread.
class WindowAtWork : public WindowWithPedals {
protected:
    CPedalEmulator& connect_slow_pedal()
    {
        SPedalConfig config;
        config.product_id = 0x2712;
        CPedalEmulator& pedal = add_pedal(config);
        pedal.set_reply_latency(std::chrono::milliseconds(2));
        make_window().show();
        m_prompt.clear();
        return pedal;
    }
    // A mono 44100 Hz tone of `frames` frames, written with the song page tests' writer.
    QString tone(unsigned int frames)
    {
        const QString path = m_files.filePath(QString::number(frames) + ".wav");
        write_tone(path, 1, 44100, frames);
        return path;
    }
    // Starts an import into slot 1 without waiting for it.
    void start_import(const QString& path)
    {
        widget<QListWidget>("m_lstSong")->setCurrentRow(0);
        m_prompt.answer_file(path);
        QTest::mouseClick(widget<QPushButton>("m_btnDownload"), Qt::LeftButton);
    }
    bool working() { return driver().work_state() != WORK_IDLE; }

    QTemporaryDir m_files;
};

}  // namespace

// While the pedal is silent, the GUI thread goes on handling its events: a timer fires,
// the bar and Cancel show, and closing asks first (answered No here).
TEST_F(WindowAtWork, StaysResponsiveWhileThePedalIsSilent)
{
    CPedalEmulator& pedal = connect_slow_pedal();
    pedal.add_fault({EPedalFaultKind::DELAY, EPedalMode::UPDATE, kFlashWrite, 1, 3000});
    start_import(tone(44100));
    ASSERT_TRUE(working());
    bool ticked_while_working = false;
    QTimer::singleShot(0, [&] { ticked_while_working = working(); });
    wait_or_fail([&] { return ticked_while_working; }, 2000);
    EXPECT_TRUE(widget<QProgressBar>("progressBar")->isVisible());
    EXPECT_TRUE(widget<QPushButton>("m_btnCancel")->isVisible());
    EXPECT_FALSE(m_window->close());
    wait_until_idle();
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful !"}));
}

// Cancel during a silent reply wait ends the import at once, with the old song kept.
TEST_F(WindowAtWork, CancelEndsASilentWaitAndKeepsTheOldSong)
{
    CPedalEmulator& pedal = connect_slow_pedal();
    start_import(tone(20000));
    wait_until_idle();
    const std::vector<unsigned char> old_song = [this] {
        std::vector<unsigned char> song(driver().songs().get_file_length(0));
        EXPECT_EQ(driver().songs().read_file(0, song.data(), static_cast<unsigned>(song.size()), nullptr),
                  LOOPER_RESULT_OK);
        return song;
    }();
    m_prompt.clear();
    // The pedal takes a write and never answers it: only the cancel ends the wait.
    pedal.add_fault({EPedalFaultKind::NO_REPLY, EPedalMode::UPDATE, kFlashWrite, 2, 0});
    m_prompt.answer_yes_no(true);
    start_import(tone(200000));
    ASSERT_TRUE(wait_or_fail([&] { return pedal.count_commands(EPedalMode::UPDATE, kFlashWrite) >= 2; }, 60000));
    QTest::mouseClick(widget<QPushButton>("m_btnCancel"), Qt::LeftButton);
    wait_until_idle();
    EXPECT_EQ(m_prompt.messages(), QStringList({"Cancelled !"}));
    std::vector<unsigned char> song(driver().songs().get_file_length(0));
    ASSERT_EQ(driver().songs().read_file(0, song.data(), static_cast<unsigned>(song.size()), nullptr),
              LOOPER_RESULT_OK);
    EXPECT_EQ(song, old_song);
}
