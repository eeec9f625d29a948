#include "app/slot_line_delegate.h"
#include "song_page_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <cerrno>
#include "test_wait.h"

TEST_F(SongPage, ListsEverySlotWithItsSizeOrEmptyAndSelectsTheFirst)
{
    connect_pedal(kPulseRing);
    EXPECT_EQ(list().count(), 30);
    EXPECT_EQ(list().currentRow(), 0);
    EXPECT_EQ(driver().current_song(), 0);
    EXPECT_FALSE(enabled("m_btnUpload"));
    EXPECT_FALSE(enabled("m_btnDelete"));
    EXPECT_TRUE(enabled("m_btnDownload"));
    EXPECT_TRUE(same_icon(list().item(0), "toneNone.ico"));

    // 192 000 and 576 000 bytes: 0.183 and 0.549 MB.
    ASSERT_EQ(driver().songs().write_file(0, std::vector<unsigned char>(192000, 1).data(), 192000, nullptr),
              LOOPER_RESULT_OK);
    ASSERT_EQ(driver().songs().write_file(2, std::vector<unsigned char>(576000, 2).data(), 576000, nullptr),
              LOOPER_RESULT_OK);
    driver().load_data_from_device();
    QStringList expected;
    for (int slot = 0; slot < 30; ++slot)
        expected << empty_line(slot);
    expected[0] = "Song 001 -- (0.18  MB)  0:01";
    expected[2] = "Song 003 -- (0.55  MB)  0:04";
    EXPECT_EQ(lines(), expected);
    EXPECT_TRUE(same_icon(list().item(0), "tone.ico"));
    EXPECT_TRUE(same_icon(list().item(1), "toneNone.ico"));
    EXPECT_TRUE(enabled("m_btnUpload"));
    EXPECT_TRUE(enabled("m_btnDelete"));

    list().setCurrentRow(1);
    EXPECT_EQ(driver().current_song(), 1);
    EXPECT_FALSE(enabled("m_btnUpload"));
    EXPECT_FALSE(enabled("m_btnDelete"));
    EXPECT_TRUE(enabled("m_btnOpen"));
}

// The file is chosen and checked first; the question then names the song it replaces.
TEST_F(SongPage, ImportOverASongAsksOnceTheFileIsCheckedAndNoDoesNothingElse)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing, {{0, 192000}});
    write_tone(file("tone.wav"), 1, 44100, 4410);
    pedal.clear_command_log();
    m_prompt.answer_file(file("tone.wav"));
    m_prompt.answer_yes_no(false);
    click("m_btnDownload");
    ASSERT_EQ(m_prompt.shown().size(), 2u);
    EXPECT_EQ(m_prompt.shown()[0].kind, EKind::OPEN_FILE);
    EXPECT_EQ(m_prompt.shown()[1].kind, EKind::QUESTION);
    EXPECT_EQ(m_prompt.shown()[1].title, "Overwrite warning");
    EXPECT_EQ(
        m_prompt.shown()[1].text.toStdString(),
        "'Song 001 -- (0.18  MB)' already exist, continue to overwrite the song?\nSong 001 \u00b7 0:01");
    EXPECT_TRUE(pedal.command_log().empty());
}

// 44100 Hz stereo in, 46875 Hz mono 24-bit on the pedal, 48000 Hz mono 24-bit out; the
// window is busy, with the firmware page shut, from the first flash command on.
TEST_F(SongPage, ImportedSongIsStoredInThePedalsFormatAndExportedAt48000)
{
    connect_pedal(kPulseRing);
    write_tone(file("tone.wav"), 2, 44100, 4410);
    m_prompt.answer_file(file("tone.wav"));
    CUserDuringWork import_user(*m_window, kSongCommands);
    m_window->work_runner().installEventFilter(&import_user);
    QString line_at_result;
    m_prompt.on_message = [&](const QString&) { line_at_result = lines()[0]; };
    click("m_btnDownload");
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful !"}));
    // The list showed the new song before the box said so.
    EXPECT_TRUE(line_at_result.startsWith("Song 001 -- (0.01  MB)")) << line_at_result.toStdString();
    EXPECT_EQ(import_user.live_controls, QStringList());
    EXPECT_EQ(m_prompt.shown()[0].kind, EKind::OPEN_FILE);
    EXPECT_EQ(m_prompt.shown()[0].title, "Open wav file");
    EXPECT_EQ(m_prompt.shown()[0].text, "");
    EXPECT_EQ(m_prompt.shown()[0].filter,
              "Audio Files (*.wav *.aif *.aiff *.flac *.ogg *.opus *.mp3);;Wav Files(*.wav)");
    EXPECT_EQ(read_config("/Config/WavLoadDir"), m_files.path() + "/");
    ASSERT_TRUE(import_user.acted);
    EXPECT_TRUE(import_user.song_tab);
    EXPECT_FALSE(import_user.firmware_tab);
    EXPECT_TRUE(import_user.bar_shown);

    CWave pedal_wave;
    ASSERT_TRUE(pedal_wave.Load(file("tone.wav")));
    ASSERT_TRUE(pedal_wave.ResampleLinerAs46875Wav(1));
    const SWaveFormatex& pedal_format = pedal_wave.GetFormat();
    EXPECT_EQ(pedal_format.nChannels, 1);
    EXPECT_EQ(pedal_format.nSamplesPerSec, 46875u);
    EXPECT_EQ(pedal_format.wBitsPerSample, 24);
    const unsigned int converted = pedal_wave.GetBufferLength();
    EXPECT_NEAR(converted / 3.0, 4687.5, 2);
    // The slot format counts whole 192-byte units only.
    const std::vector<unsigned char> stored = stored_song(0);
    ASSERT_EQ(stored.size(), converted / 192 * 192);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), pedal_wave.GetBuffer()));
    EXPECT_EQ(list().currentRow(), 0);
    EXPECT_TRUE(lines()[0].startsWith("Song 001 -- (0.01  MB)"));

    m_prompt.clear();
    // Exported over a longer file, which must not leave its tail behind.
    QFile longer(file("out.wav"));
    ASSERT_TRUE(longer.open(QIODevice::WriteOnly));
    longer.write(QByteArray(1 << 20, '\xAB'));
    longer.close();
    m_prompt.answer_file(file("out.wav"));
    CUserDuringWork export_user(*m_window, kSongCommands);
    m_window->work_runner().installEventFilter(&export_user);
    click("m_btnUpload");
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful !"}));
    ASSERT_TRUE(export_user.acted);
    EXPECT_FALSE(export_user.firmware_tab);
    EXPECT_EQ(read_config("/Config/WavSaveDir"), m_files.path() + "/");
    CWave exported;
    ASSERT_TRUE(exported.Load(file("out.wav")));
    EXPECT_EQ(exported.GetFormat().nChannels, 1);
    EXPECT_EQ(exported.GetFormat().nSamplesPerSec, 48000u);
    EXPECT_EQ(exported.GetFormat().wBitsPerSample, 24);
    EXPECT_NEAR(exported.GetNumSamples(), stored.size() / 3 * 48000.0 / 46875, 2);
    EXPECT_EQ(QFileInfo(file("out.wav")).size(), 46 + qint64(exported.GetBufferLength()));

    // Idle again: the pages are back, the bar is gone and the window closes.
    EXPECT_EQ(driver().work_state(), WORK_IDLE);
    EXPECT_TRUE(widget<QTabWidget>("propSheet")->isTabEnabled(1));
    EXPECT_TRUE(widget<QProgressBar>("progressBar")->isHidden());
    EXPECT_TRUE(m_window->close());
}

struct SProposedName {
    const char* save_dir;
    const char* proposed;  // after the folder
};

class ExportProposes : public SongPage, public ::testing::WithParamInterface<SProposedName> {};

TEST_P(ExportProposes, TheSlotsNameInTheLastFolder)
{
    connect_pedal(kPulseRing, {{1, 19200}});
    if (*GetParam().save_dir)
        write_config("/Config/WavSaveDir", GetParam().save_dir);
    list().setCurrentRow(1);
    click("m_btnUpload");
    ASSERT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_EQ(m_prompt.shown()[0].kind, EKind::SAVE_FILE);
    EXPECT_EQ(m_prompt.shown()[0].title, "Open wav file");
    // With no folder remembered, the user's music folder.
    const QString folder = *GetParam().save_dir
                               ? QString(GetParam().save_dir)
                               : QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    EXPECT_EQ(m_prompt.shown()[0].text,
              folder.isEmpty() ? GetParam().proposed : folder + GetParam().proposed);
    EXPECT_EQ(m_prompt.shown()[0].filter, "Wav Files(*.wav)");
    EXPECT_EQ(read_config("/Config/WavSaveDir"), GetParam().save_dir);
}

INSTANTIATE_TEST_SUITE_P(SaveDirs, ExportProposes,
                         ::testing::Values(SProposedName{"", "/Song 002.wav"},
                                           SProposedName{"/Users/a/out/", "Song 002.wav"}));

TEST_F(SongPage, FileThatIsNotAudioShowsTheFormatsAndLeavesTheSlot)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing, {{0, 19200}});
    QFile text(file("notes.wav"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are not samples");
    text.close();
    const std::vector<unsigned char> before = stored_song(0);
    pedal.clear_command_log();
    m_prompt.answer_yes_no(true);
    m_prompt.answer_file(file("notes.wav"));
    click("m_btnDownload");
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"notes.wav is not an audio file Tandora can read. Tandora reads "
                           "WAV, AIFF, FLAC, OGG, Opus and MP3 files."}));
    EXPECT_TRUE(pedal.command_log().empty());
    EXPECT_EQ(stored_song(0), before);
    EXPECT_EQ(driver().work_state(), WORK_IDLE);
    EXPECT_TRUE(widget<QProgressBar>("progressBar")->isHidden());
}

TEST_F(SongPage, DeletingTheOnlySongOfALegacyModelAsksAndLeavesItEmpty)
{
    connect_pedal(kSmallWheel, {{0, 18600}});
    const QStringList before = lines();
    ASSERT_EQ(before.size(), 1);
    ASSERT_NE(before[0], empty_line(0));

    click("m_btnDelete");
    ASSERT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_EQ(m_prompt.shown()[0].title, "Delete");
    // The question names the song as the list does, without its length, then by its name.
    EXPECT_EQ(m_prompt.shown()[0].text.toStdString(),
              ("Continue to delete song '" + before[0].section("  ", 0, 1) + "' ?\nSong 001 \u00b7 0:00")
                  .toStdString());
    EXPECT_EQ(lines(), before);

    m_prompt.answer_yes_no(true);
    click("m_btnDelete");
    EXPECT_TRUE(m_prompt.messages().empty());
    EXPECT_EQ(lines(), QStringList({empty_line(0)}));
    EXPECT_EQ(list().currentRow(), 0);
    EXPECT_FALSE(enabled("m_btnDelete"));
}

// The second NAND read (the first slot's record; the first read is the device
// information) is refused, so the list stays empty and nothing is selected.
TEST_F(SongPage, ImportWithNoSlotSelectedFailsAndRebuildsTheList)
{
    SPedalConfig config;
    CPedalEmulator& pedal = add_pedal(config);
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, 0x23, 2));
    make_window().show();
    EXPECT_TRUE(m_prompt.messages().contains("Load song info failed !"));
    EXPECT_EQ(list().count(), 0);
    m_prompt.clear();

    write_tone(file("tone.wav"), 1, 46875, 2000);
    m_prompt.answer_file(file("tone.wav"));
    click("m_btnDownload");
    EXPECT_EQ(m_prompt.messages(), QStringList({"Space not enough!"}));
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kFlashWrite), 0u);
    EXPECT_EQ(list().count(), 30);
    EXPECT_EQ(list().currentRow(), -1);
    EXPECT_EQ(driver().current_song(), -1);
}

// A failed export leaves no empty or cut-off file that would pass for the song, and no
// earlier file lost.
TEST_F(SongPage, FailedExportRemovesItsOwnFileAndKeepsOneItWasToReplace)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing, {{0, 19200}});
    pedal.add_fault(SPedalFault::update(EPedalFaultKind::REFUSE, 0x23));
    m_prompt.answer_file(file("out.wav"));
    click("m_btnUpload");
    ASSERT_FALSE(m_prompt.messages().isEmpty());
    EXPECT_EQ(m_prompt.messages().last(), "Read data failed!");
    EXPECT_FALSE(QFile::exists(file("out.wav")));
    EXPECT_EQ(driver().work_state(), WORK_IDLE);

    // A file exported over keeps what it held.
    const QByteArray earlier = "an earlier export";
    QFile kept(file("kept.wav"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write(earlier);
    kept.close();
    m_prompt.answer_file(file("kept.wav"));
    click("m_btnUpload");
    EXPECT_EQ(m_prompt.messages().last(), "Read data failed!");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), earlier);
}

TEST_F(SongPage, ExportThatCannotBeWrittenIsNotASuccess)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "needs a device that refuses every write";
    connect_pedal(kPulseRing, {{0, 19200}});
    m_prompt.answer_file("/dev/full");
    click("m_btnUpload");
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"Failed !\nfull could not be written.\n" + qt_error_string(ENOSPC)}));
    EXPECT_TRUE(QFile::exists("/dev/full"));
}

// 8-bit mono at 1000 Hz, 8:30:00 long: refused from its header, before any conversion.
TEST_F(SongPage, SongTooLongForTheSlotIsRefusedWithTheNumbers)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing);
    {
        CWave huge;
        huge.BuildFormat(1, 1000, 8);
        std::vector<unsigned char> silence(30600000, 0x80);
        huge.SetBuffer(silence.data(), static_cast<unsigned int>(silence.size()), true);
        ASSERT_TRUE(huge.Save(file("low.wav")));
    }
    pedal.clear_command_log();
    m_prompt.answer_file(file("low.wav"));
    click("m_btnDownload");
    EXPECT_EQ(m_prompt.messages(),
              QStringList({"File too large!\nThis slot holds at most 4:53; the file is 8:30:00."}));
    EXPECT_EQ(pedal.count_commands(EPedalMode::UPDATE, kFlashWrite), 0u);
    EXPECT_FALSE(driver().songs().is_file_exist(0));
}

// The pedal goes while the question is open: the delete, confirmed, fails with its reason
// and the song is still there when the pedal comes back.
TEST_F(SongPage, DeleteConfirmedAfterThePedalWentFailsAndKeepsTheSong)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing, {{0, 19200}});
    wait_for_port_change();
    driver().tick();
    CTickingPrompt user(
        [&] {
            pedal.unplug();
            wait_for_port_change();
            driver().tick();
        },
        true);
    click("m_btnDelete");
    EXPECT_EQ(user.questions.size(), 1);
    EXPECT_EQ(user.messages, QStringList({"FLASH erase failed!"}));
    pedal.plug();
    EXPECT_TRUE(driver().songs().is_file_exist(0));
}

struct SReportCase {
    int result;
    const char* text;
};

class Report : public WindowWithPedals, public ::testing::WithParamInterface<SReportCase> {};

TEST_P(Report, ShowsTheResultsTextInAMessageBox)
{
    make_window();
    driver().report(static_cast<ELooperActionResult>(GetParam().result));
    ASSERT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_EQ(m_prompt.shown()[0].title, "Message");
    EXPECT_EQ(m_prompt.shown()[0].text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Codes, Report,
                         ::testing::Values(SReportCase{0, "Successful !"},
                                           SReportCase{4, "Read data failed!"},
                                           SReportCase{8, "Space not enough!"},
                                           SReportCase{12, "Cancelled !"}, SReportCase{-1, "Failed !"}));

// Both directions know their size before the first byte moves: the bar gives the total and
// the time left. Each reply comes a millisecond late, so time passes between two steps.
TEST_F(SongPage, ImportAndExportShowTheTotalAndTheTimeLeft)
{
    CPedalEmulator& pedal = connect_pedal(kPulseRing);
    pedal.set_reply_latency(std::chrono::milliseconds(1));
    write_tone(file("tone.wav"), 1, 44100, 441000);
    const QRegularExpression with_time_left(
        QStringLiteral("\\d+% \u00b7 \\d+\\.\\d of 1\\.3 MB \u00b7 \\d+ kB/s \u00b7 \\d+:\\d\\d left"));
    const auto shows_time_left = [&](const QStringList& texts) {
        return std::any_of(texts.begin(), texts.end(),
                           [&](const QString& text) { return with_time_left.match(text).hasMatch(); });
    };
    m_prompt.answer_file(file("tone.wav"));
    CUserDuringWork import_user(*m_window, {});
    m_window->work_runner().installEventFilter(&import_user);
    click("m_btnDownload");
    EXPECT_TRUE(shows_time_left(import_user.bar_texts)) << import_user.bar_texts.join(" | ").toStdString();

    m_prompt.answer_file(file("out.wav"));
    CUserDuringWork export_user(*m_window, {});
    m_window->work_runner().installEventFilter(&export_user);
    click("m_btnUpload");
    EXPECT_TRUE(shows_time_left(export_user.bar_texts)) << export_user.bar_texts.join(" | ").toStdString();
}

namespace {

struct SCloseCase {
    const char* name;
    bool yes;
    bool closes;
    bool imported;
    // The file dialog, the question, and, when the import carried on, its result.
    size_t boxes;
};

class CloseDuringImport : public SongPage, public ::testing::WithParamInterface<SCloseCase> {};

}  // namespace

// Closing asks first; Yes cancels the import and the window closes once it has stopped,
// with no "Cancelled !" box to dismiss.
TEST_P(CloseDuringImport, AsksThenCancelsAndClosesOrCarriesOn)
{
    const SCloseCase& c = GetParam();
    CPedalEmulator& pedal = connect_pedal(kPulseRing);
    pedal.set_reply_latency(std::chrono::milliseconds(1));
    write_tone(file("tone.wav"), 1, 44100, 441000);
    m_window->show();
    m_prompt.answer_file(file("tone.wav"));
    m_prompt.answer_yes_no(c.yes);
    CUserDuringWork user(*m_window, {});
    m_window->work_runner().installEventFilter(&user);
    QTest::mouseClick(widget<QPushButton>("m_btnDownload"), Qt::LeftButton);
    ASSERT_TRUE(
        wait_or_fail([&] { return pedal.count_commands(EPedalMode::UPDATE, kFlashWrite) > 0; }, 60000));
    EXPECT_FALSE(m_window->close());
    wait_until_idle();
    ASSERT_GE(m_prompt.shown().size(), 2u);
    EXPECT_EQ(m_prompt.shown()[1].text, "An import is running. Cancel it and close?");
    wait_or_fail([&] { return m_window->isVisible() == !c.closes; });
    EXPECT_EQ(driver().songs().is_file_exist(0), c.imported);
    EXPECT_EQ(m_prompt.shown().size(), c.boxes);
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseDuringImport,
                         ::testing::Values(SCloseCase{"Yes", true, true, false, 2},
                                           SCloseCase{"No", false, false, true, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

// The list takes the room of a larger window: at 1000 px every slot shows, the Edit Song box
// keeps its place at the right edge and the settings theirs at the bottom.
TEST_F(SongPage, AGrownWindowGivesTheListTheRoom)
{
    connect_pedal(kPulseRing, {{2, 4032 * 64}});
    m_window->show();
    m_window->resize(1000, 1000);
    wait_or_fail([&] { return m_window->height() == 1000; });
    QCoreApplication::processEvents();
    // The form's places at 704 x 595, moved or stretched by the 296 x 405 the window grew.
    EXPECT_EQ(widget<QWidget>("groupBox")->geometry(), QRect(310 + 296, 30, 341, 411));
    EXPECT_EQ(widget<QWidget>("m_comMonoMode")->geometry(), QRect(80, 450 + 405, 201 + 296, 22));
    EXPECT_EQ(widget<QWidget>("m_comLoudness")->geometry(), QRect(390 + 296, 450 + 405, 261, 22));
    EXPECT_EQ(list().geometry(), QRect(20, 40, 261 + 296, 401 + 405));
    const QRect last = list().visualItemRect(list().item(29));
    EXPECT_LE(last.bottom(), list().viewport()->height()) << last.bottom();
    EXPECT_TRUE(list().item(2)->text().endsWith("  0:01")) << list().item(2)->text().toStdString();
}

TEST_F(SongPage, NameShowsInTheLineIsEditedInPlaceAndNamesTheExport)
{
    connect_pedal(kPulseRing);
    write_tone(file("Intro jam.wav"), 1, 44100, 22050);
    m_prompt.answer_file(file("Intro jam.wav"));
    click("m_btnDownload");
    EXPECT_TRUE(lines()[0].contains(QRegularExpression("  0:0\\d  \u2212\\d+\\.\\d LUFS  Intro jam$")))
        << lines()[0].toStdString();
    EXPECT_TRUE(widget<QLabel>("m_labelFreeSpace")->toolTip().startsWith("Quietest: Song 001, \u2212"));

    const auto editor = [this] { return list().findChild<QLineEdit*>("m_editSongName"); };
    QTest::keyClick(&list(), Qt::Key_F2);
    ASSERT_TRUE(editor());
    EXPECT_EQ(editor()->text(), "Intro jam");
    editor()->setText("Encore: Part 2");
    QTest::keyClick(editor(), Qt::Key_Return);
    wait_or_fail([&] { return lines()[0].endsWith(" LUFS  Encore: Part 2"); });
    EXPECT_EQ(m_prompt.messages(), QStringList({"Successful !"}));

    // An empty slot has no song to name.
    const QRect empty = list().visualItemRect(list().item(1));
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, empty.center());
    QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, empty.center());
    EXPECT_FALSE(editor() && editor()->isVisible());

    list().setCurrentRow(0);
    m_prompt.clear();
    click("m_btnUpload");
    ASSERT_EQ(m_prompt.shown().size(), 1u);
    EXPECT_TRUE(m_prompt.shown()[0].text.endsWith("/Encore_ Part 2.wav"))
        << m_prompt.shown()[0].text.toStdString();
}

TEST_F(SongPage, SyncSetListAsksOnceWithThePlanAndNamesTheSongs)
{
    connect_pedal(kPulseRing);
    write_tone(file("a.wav"), 1, 44100, 4410);
    write_tone(file("b.wav"), 1, 44100, 4410);
    QFile set_list(file("gig.m3u"));
    ASSERT_TRUE(set_list.open(QIODevice::WriteOnly));
    set_list.write("#EXTM3U\n#EXTINF:1,Opener\na.wav\n#EXTINF:1,Closer\nb.wav\n");
    set_list.close();
    m_prompt.answer_file(file("gig.m3u"));
    m_prompt.answer_yes_no(true);
    click("m_btnSync");
    ASSERT_GE(m_prompt.shown().size(), 2u);
    EXPECT_EQ(m_prompt.shown()[1].kind, EKind::QUESTION);
    EXPECT_EQ(m_prompt.shown()[1].text.split('\n').at(1),
              "Loudness: As the file; mono: Left channel (the window's settings).");
    EXPECT_EQ(m_prompt.shown()[1].table.rows,
              (std::vector<QStringList>{{"Song 001", "write", "Opener (a.wav)", "new"},
                                        {"Song 002", "write", "Closer (b.wav)", "new"}}));
    EXPECT_TRUE(lines()[0].endsWith("  Opener")) << lines()[0].toStdString();
    EXPECT_TRUE(lines()[1].endsWith("  Closer")) << lines()[1].toStdString();
}

namespace {

struct SColumnCase {
    const char* name;
    QSize window;
    bool name_and_length_whole;
};

class SongColumns : public SongPage, public ::testing::WithParamInterface<SColumnCase> {};

}  // namespace

// Every song's line begins with its head, whole, at the smallest size; at the first-start
// size the name and the length are drawn whole too, before the loudness and the strip.
TEST_P(SongColumns, HeadAlwaysNameAndLengthAtTheFirstStartSize)
{
    connect_pedal(kPulseRing, {{2, 4032 * 64}});
    write_tone(file("Intro jam at the club.wav"), 1, 44100, 22050);
    m_prompt.answer_file(file("Intro jam at the club.wav"));
    click("m_btnDownload");
    m_window->resize(GetParam().window);
    wait_or_fail([&] { return m_window->size() == GetParam().window; });
    QCoreApplication::processEvents();
    const auto& delegate = *static_cast<CSlotLineDelegate*>(list().itemDelegate());
    QStyleOptionViewItem option;
    option.initFrom(list().viewport());
    option.widget = &list();
    option.fontMetrics = QFontMetrics(option.font);
    const int icon = list().style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, &list());
    option.decorationSize = QSize(icon, icon);
    const QFontMetrics& metrics = option.fontMetrics;
    for (int row : {0, 2}) {
        option.rect = list().visualItemRect(list().item(row));
        const QModelIndex index = list().model()->index(row, 0);
        const SSlotLineColumns at = delegate.columns(option, index);
        const QString head = index.data(CSlotLineDelegate::kHeadRole).toString();
        EXPECT_TRUE(list().item(row)->text().startsWith(head));
        EXPECT_EQ(at.head.left(), option.rect.left());
        EXPECT_GE(at.head.width(), icon + metrics.horizontalAdvance(head)) << row;
        if (!GetParam().name_and_length_whole)
            continue;
        const QString name = index.data(CSlotLineDelegate::kNameRole).toString();
        EXPECT_GE(at.name.width(), metrics.horizontalAdvance(name)) << row;
        EXPECT_GE(at.length.width(),
                  metrics.horizontalAdvance(index.data(CSlotLineDelegate::kLengthRole).toString()))
            << row;
        EXPECT_LE(at.length.right(), option.rect.right());
    }
    EXPECT_EQ(list().model()->index(0, 0).data(CSlotLineDelegate::kNameRole).toString(),
              "Intro jam at the club");
}

INSTANTIATE_TEST_SUITE_P(Sizes, SongColumns,
                         ::testing::Values(SColumnCase{"Smallest", QSize(704, 595), false},
                                           SColumnCase{"FirstStart", QSize(1100, 760), true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The overwrite question names the song that goes as the musician knows it and, before
// anything is written, says that the new file is cut short.
TEST_F(SongPage, OverwriteQuestionNamesTheSongAndACutFile)
{
    connect_pedal(kPulseRing);
    write_tone(file("Intro jam.wav"), 1, 44100, 88200);
    m_prompt.answer_file(file("Intro jam.wav"));
    click("m_btnDownload");
    // A download cut at half of its two seconds.
    write_tone(file("cut.wav"), 1, 44100, 88200);
    QFile cut(file("cut.wav"));
    ASSERT_TRUE(cut.resize(44 + 88200));
    m_prompt.clear();
    m_prompt.answer_file(file("cut.wav"));
    m_prompt.answer_yes_no(false);
    click("m_btnDownload");
    ASSERT_EQ(m_prompt.shown().size(), 2u);
    EXPECT_EQ(m_prompt.shown()[1].text.split('\n').mid(1),
              QStringList({"Intro jam \u00b7 0:02", "The file ends at 0:01 of the 0:02 its header gives."}));
    EXPECT_EQ(list().item(0)->data(CSlotLineDelegate::kNameRole).toString(), "Intro jam");
}

// Two songs named alike and one without a name, selected together, go into the chosen
// folder under their names, the second of the pair with " (2)"; one question covers the
// file that was there.
TEST_F(SongPage, SeveralSelectedSongsExportIntoAFolderUnderTheirNames)
{
    connect_pedal(kPulseRing, {{2, 4032 * 64}});
    write_tone(file("Jam.wav"), 1, 44100, 22050);
    for (int slot : {0, 1}) {
        list().setCurrentRow(slot);
        m_prompt.answer_file(file("Jam.wav"));
        click("m_btnDownload");
    }
    QDir(m_files.path()).mkdir("out");
    const QString out = m_files.filePath("out");
    QFile existing(out + "/Jam.wav");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    list().clearSelection();
    EXPECT_FALSE(widget<QPushButton>("m_btnUpload")->isEnabled());
    for (int slot : {0, 1, 2})
        list().item(slot)->setSelected(true);
    EXPECT_TRUE(widget<QPushButton>("m_btnUpload")->isEnabled());
    m_prompt.clear();
    m_prompt.answer_file(out);
    m_prompt.answer_yes_no(true);
    click("m_btnUpload");
    wait_until_idle();
    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList({"Jam (2).wav", "Jam.wav", "Song 003.wav"}));
    EXPECT_GT(QFileInfo(out + "/Jam.wav").size(), 44);
    ASSERT_GE(m_prompt.shown().size(), 2u);
    EXPECT_EQ(m_prompt.shown()[1].text, "These files already exist, continue to overwrite them?\nJam.wav");
}

TEST_F(SongPage, SeveralSelectedSongsAreDeletedAfterOneQuestionNamingThem)
{
    connect_pedal(kPulseRing, {{0, 4032 * 64}, {2, 4032 * 64}});
    list().item(0)->setSelected(true);
    list().item(2)->setSelected(true);
    m_prompt.answer_yes_no(true);
    click("m_btnDelete");
    wait_until_idle();
    ASSERT_GE(m_prompt.shown().size(), 1u);
    EXPECT_EQ(m_prompt.shown()[0].text,
              "Continue to delete these songs?\nSong 001 \u00b7 0:01\nSong 003 \u00b7 0:01");
    EXPECT_EQ(lines()[0], empty_line(0));
    EXPECT_EQ(lines()[2], empty_line(2));
}
