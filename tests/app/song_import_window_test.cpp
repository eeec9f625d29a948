#include "audio/song_loudness.h"
#include "device/model_info.h"
#include "song_page_fixture.h"
#include "support/progress_event.h"
#include "support/task.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

namespace {

constexpr uint32_t kDualWheel = 0x2716;  // one legacy slot, stereo

const QString kNotAudio = QStringLiteral(
    " is not an audio file Tandora can read. Tandora reads WAV, AIFF, FLAC, OGG, Opus and MP3 files.");

class SongImport : public SongPage {
protected:
    // Drops the named files on the line of `slot`, and waits for the import.
    void drop_files(int slot, const QStringList& names)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& name : names)
            urls << QUrl::fromLocalFile(file(name));
        data.setUrls(urls);
        ASSERT_TRUE(drop_on(slot, data));
    }
    QString tone(const QString& name, unsigned int frames = 4410)
    {
        write_tone(file(name), 1, 44100, frames);
        return name;
    }
    QString text_file(const QString& name)
    {
        QFile text(file(name));
        EXPECT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("these are not samples");
        return name;
    }
    QComboBox& mono_setting() const { return *widget<QComboBox>("m_comMonoMode"); }
};

// Clicks Cancel as soon as the window shows the second file under way.
class CCancelAtSecondFile : public QObject {
public:
    CCancelAtSecondFile(TandoraQT& window, CWindowDriver& probe) : m_window(window), m_probe(probe) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == PROGRESS_EVENT_TYPE && m_probe.task() && m_probe.task()->progress().part == 2)
            QTest::mouseClick(m_window.findChild<QPushButton*>("m_btnCancel"), Qt::LeftButton);
        return false;
    }

private:
    TandoraQT& m_window;
    CWindowDriver& m_probe;
};

}  // namespace

TEST_F(SongImport, FileDroppedOnAnEmptySlotGoesThere)
{
    connect_pedal(kPulseRing);
    drop_files(3, {tone("one.wav")});
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful !"}));
    EXPECT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_TRUE(driver().songs().is_file_exist(3));
    EXPECT_EQ(list().currentRow(), 3);
}

TEST_F(SongImport, FileDroppedOnASongAsksFirstAndNoLeavesIt)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing, {{0, 19200}});
    const std::vector<unsigned char> before = stored_song(0);
    pedal.clear_command_log();
    m_prompt.answer_yes_no(false);
    drop_files(0, {tone("one.wav")});
    ASSERT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_EQ(
        m_prompt.shown()[0].text.toStdString(),
        "'Song 001 -- (0.02  MB)' already exist, continue to overwrite the song?\nSong 001 \u00b7 0:00");
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kFlashWrite), 0u);
    EXPECT_EQ(stored_song(0), before);
}

TEST_F(SongImport, DroppedFileThatIsNotAudioGetsTheFormatMessage)
{
    connect_pedal(kPulseRing);
    drop_files(1, {text_file("notes.txt")});
    EXPECT_EQ(m_prompt.messages(), QStringList({"notes.txt" + kNotAudio}));
    EXPECT_FALSE(driver().songs().is_file_exist(1));
}

// Five files on slot 28 of 30: one question for the songs replaced, a line per file, and
// the two files no slot was left for named.
TEST_F(SongImport, SeveralFilesFillTheSlotsFromTheOneDroppedOn)
{
    connect_pedal(kPulseRing, {{27, 19200}, {28, 19200}});
    m_prompt.answer_yes_no(true);
    drop_files(27, {tone("a.wav"), text_file("notes.txt"), tone("c.wav"), tone("d.wav"), tone("e.wav")});
    ASSERT_EQ(m_prompt.shown().size(), 2u);
    EXPECT_EQ(m_prompt.shown()[0].text,
              "These songs already exist, continue to overwrite them?\n"
              "Song 028 -- (0.02  MB)\nSong 029 -- (0.02  MB)");
    EXPECT_EQ(m_prompt.shown()[1].text,
              "Song 028: a.wav \u2014 Successful !\n"
              "Song 029: notes.txt \u2014 notes.txt" +
                  kNotAudio +
                  "\n"
                  "Song 030: c.wav \u2014 Successful !\n"
                  "Not imported, no slot left after the last: d.wav, e.wav");
    EXPECT_NE(driver().songs().get_file_length(27), 19200u);
    EXPECT_EQ(driver().songs().get_file_length(28), 19200u);
    EXPECT_TRUE(driver().songs().is_file_exist(29));
}

TEST_F(SongImport, CancelBetweenFilesKeepsTheFilesDoneAndBeginsNoOther)
{
    connect_pedal(kPulseRing);
    CCancelAtSecondFile user(*m_window, driver());
    m_window->work_runner().installEventFilter(&user);
    drop_files(0, {tone("a.wav"), tone("b.wav", 441000), tone("c.wav")});
    EXPECT_EQ(m_prompt.messages(), QStringList({"Song 001: a.wav \u2014 Successful !\n"
                                                "Song 002: b.wav \u2014 Cancelled !\n"
                                                "Song 003: c.wav \u2014 Cancelled !"}));
    EXPECT_TRUE(driver().songs().is_file_exist(0));
    EXPECT_FALSE(driver().songs().is_file_exist(1));
    EXPECT_FALSE(driver().songs().is_file_exist(2));
}

// 421875 bytes are stored as 2197 whole units (2.9996 s) in 2 blocks; 1968 of the 1970
// blocks stay free: 507838464 bytes, 3611.3 s.
TEST_F(SongImport, LinesTellTheirLengthAndTheLineUnderTheListTheFreeSpace)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing, {{0, 421875}});
    // The tool tip holds the whole line, whatever the line's width lets it draw.
    EXPECT_EQ(list().item(0)->toolTip(), "Song 001 -- (0.40  MB)  0:03");
    EXPECT_EQ(list().item(1)->toolTip(), "");
    EXPECT_EQ(widget<QLabel>("m_labelFreeSpace")->text(), "Free: 1:00:11 of mono audio (484.3 MB)");
    wait_for_port_change();
    driver().tick();
    pedal.unplug();
    wait_for_port_change();
    driver().tick();
    EXPECT_EQ(widget<QLabel>("m_labelFreeSpace")->text(), "");
}

// Twelve songs of a whole chain each leave 50 of 1970 blocks; two minutes need 66.
TEST_F(SongImport, SongTooLongForTheFreeSpaceIsRefusedWithTheNumbers)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing);
    store_full_song_records(pedal, *get_model_info(kPulseRing)->nand, 12);
    driver().load_data_from_device();
    EXPECT_EQ(widget<QLabel>("m_labelFreeSpace")->text(), "Free: 1:31 of mono audio (12.3 MB)");
    list().setCurrentRow(20);
    write_tone(file("two minutes.wav"), 1, 8000, 120 * 8000);
    pedal.clear_command_log();
    m_prompt.answer_file(file("two minutes.wav"));
    click("m_btnDownload");
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"Space not enough!\nFree: 1:31 (12.3 MB); the song needs 2:01 (16.2 MB)."}));
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kFlashWrite), 0u);
    EXPECT_FALSE(driver().songs().is_file_exist(20));
}

// The loudness comes from the settings file, offered with the minus sign, and goes to the
// import; the choice is written back when it changes.
TEST_F(SongImport, LoudnessSettingIsRememberedAndUsed)
{
    write_config("/Config/Loudness", "-23");
    connect_pedal(kPulseRing);
    auto& setting = *widget<QComboBox>("m_comLoudness");
    EXPECT_EQ(setting.currentText(), QString::fromUtf8("\u221223 LUFS"));
    EXPECT_TRUE(setting.isEnabled());
    write_tone(file("tone.wav"), 1, 44100, 44100);
    m_prompt.answer_file(file("tone.wav"));
    click("m_btnDownload");
    const std::vector<unsigned char> song = stored_song(0);
    EXPECT_NEAR(measure_song(song.data(), song.size(), 1).value_or(SLoudness{}).integrated_lufs, -23.0, 0.1);

    setting.setCurrentIndex(setting.findText("As the file"));
    EXPECT_EQ(read_config("/Config/Loudness"), "off");
}

// The mix comes from the settings file and goes to the import; the choice is written
// back when it changes. The two channels differ, so their mix is not the left one.
TEST_F(SongImport, MonoSettingIsRememberedAndUsed)
{
    write_config("/Config/MonoMode", "mix");
    connect_pedal(kPulseRing);
    EXPECT_EQ(mono_setting().currentText(), "Mix of both channels");
    EXPECT_TRUE(mono_setting().isEnabled());
    write_tone(file("two.wav"), 2, 44100, 4410);
    m_prompt.answer_file(file("two.wav"));
    click("m_btnDownload");
    const std::vector<unsigned char> mixed = stored_song(0);

    mono_setting().setCurrentIndex(mono_setting().findText("Left channel"));
    EXPECT_EQ(read_config("/Config/MonoMode"), "left");
    m_prompt.answer_yes_no(true);
    m_prompt.answer_file(file("two.wav"));
    click("m_btnDownload");
    const std::vector<unsigned char> left = stored_song(0);
    EXPECT_EQ(left.size(), mixed.size());
    EXPECT_NE(left, mixed);
}

TEST_F(SongImport, MonoSettingStartsAtTheLeftChannelAndIsShutForAStereoPedal)
{
    connect_pedal(kDualWheel);
    EXPECT_EQ(mono_setting().currentText(), "Left channel");
    EXPECT_EQ(mono_setting().count(), 2);
    EXPECT_FALSE(mono_setting().isEnabled());
}

struct SNamedFiles {
    const char* source;
    const char* chosen;  // in the save dialog
    const char* saved;
};

class ChosenNames : public SongImport, public ::testing::WithParamInterface<SNamedFiles> {};

TEST_P(ChosenNames, ImportAndExportUnderTheirNames)
{
    connect_pedal(kPulseRing);
    const QString source = QString::fromUtf8(GetParam().source);
    tone(source);
    m_prompt.answer_file(file(source));
    click("m_btnDownload");
    m_prompt.answer_file(file(QString::fromUtf8(GetParam().chosen)));
    click("m_btnUpload");
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful !", "Successful !"}));
    const QString saved = QString::fromUtf8(GetParam().saved);
    QStringList files = QDir(m_files.path()).entryList(QDir::Files);
    QStringList expected{source, saved};
    files.sort();
    expected.sort();
    EXPECT_EQ(files, expected);
    CWave exported;
    EXPECT_TRUE(exported.Load(file(saved)));
}

// A name without an extension gets ".wav".
INSTANTIATE_TEST_SUITE_P(
    Names, ChosenNames,
    ::testing::Values(SNamedFiles{"Caf\u00e9.wav", "\u65e5\u672c\u8a9e", "\u65e5\u672c\u8a9e.wav"},
                      SNamedFiles{"\u65e5\u672c\u8a9e.wav", "Caf\u00e9.wav", "Caf\u00e9.wav"},
                      SNamedFiles{"take.wav", "take 2", "take 2.wav"}));
