#include "app/slot_line_delegate.h"
#include "song_page_fixture.h"

#include "audio/song_stream.h"

#include <QComboBox>
#include <QLabel>
#include <algorithm>
#include "test_wait.h"

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
    if (!wait_or_fail([&] { return time->text().endsWith(" / 0:02"); }))
        ADD_FAILURE() << time->text().toStdString();
    EXPECT_TRUE(enabled("m_btnStop"));
    EXPECT_EQ(list().item(0)->data(CSlotLineDelegate::kOverviewRole).toByteArray().size(), 2000);
    EXPECT_TRUE(list().item(0)->data(CSlotLineDelegate::kPlaceRole).isValid());

    m_desktop.sound.unheard = 0;
    wait_or_fail([&] { return time->text().isEmpty(); });
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

// The overwrite question offers Play: the file is heard as the import then writes it, with
// the Mix and -16 LUFS settings, sample for sample.
TEST_F(SongPage, OverwriteQuestionPlaysTheFileAsTheImportWritesIt)
{
    connect_pedal(kPulseRing, {{0, 192000}});
    widget<QComboBox>("m_comMonoMode")->setCurrentIndex(1);
    widget<QComboBox>("m_comLoudness")->setCurrentIndex(2);
    write_tone(file("tone.wav"), 2, 44100, 44100);
    m_prompt.answer_file(file("tone.wav"));
    m_prompt.answer_yes_no(true);
    m_prompt.press_play = true;
    m_prompt.on_play = [&] {
        wait_or_fail([&] { return m_desktop.sound.written() >= 46875; });
    };
    click("m_btnDownload");
    ASSERT_EQ(m_prompt.shown().size(), 3u);
    EXPECT_TRUE(m_prompt.shown()[1].play_offered);
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful !"}));
    EXPECT_FALSE(enabled("m_btnStop"));
    const std::vector<float> heard = m_desktop.sound.samples;
    const std::shared_ptr<CSongStream> stored = CSongStream::whole_of(SSongAudioFormat{}, stored_song(0));
    std::vector<float> written(stored->frames());
    ASSERT_EQ(stored->read(0, written.data(), written.size()), written.size());
    // The pedal keeps whole units: its song may end a unit short of the file's.
    EXPECT_EQ(heard.size(), 46875u);
    const size_t common = std::min(heard.size(), written.size());
    EXPECT_GT(common, 46000u);
    EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + long(common), written.begin()));
}
