#include "app/slot_line_delegate.h"
#include "song_page_fixture.h"

#include <QLabel>

namespace {

constexpr unsigned kTwoSecondsMono = 281250;

}  // namespace

// A song written by another computer plays from the pedal: Stop is live while it plays,
// the time shows against the song's length, and once read whole its line draws its
// waveform; at the end the time goes and Stop with it.
TEST_F(SongPage, PlaysASlotToTheEndAndItsLineGetsAWaveform)
{
    connect_pedal(kPulseRing, {{0, kTwoSecondsMono}});
    list().setCurrentRow(0);
    EXPECT_FALSE(list().item(0)->data(CSlotLineDelegate::kOverviewRole).isValid());
    // The last second stays unheard until the test lets it go: the song is still playing.
    m_desktop.sound.unheard = kSongSampleRate;
    click("m_btnPlay");
    const QLabel* time = widget<QLabel>("m_labelPlayTime");
    EXPECT_TRUE(QTest::qWaitFor([&] { return time->text().endsWith(" / 0:02"); }))
        << time->text().toStdString();
    EXPECT_TRUE(enabled("m_btnStop"));
    EXPECT_EQ(list().item(0)->data(CSlotLineDelegate::kOverviewRole).toByteArray().size(), 2000);
    EXPECT_TRUE(list().item(0)->data(CSlotLineDelegate::kPlaceRole).isValid());

    m_desktop.sound.unheard = 0;
    EXPECT_TRUE(QTest::qWaitFor([&] { return time->text().isEmpty(); }));
    EXPECT_FALSE(enabled("m_btnStop"));
    EXPECT_EQ(m_desktop.sound.written(), driver().songs().get_file_length(0) / 3);
    EXPECT_TRUE(enabled("m_btnPlay"));
}

TEST_F(SongPage, WithoutASoundOutputPlayIsOffAndSaysWhy)
{
    m_desktop.sound.unavailable_text = "No audio output device was found.";
    connect_pedal(kPulseRing, {{0, kTwoSecondsMono}});
    list().setCurrentRow(0);
    EXPECT_FALSE(enabled("m_btnPlay"));
    EXPECT_EQ(widget<QPushButton>("m_btnPlay")->toolTip().toStdString(), "No audio output device was found.");
}
