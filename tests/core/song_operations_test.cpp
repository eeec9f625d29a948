#include "core/song_commands/song_operations.h"
#include "core_pedal.h"

#include "audio/song_loudness.h"
#include "audio/song_stream.h"
#include "audio/wave.h"
#include "core/questions.h"
#include "device/model_info.h"
#include "support/little_endian.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

// 16-bit PCM at `rate`, one sine per channel given by its amplitude (0: silence).
void write_sine(const QString& path, unsigned int rate, unsigned int frames, std::vector<double> amplitudes)
{
    const auto channels = static_cast<unsigned short>(amplitudes.size());
    std::vector<int16_t> samples(size_t{frames} * channels);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(amplitudes[i % channels] *
                                          std::sin(2 * M_PI * 440.0 * double(i / channels) / rate));
    CWave wave;
    wave.BuildFormat(channels, rate, 16);
    wave.SetBuffer(samples.data(), frames, true);
    ASSERT_TRUE(wave.Save(path));
}

void write_text(const QString& path)
{
    QFile text(path);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are not samples");
}

// The header of an hour of 44100 Hz 16-bit mono; the file is made that long without
// writing its silence, so it costs no time (and no disk where files may be sparse).
void write_hour_header(const QString& path)
{
    const uint32_t data_bytes = 3600u * 44100u * 2u;
    unsigned char header[44];
    std::copy_n("RIFF", 4, header);
    LE::write32(header + 4, 36 + data_bytes);
    std::copy_n("WAVEfmt ", 8, header + 8);
    LE::write32(header + 16, 16);
    LE::write16(header + 20, 1);
    LE::write16(header + 22, 1);
    LE::write32(header + 24, 44100);
    LE::write32(header + 28, 88200);
    LE::write16(header + 32, 2);
    LE::write16(header + 34, 16);
    std::copy_n("data", 4, header + 36);
    LE::write32(header + 40, data_bytes);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(reinterpret_cast<const char*>(header), 44), 44);
    ASSERT_TRUE(file.resize(44 + qint64{data_bytes}));
}

void write_one_frame(const QString& path)
{
    write_sine(path, 44100, 1, {8000});
}

void write_two_minutes(const QString& path)
{
    write_sine(path, 8000, 120 * 8000, {8000});
}

// The largest sample of a song of 24-bit samples.
int peak(const std::vector<unsigned char>& song)
{
    int largest = 0;
    for (size_t at = 0; at + 3 <= song.size(); at += 3) {
        const auto sample = static_cast<int32_t>(LE::read24(&song[at]) << 8) >> 8;
        largest = std::max(largest, std::abs(sample));
    }
    return largest;
}

class SongOperations : public CorePedal {
protected:
    void SetUp() override { connect(kPulseRing); }
    // An old song in slot 0 and a longer tone to import over it.
    std::vector<unsigned char> store_old_song()
    {
        write_tone(file("old.wav"), 20000);
        EXPECT_TRUE(import_song_unasked(m_session, file("old.wav"), 0, SImportSettings{}, nullptr).ok());
        EXPECT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
        write_tone(file("new.wav"), 300000);
        return stored_song(0);
    }
    QByteArray read_file(const QString& path) const
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
};

}  // namespace

TEST_F(SongOperations, ImportExportAndDeleteRunWithoutAWindow)
{
    write_tone(file("tone.wav"), 44100);
    const COperationResult imported =
        import_song_unasked(m_session, file("tone.wav"), 2, SImportSettings{}, nullptr);
    EXPECT_TRUE(imported.ok());
    EXPECT_EQ(imported.text(), "Successful !");
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_TRUE(m_session.slot_holds_song(2));

    const COperationResult exported = export_song(m_session, 2, file("out.wav"), nullptr);
    EXPECT_TRUE(exported.ok());
    CWave wave;
    ASSERT_TRUE(wave.Load(file("out.wav")));
    EXPECT_EQ(wave.GetFormat().nSamplesPerSec, 48000u);
    EXPECT_EQ(wave.GetFormat().wBitsPerSample, 24);

    EXPECT_TRUE(delete_song(m_session, 2, m_yes).ok());
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_FALSE(m_session.slot_holds_song(2));
    EXPECT_TRUE(m_session.take_notes().isEmpty());
}

// An import and a delete leave the store as the pedal is: a load afterwards finds the same
// slots and free space, so the front ends only show them anew.
TEST_F(SongOperations, ImportAndDeleteLeaveTheStoreAsALoadFindsIt)
{
    const auto expect_as_loaded = [this](bool holds_song) {
        const uint64_t free_bytes = m_session.free_song_bytes();
        EXPECT_EQ(m_session.slot_holds_song(2), holds_song);
        ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
        EXPECT_EQ(m_session.free_song_bytes(), free_bytes);
        EXPECT_EQ(m_session.slot_holds_song(2), holds_song);
    };
    write_tone(file("tone.wav"), 44100);
    ASSERT_TRUE(import_song_unasked(m_session, file("tone.wav"), 2, SImportSettings{}, nullptr).ok());
    expect_as_loaded(true);
    ASSERT_TRUE(delete_song(m_session, 2, m_yes).ok());
    expect_as_loaded(false);
}

// A file cut short goes in as far as it goes, and the result's second line says so.
TEST_F(SongOperations, FileShorterThanItsHeaderIsImportedWithALine)
{
    write_sine(file("cut.wav"), 8000, 80000, {8000});
    QFile cut(file("cut.wav"));
    ASSERT_TRUE(cut.resize(44 + 80000));
    const COperationResult imported =
        import_song_unasked(m_session, file("cut.wav"), 2, SImportSettings{}, nullptr);
    EXPECT_TRUE(imported.ok());
    EXPECT_EQ(imported.text(), "Successful !");
    EXPECT_EQ(imported.detail(), "The file ends at 0:05 of the 0:10 its header gives.");
}

class ImportCancel : public SongOperations, public ::testing::WithParamInterface<int> {};

// Cancelled while the file converts (the first steps) and while it is written: the old
// song stays, and the pedal hears nothing more.
TEST_P(ImportCancel, KeepsTheOldSongAndSendsNothingAfterTheCancel)
{
    const std::vector<unsigned char> old_song = store_old_song();
    CTask task;
    CCancelAtStep cancel(task, *m_pedal, GetParam());
    const COperationResult result =
        import_song_unasked(m_session, file("new.wav"), 0, SImportSettings{}, &task);
    m_pedal->wait_until_idle();
    ASSERT_GE(cancel.steps, GetParam());
    EXPECT_EQ(result.kind(), COperationResult::EKind::CANCELLED);
    EXPECT_EQ(result.text(), "Cancelled !");
    EXPECT_EQ(command_count(), cancel.commands_at_cancel);
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_EQ(stored_song(0), old_song);
}

INSTANTIATE_TEST_SUITE_P(Steps, ImportCancel, ::testing::Values(1, 3, 8, 40));

class ExportCancel : public SongOperations, public ::testing::WithParamInterface<int> {};

// A file that was there keeps its bytes; a file that was not is not created.
TEST_P(ExportCancel, LeavesTheFileAsItWas)
{
    store_old_song();
    QFile existing(file("existing.wav"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    for (const QString& name : {QStringLiteral("existing.wav"), QStringLiteral("fresh.wav")}) {
        SCOPED_TRACE(name.toStdString());
        CTask task;
        CCancelAtStep cancel(task, *m_pedal, GetParam());
        const COperationResult result = export_song(m_session, 0, file(name), &task);
        m_pedal->wait_until_idle();
        EXPECT_EQ(result.kind(), COperationResult::EKind::CANCELLED);
        EXPECT_EQ(command_count(), cancel.commands_at_cancel);
    }
    EXPECT_EQ(read_file(file("existing.wav")), "keep me");
    EXPECT_FALSE(QFileInfo::exists(file("fresh.wav")));
    EXPECT_TRUE(QDir(m_files.path()).entryList({"*.wav.*", ".*.wav*"}, QDir::Files | QDir::Hidden).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Steps, ExportCancel, ::testing::Values(1, 2));

TEST_F(SongOperations, FailedExportOverAFileLeavesItByteIdentical)
{
    store_old_song();
    QFile existing(file("existing.wav"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write(QByteArray(4096, '\x5A'));
    existing.close();
    m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::WRONG_ADDRESS, 0x23, 2));
    EXPECT_FALSE(export_song(m_session, 0, file("existing.wav"), nullptr).ok());
    EXPECT_EQ(read_file(file("existing.wav")), QByteArray(4096, '\x5A'));
}

TEST_F(SongOperations, FailedExportSaysTheSystemsReason)
{
    store_old_song();
    ASSERT_TRUE(QDir(m_files.path()).mkdir("folder"));
    for (const auto& [path, reason] : {std::pair{"gone/out.wav", ENOENT}, std::pair{"folder", EISDIR}}) {
        const COperationResult result = export_song(m_session, 0, file(path), nullptr);
        EXPECT_EQ(result.text(), QString("Open file '%1' failed, it may be occupied by other process")
                                     .arg(QFileInfo(path).fileName()));
        EXPECT_EQ(result.detail(), qt_error_string(reason));
    }
}

struct SOverwrite {
    const char* name;
    bool audio;  // the file converts; otherwise it is refused before any question
    bool yes;
    COperationResult::EKind kind;
    bool replaced;
};

void PrintTo(const SOverwrite& c, std::ostream* os)
{
    *os << c.name;
}

class OverwriteQuestion : public SongOperations, public ::testing::WithParamInterface<SOverwrite> {};

// The question names the song it replaces, and comes only once the file has converted.
TEST_P(OverwriteQuestion, IsAskedAfterTheFileIsCheckedAndDecidesTheImport)
{
    const SOverwrite& c = GetParam();
    const std::vector<unsigned char> old_song = store_old_song();
    const QString line = m_session.songs().get_name(0);
    const QString path = c.audio ? file("new.wav") : file("notes.wav");
    if (!c.audio)
        write_text(path);
    CScriptedQuestions user;
    user.answer(c.yes);
    user.plays = true;
    m_pedal->clear_command_log();
    const COperationResult result = import_song(m_session, path, 0, SImportSettings{}, nullptr, false, user);
    EXPECT_EQ(result.kind(), c.kind);
    // The question's first line; the song's name follows it (the window's tests show it).
    EXPECT_EQ(user.asked.isEmpty() ? QString() : user.asked.front().section('\n', 0, 0),
              c.audio ? "'" + line + "' already exist, continue to overwrite the song?" : QString());
    EXPECT_LE(user.asked.size(), 1);
    EXPECT_EQ(stored_song(0) != old_song, c.replaced);
    // The question's Play gets the song as the pedal then holds it, made for the question.
    ASSERT_EQ(user.played != nullptr, c.audio);
    if (c.replaced) {
        const std::vector<unsigned char> stored = stored_song(0);
        ASSERT_TRUE(user.played->whole());
        ASSERT_LE(stored.size(), user.played->length());
        EXPECT_TRUE(std::equal(stored.begin(), stored.end(), user.played->data()));
    }
    if (!c.replaced) {
        EXPECT_TRUE(update_commands(*m_pedal, kWrite).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OverwriteQuestion,
    ::testing::Values(SOverwrite{"Yes", true, true, COperationResult::EKind::SONG, true},
                      SOverwrite{"No", true, false, COperationResult::EKind::DECLINED, false},
                      SOverwrite{"RefusedFile", false, true, COperationResult::EKind::AUDIO, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Several files: a refused file over a song asks nothing; a No stops before the file that
// asked.
TEST_F(SongOperations, SeveralFilesAskOnceAFileThatReplacesASongHasPassed)
{
    const std::vector<unsigned char> old_song = store_old_song();
    write_text(file("notes.wav"));
    CScriptedQuestions user;
    std::vector<COperationResult> results = import_songs(m_session, {file("notes.wav"), file("new.wav")}, 0,
                                                         SImportSettings{}, nullptr, false, user);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].kind(), COperationResult::EKind::AUDIO);
    EXPECT_TRUE(results[1].ok());
    EXPECT_TRUE(user.asked.isEmpty());

    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    results = import_songs(m_session, {file("new.wav"), file("new.wav")}, 0, SImportSettings{}, nullptr,
                           false, user);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].kind(), COperationResult::EKind::DECLINED);
    EXPECT_EQ(user.asked.size(), 1);
    EXPECT_EQ(stored_song(0), old_song);
}

// Among several files, one cut short is named in the one question when it is the file that
// asks, and asked about on its own when it comes after the question.
TEST_F(SongOperations, SeveralFilesTellACutFileBeforeItsSongGoes)
{
    write_sine(file("cut.wav"), 8000, 80000, {8000});
    QFile cut(file("cut.wav"));
    ASSERT_TRUE(cut.resize(44 + 80000));
    write_tone(file("whole.wav"), 20000);
    for (const bool cut_first : {true, false}) {
        SCOPED_TRACE(cut_first);
        for (const int slot : {0, 1})
            ASSERT_TRUE(
                import_song_unasked(m_session, file("whole.wav"), slot, SImportSettings{}, nullptr).ok());
        const QStringList paths = cut_first ? QStringList{file("cut.wav"), file("whole.wav")}
                                            : QStringList{file("whole.wav"), file("cut.wav")};
        CScriptedQuestions user(true);
        const std::vector<COperationResult> results =
            import_songs(m_session, paths, 0, SImportSettings{}, nullptr, false, user);
        ASSERT_EQ(results.size(), 2u);
        EXPECT_TRUE(results[1].ok());
        ASSERT_EQ(user.asked.size(), cut_first ? 1 : 2);
        EXPECT_EQ(user.asked.front().contains("cut.wav"), cut_first);
        EXPECT_TRUE(
            user.asked.back().endsWith("\ncut.wav: The file ends at 0:05 of the 0:10 its header gives."))
            << user.asked.back().toStdString();
    }
}

TEST_F(SongOperations, DeleteAnsweredNoKeepsTheSong)
{
    store_old_song();
    CScriptedQuestions user;
    EXPECT_EQ(delete_song(m_session, 0, user).kind(), COperationResult::EKind::DECLINED);
    ASSERT_EQ(user.asked.size(), 1);
    EXPECT_EQ(user.asked.front().section('\n', 0, 0),
              "Continue to delete song '" + m_session.songs().get_name(0) + "' ?");
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_TRUE(m_session.slot_holds_song(0));
}

// A bad reply met on the way is the first thing the user is told, then the result.
TEST_F(SongOperations, BadRepliesComeBeforeTheResultAndAreToldOnce)
{
    store_old_song();
    m_pedal->add_fault(SPedalFault::update(EPedalFaultKind::SHORT_REPLY, 0x23, 2));
    const COperationResult result = m_session.with_notes(export_song(m_session, 0, file("out.wav"), nullptr));
    EXPECT_FALSE(result.ok());
    ASSERT_EQ(result.notes().size(), 1);
    EXPECT_TRUE(result.notes()[0].startsWith("Data length error,need ")) << result.notes()[0].toStdString();
    EXPECT_TRUE(m_session.take_notes().isEmpty());
}

struct SRefusal {
    const char* file;
    void (*make)(const QString& path);
    unsigned int full_slots;  // slots whose songs take their whole chain, before the import
    const char* text;
    const char* detail;
};

class ImportRefusal : public SongOperations, public ::testing::WithParamInterface<SRefusal> {};

// No box from below the front end, no flash changed, and numbers a musician can use.
TEST_P(ImportRefusal, SaysWhyAndWritesNothing)
{
    const SRefusal& refusal = GetParam();
    store_full_song_records(*m_pedal, *get_model_info(kPulseRing)->nand, refusal.full_slots);
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    refusal.make(file(refusal.file));
    m_pedal->clear_command_log();
    const COperationResult result =
        import_song_unasked(m_session, file(refusal.file), 20, SImportSettings{}, nullptr);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.text(), refusal.text);
    EXPECT_EQ(result.detail(), refusal.detail);
    EXPECT_TRUE(update_commands(*m_pedal, kErase).empty());
    EXPECT_TRUE(update_commands(*m_pedal, kWrite).empty());
    EXPECT_TRUE(m_session.take_notes().isEmpty());
    EXPECT_FALSE(m_session.slot_holds_song(20));
}

// Twelve whole chains leave 50 of 1970 blocks: 12902400 bytes. Two minutes of song
// (16875000 bytes) take 66 blocks.
INSTANTIATE_TEST_SUITE_P(
    Files, ImportRefusal,
    ::testing::Values(SRefusal{"notes.wav", write_text, 0,
                               "notes.wav is not an audio file Tandora can read. Tandora reads WAV, AIFF, "
                               "FLAC, OGG, Opus and MP3 files.",
                               ""},
                      SRefusal{"hour.wav", write_hour_header, 0, "File too large!",
                               "This slot holds at most 4:53; the file is 1:00:00."},
                      SRefusal{"two minutes.wav", write_two_minutes, 12, "Space not enough!",
                               "Free: 1:31 (12.3 MB); the song needs 2:01 (16.2 MB)."},
                      SRefusal{"one frame.wav", write_one_frame, 0, "File too short!", ""}));

// A guitar panned hard right: silence from the left channel, half its level in the mix.
TEST_F(SongOperations, MonoPedalTakesTheLeftChannelOrTheMixOfBoth)
{
    write_sine(file("right.wav"), 44100, 44100, {0, 8000});
    ASSERT_TRUE(import_song_unasked(m_session, file("right.wav"), 0, SImportSettings{}, nullptr).ok());
    ASSERT_TRUE(
        import_song_unasked(m_session, file("right.wav"), 1, SImportSettings{EMonoMode::MIX}, nullptr).ok());
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    const std::vector<unsigned char> left = stored_song(0);
    const std::vector<unsigned char> mix = stored_song(1);
    ASSERT_EQ(left.size(), mix.size());
    EXPECT_EQ(peak(left), 0);
    EXPECT_NEAR(peak(mix), 4000 * 256, 4000 * 256 / 20);
}

// The loudness is measured on what the pedal gets: the mix of a file panned hard right,
// whose left channel is silence.
TEST_F(SongOperations, LoudnessSettingNormalisesTheMonoChoice)
{
    write_sine(file("right.wav"), 44100, 44100, {0, 8000});
    const COperationResult result = import_song_unasked(m_session, file("right.wav"), 0,
                                                        {EMonoMode::MIX, ELoudnessTarget::LUFS_23}, nullptr);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.detail(), "");
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    const std::vector<unsigned char> song = stored_song(0);
    EXPECT_NEAR(measure_song(song.data(), song.size(), 1).value_or(SLoudness{}).integrated_lufs, -23.0, 0.1);
}

class NonAsciiName : public SongOperations, public ::testing::WithParamInterface<const char*> {};

// The names are given to the file system as UTF-8 bytes, as a file manager on Linux or
// macOS does, whatever the locale.
TEST_P(NonAsciiName, ImportsAndExports)
{
    const QString name = QString::fromUtf8(GetParam());
    write_sine(file("ascii.wav"), 44100, 4410, {8000});
    ASSERT_EQ(std::rename(file("ascii.wav").toUtf8().constData(), file(name + ".wav").toUtf8().constData()),
              0);
    ASSERT_TRUE(import_song_unasked(m_session, file(name + ".wav"), 0, SImportSettings{}, nullptr).ok());
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    ASSERT_TRUE(export_song(m_session, 0, file(name + " out.wav"), nullptr).ok());
    std::FILE* exported = std::fopen(file(name + " out.wav").toUtf8().constData(), "rb");
    ASSERT_NE(exported, nullptr);
    char head[4] = {};
    EXPECT_EQ(std::fread(head, 1, 4, exported), 4u);
    std::fclose(exported);
    EXPECT_EQ(QByteArray(head, 4), "RIFF");
}

INSTANTIATE_TEST_SUITE_P(Names, NonAsciiName, ::testing::Values("Caf\u00e9", "\u65e5\u672c\u8a9e"));

// Cancelled as the second file begins: the first is in, the others are not begun.
TEST_F(SongOperations, SeveralFilesFillTheSlotsInTurnAndStopBetweenFiles)
{
    const QStringList paths{file("a.wav"), file("b.wav"), file("c.wav")};
    for (const QString& path : paths)
        write_tone(path, 20000);
    CTask task;
    task.set_listener([&task] {
        if (task.progress().part == 2)
            task.cancel();
    });
    const std::vector<COperationResult> results =
        import_songs(m_session, paths, 27, SImportSettings{}, &task, false, m_yes);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0].ok());
    EXPECT_EQ(results[1].kind(), COperationResult::EKind::CANCELLED);
    EXPECT_EQ(results[2].kind(), COperationResult::EKind::CANCELLED);
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_TRUE(m_session.slot_holds_song(27));
    EXPECT_FALSE(m_session.slot_holds_song(28));
    EXPECT_FALSE(m_session.slot_holds_song(29));
}

namespace {

// Says yes after thinking 5 s, on a task clock that jumps ahead by them instead of waiting.
class CFiveSecondYes final : public CQuestions {
public:
    explicit CFiveSecondYes(CTask& task)
    {
        task.set_clock([this] { return clock::now() + m_thought.load(); });
    }
    bool ask_yes_no(const QString&, const QString&) override
    {
        m_thought = std::chrono::seconds(5);
        answered = clock::now();
        return true;
    }
    using clock = std::chrono::steady_clock;
    clock::time_point answered;

private:
    std::atomic<clock::duration> m_thought{};
};

}  // namespace

// The rate told at the end is the link's, timed on the host's clock from the answer to the
// last byte over the realistic link: the 5 s the question stayed open are not in it.
TEST_F(SongOperations, RateCountsFromTheFirstByteNotFromTheQuestion)
{
    store_old_song();
    m_pedal->set_timing(SPedalTiming::realistic());
    CTask task;
    CFiveSecondYes user(task);
    STaskProgress told;
    CFiveSecondYes::clock::time_point last_byte;
    task.set_listener([&] {
        if (task.progress().bytes_done > told.bytes_done) {
            told = task.progress();
            last_byte = CFiveSecondYes::clock::now();
        }
    });
    ASSERT_TRUE(import_song(m_session, file("new.wav"), 0, SImportSettings{}, &task, false, user).ok());
    ASSERT_TRUE(told.bytes_done > 0 && told.bytes_done == told.bytes_total);
    const double link_rate =
        told.bytes_done / std::chrono::duration<double>(last_byte - user.answered).count();
    EXPECT_NEAR(told.bytes_done / told.transfer_seconds / link_rate, 1.0, 0.1);
}
