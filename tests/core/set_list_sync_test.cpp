#include "core/set_list/set_list_sync.h"
#include "audio/song_converter.h"
#include "backup_pedal.h"
#include "core/set_list/set_list.h"
#include "core/set_list/sync_plan.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_records.h"
#include "library/song_name.h"
#include "support/slot_song_name.h"

#include <sys/stat.h>
#include <QDir>

namespace {

class SetListSync : public PedalBackup {
protected:
    // Tones of different lengths, so each file has its own SHA-256.
    QString list_of(const QStringList& names, const QString& list_name = "gig.m3u")
    {
        QByteArray text;
        for (int i = 0; i < names.size(); ++i) {
            write_tone(file(names[i]), 11025 * unsigned(i + 1));
            text += names[i].toUtf8() + '\n';
        }
        write_all(file(list_name), text);
        return file(list_name);
    }
    COperationResult sync(const QString& list, bool delete_extra = false, CTask* task = nullptr)
    {
        SSyncOptions options;
        options.delete_extra = delete_extra;
        const COperationResult result = sync_set_list(m_session, list, options, m_yes, task);
        m_pedal->wait_until_idle();
        return result;
    }
    SSyncPlan plan(const QString& list, bool delete_extra = false)
    {
        QString why;
        const auto songs = read_set_list(list, 1, why);
        EXPECT_TRUE(songs) << why.toStdString();
        return plan_sync(m_session, songs.value_or(std::vector<SSetListSong>{}), {}, delete_extra, nullptr);
    }
    QStringList fingerprints()
    {
        QStringList prints;
        for (unsigned slot = 0; slot < 4; ++slot)
            prints << m_session.slot_fingerprint(int(slot));
        return prints;
    }
};

}  // namespace

TEST_F(SetListSync, SecondSyncWritesNothingAndAChangedFileRewritesOnlyItsSlot)
{
    const QString list = list_of({"a.wav", "b.wav", "c.wav"});
    const COperationResult first = sync(list);
    ASSERT_TRUE(first.ok()) << first.detail().toStdString();
    EXPECT_EQ(first.text(), "Set list synced: 3 of 3 slots written.");
    EXPECT_EQ(known_name(m_session, 1), "b");
    const QStringList synced = fingerprints();

    m_pedal->clear_command_log();
    EXPECT_EQ(sync(list).text(), "Every song of the set list is up to date.");
    EXPECT_EQ(flash_changes(), 0u);

    write_tone(file("b.wav"), 4000);
    EXPECT_EQ(plan(list).lines(),
              QStringList({"up to date Song 001: a (a.wav)", "write Song 002: b (b.wav) [the file changed]",
                           "up to date Song 003: c (c.wav)",
                           "Writing 0.0 MB takes about 0:00, estimated from the link's typical speed."}));
    ASSERT_TRUE(sync(list).ok());
    const QStringList after = fingerprints();
    EXPECT_EQ(after[0], synced[0]);
    EXPECT_NE(after[1], synced[1]);
    EXPECT_EQ(after[2], synced[2]);
}

// The songs go to their new slots by their records, their names with them.
TEST_F(SetListSync, ReorderedListPlansOnlyMovesAndWritesNoAudioPage)
{
    ASSERT_TRUE(sync(list_of({"a.wav", "b.wav", "c.wav"})).ok());
    write_all(file("reversed.m3u"), "c.wav\nb.wav\na.wav\n");
    EXPECT_EQ(plan(file("reversed.m3u")).lines(),
              QStringList({"move Song 001: c (c.wav) from Song 003 [moved]", "up to date Song 002: b (b.wav)",
                           "move Song 003: a (a.wav) from Song 001 [moved]",
                           "Nothing to write. Moving 2 songs takes about 0:01."}));
    m_pedal->clear_command_log();
    const COperationResult reordered = sync(file("reversed.m3u"));
    ASSERT_TRUE(reordered.ok()) << reordered.detail().toStdString();
    EXPECT_EQ(audio_page_commands(), 0u);
    EXPECT_EQ(known_name(m_session, 0), "c");
    EXPECT_EQ(sync(file("reversed.m3u")).text(), "Every song of the set list is up to date.");
}

// Each write says why, in the plan's table as in its lines; the plan names its settings and
// where they come from.
TEST_F(SetListSync, PlanSaysWhyEachSlotIsWrittenAndWithWhichSettings)
{
    store({{1, noise(5000, 1)}});
    const QString list = list_of({"a.wav", "b.wav"});
    const SQuestionTable table = plan(list).table();
    EXPECT_EQ(table.headings, QStringList({"Slot", "Action", "Song", "Why"}));
    EXPECT_EQ(table.rows,
              (std::vector<QStringList>{{"Song 001", "write", "a (a.wav)", "new"},
                                        {"Song 002", "write", "b (b.wav)", "another song was in the slot"}}));
    ASSERT_TRUE(sync(list).ok());

    SSyncOptions options;
    options.settings.loudness = ELoudnessTarget::LUFS_16;
    options.settings_origin = ESettingsOrigin::WINDOW;
    EXPECT_EQ(plan_set_list_sync(m_session, list, options, nullptr).detail().split('\n').mid(0, 3),
              QStringList({"Loudness: \u221216 LUFS; mono: Left channel (the window's settings).",
                           "write Song 001: a (a.wav) [another loudness or mono setting]",
                           "write Song 002: b (b.wav) [another loudness or mono setting]"}));
}

TEST_F(SetListSync, SongsPastTheListAreKeptOrDeletedAsAsked)
{
    for (const bool delete_extra : {false, true}) {
        SCOPED_TRACE(delete_extra);
        store({{3, noise(5000, 1)}});
        const QString list = list_of({"a.wav", "b.wav"});
        EXPECT_EQ(plan(list, delete_extra).lines().at(2), delete_extra ? "delete Song 004" : "keep Song 004");
        ASSERT_TRUE(sync(list, delete_extra).ok());
        EXPECT_EQ(m_session.slot_holds_song(3), !delete_extra);
    }
}

// 1 block of 1970 stays free: the first song takes it, so the second is refused, and
// neither is written.
TEST_F(SetListSync, ListThatDoesNotFitSaysWhichSongsAndWritesNothing)
{
    for (unsigned slot = 10; slot < 22; ++slot)
        claim_blocks(slot, uint16_t((slot - 10) * 160), 160);
    claim_blocks(22, 1920, 49);
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    m_pedal->clear_command_log();

    const COperationResult result = sync(list_of({"a.wav", "b.wav"}));
    EXPECT_EQ(result.text(), "The set list cannot be synced; nothing was written.");
    EXPECT_EQ(result.detail(), "Song 002 (b) does not fit: it needs 1 blocks, 0 are free by then.");
    EXPECT_EQ(flash_changes(), 0u);
}

// Wherever the cancel lands, each slot holds its old song or its planned one, and the
// result says which.
TEST_F(SetListSync, CancelLeavesEverySlotOldOrPlannedAndSaysWhich)
{
    const QString list = list_of({"a.wav", "b.wav", "c.wav"});
    const SSyncPlan planned = plan(list);
    int steps = 0;
    {
        store({{0, noise(5000, 1)}, {1, noise(6000, 2)}, {2, noise(7000, 3)}});
        CTask counting;
        counting.set_listener([&] { ++steps; });
        ASSERT_TRUE(run_sync(m_session, planned, {}, &counting).ok());
    }
    for (const int percent : {1, 30, 50, 70, 99}) {
        SCOPED_TRACE(percent);
        store({{0, noise(5000, 1)}, {1, noise(6000, 2)}, {2, noise(7000, 3)}});
        const Songs old = stored_songs();
        CTask task;
        CCancelAtStep cancel(task, *m_pedal, std::max(1, steps * percent / 100));
        const COperationResult result = run_sync(m_session, plan(list), {}, &task);
        m_pedal->wait_until_idle();
        ASSERT_EQ(result.kind(), COperationResult::EKind::CANCELLED);
        ASSERT_TRUE(loads());
        for (unsigned slot = 0; slot < 3; ++slot) {
            const bool as_old = stored_song(slot) == old.at(slot);
            const std::optional<SLibrarySong> known = known_song(m_session, int(slot));
            EXPECT_TRUE(as_old || (known && known->source_path == planned.steps[slot].path)) << slot;
            EXPECT_TRUE(
                result.detail().contains(slot_song_name(slot) + (as_old ? ": as it was" : ": written")))
                << result.detail().toStdString();
        }
    }
}

// A write takes what the plan's check learned of its file and reads it once more, storing
// what an import stores; a file changed since the plan is imported afresh, as it is now.
TEST_F(SetListSync, WriteTakesThePlansCheckUnlessTheFileChangedSince)
{
    const SImportSettings normalised{EMonoMode::LEFT, ELoudnessTarget::LUFS_16};
    const QString list = list_of({"a.wav", "b.wav"});
    QString why;
    const SSyncPlan planned = plan_sync(m_session, *read_set_list(list, 1, why), normalised, false, nullptr);
    write_tone(file("b.wav"), 4000);
    const uint64_t before = conversions_begun();
    ASSERT_TRUE(run_sync(m_session, planned, normalised, nullptr).ok());
    EXPECT_EQ(conversions_begun() - before, 1u + 2u);
    for (const unsigned slot : {0u, 1u}) {
        SCOPED_TRACE(slot);
        ASSERT_TRUE(
            import_song_unasked(m_session, planned.steps[slot].path, int(slot + 2), normalised, nullptr)
                .ok());
        EXPECT_TRUE(stored_song(slot) == stored_song(slot + 2));
        const std::optional<SLibrarySong> synced = known_song(m_session, int(slot));
        const std::optional<SLibrarySong> imported = known_song(m_session, int(slot + 2));
        ASSERT_TRUE(synced && imported);
        EXPECT_EQ(synced->source_sha256, imported->source_sha256);
        EXPECT_EQ(synced->gain_db, imported->gain_db);
        EXPECT_EQ(synced->loudness_lufs, imported->loudness_lufs);
    }
}

// One bar for the whole plan: its total stays the plan's and it never goes back.
TEST_F(SetListSync, BarCoversTheWholePlan)
{
    const SSyncPlan planned = plan(list_of({"a.wav", "b.wav", "c.wav"}));
    CTask task;
    STaskProgress last;
    task.set_listener([&] {
        const STaskProgress progress = task.progress();
        EXPECT_EQ(progress.bytes_total, planned.write_bytes());
        EXPECT_GE(progress.percent, last.percent) << "part " << progress.part;
        last = progress;
    });
    ASSERT_TRUE(run_sync(m_session, planned, {}, &task).ok());
    EXPECT_EQ(last.percent, 100);
    EXPECT_EQ(last.bytes_done, planned.write_bytes());
}

TEST_F(SetListSync, PlayListTitlesAndFolderOrderGiveNamesAndSlots)
{
    QDir(m_files.path()).mkpath("lists/set");
    write_tone(file("lists/set/Zed.wav"), 11025);
    write_tone(file("lists/set/alpha.wav"), 22050);
    write_all(file("lists/set/notes.txt"), "not a song");
    write_all(file("lists/gig.m3u8"),
              "\xEF\xBB\xBF#EXTM3U\n#EXTINF:95,Opener – live\nset/Zed.wav\n#SLOT 5\n"
              "../lists/set/alpha.wav\n");
    QString why;
    const auto listed = read_set_list(file("lists/gig.m3u8"), 2, why);
    ASSERT_TRUE(listed) << why.toStdString();
    ASSERT_EQ(listed->size(), 2u);
    EXPECT_EQ(listed->at(0).path, file("lists/set/Zed.wav"));
    EXPECT_EQ(listed->at(1).path, file("lists/set/alpha.wav"));
    EXPECT_EQ(listed->at(0).slot, 1u);
    EXPECT_EQ(listed->at(1).slot, 5u);

    const COperationResult synced = sync(file("lists/gig.m3u8"));
    ASSERT_TRUE(synced.ok()) << synced.detail().toStdString();
    EXPECT_EQ(known_name(m_session, 0), "Opener – live");
    EXPECT_EQ(known_name(m_session, 4), "alpha");

    const auto folder = read_set_list(file("lists/set"), 1, why);
    ASSERT_TRUE(folder);
    ASSERT_EQ(folder->size(), 2u);
    EXPECT_EQ(folder->at(0).path, file("lists/set/alpha.wav"));
    EXPECT_EQ(folder->at(1).slot, 1u);

    write_all(file("twice.txt"), "#SLOT 2\na.wav\n#SLOT 2\nb.wav\n");
    EXPECT_FALSE(read_set_list(file("twice.txt"), 1, why));
    EXPECT_EQ(why, "The set list puts two songs into slot 2.");
    EXPECT_FALSE(parse_set_list("#SLOT 0\na.wav\n", m_files.path(), 1, why));
    EXPECT_EQ(why, "Line 1 of the set list: #SLOT takes a slot number from 1 to 9999.");
}

// Lists that would hang or swamp the sync: a pipe as the list or as a song is refused
// before anything opens it, a list file past 4 MiB is not parsed, a refusal names 20 songs
// and counts the rest, and a title of a megabyte is cut to a song name.
TEST_F(SetListSync, HostileListsAreRefusedAtOnce)
{
    ASSERT_EQ(mkfifo(qPrintable(file("pipe.m3u")), 0600), 0);
    ASSERT_EQ(mkfifo(qPrintable(file("pipe.wav")), 0600), 0);
    EXPECT_EQ(sync(file("pipe.m3u")).text(), "The set list " + file("pipe.m3u") + " is not a regular file.");
    write_all(file("piped.m3u"), "pipe.wav\n");
    const COperationResult piped = sync(file("piped.m3u"));
    EXPECT_EQ(piped.detail(), "Song 001: pipe.wav is not a regular file.");

    write_all(file("huge.m3u"), QByteArray((4 << 20) + 1, '#'));
    EXPECT_EQ(sync(file("huge.m3u")).text(), "The set list " + file("huge.m3u") + " is larger than 4 MiB.");

    QByteArray missing = "#EXTINF:1," + QByteArray(1 << 20, 'x') + "\n";
    for (int i = 1; i <= 25; ++i)
        missing += "gone" + QByteArray::number(i) + ".wav\n";
    write_all(file("missing.m3u"), missing);
    QString why;
    const auto listed = read_set_list(file("missing.m3u"), 1, why);
    ASSERT_TRUE(listed) << why.toStdString();
    EXPECT_EQ(listed->front().title, QString(kSongNameMax, 'x'));
    const QStringList lines = sync(file("missing.m3u")).detail().split('\n');
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[1], "Song 002: gone2.wav is not a regular file.");
    EXPECT_EQ(lines[20], "and 5 more");
    EXPECT_EQ(flash_changes(), 0u);
}
