#include "audio/song_loudness.h"
#include "audio/song_stream.h"
#include "audio/waveform_overview.h"
#include "backup_pedal.h"
#include "core/pedal_view.h"
#include "core/song_commands/slot_loudness.h"
#include "core/song_commands/song_playback.h"
#include "core/song_commands/song_records.h"
#include "library/song_library.h"
#include "support/file_hash.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class SongNames : public PedalBackup {
protected:
    // A short tone at `name`, with `title` in its tags unless empty; imported into `slot`.
    void import_tone(const QString& name, unsigned slot, const char* title = "",
                     ELoudnessTarget loudness = ELoudnessTarget::AS_THE_FILE)
    {
        write_tone(file(name), 22050);
        if (*title) {
            TagLib::FileRef tagged(QFile::encodeName(file(name)).constData());
            ASSERT_FALSE(tagged.isNull());
            tagged.tag()->setTitle(TagLib::String(title, TagLib::String::UTF8));
            ASSERT_TRUE(tagged.save());
        }
        ASSERT_TRUE(
            import_song_unasked(m_session, file(name), int(slot), {EMonoMode::MIX, loudness}, nullptr).ok());
        ASSERT_EQ(m_session.reload_slot(int(slot)), LOOPER_RESULT_OK);
    }
    QString name_in_line(unsigned slot) { return slot_line(m_session, slot).name; }
};

}  // namespace

TEST_F(SongNames, ImportRecordsNameSourceAndFingerprintFoundAgainAfterAReconnect)
{
    import_tone("Intro jam.wav", 3, "", ELoudnessTarget::LUFS_16);
    import_tone("track02.wav", 4, "Night Drive");
    const std::optional<SLibrarySong> song = known_song(m_session, 3);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->source_path, QFileInfo(file("Intro jam.wav")).absoluteFilePath());
    EXPECT_EQ(song->source_sha256, file_sha256(file("Intro jam.wav")));
    EXPECT_EQ(song->source_sha256.size(), 64);
    EXPECT_EQ(song->mono_mode, "mix");
    EXPECT_EQ(song->fingerprint, m_session.slot_fingerprint(3));
    EXPECT_EQ(song->stored_bytes, m_session.songs().get_file_length(3));
    EXPECT_NEAR(song->seconds, 0.5, 0.01);
    EXPECT_EQ(song->loudness_setting, "-16");
    EXPECT_NEAR(song->loudness_lufs.value_or(0), -16, 0.2);
    EXPECT_TRUE(song->true_peak_dbtp && song->gain_db);
    const SLibrarySong plain = *known_song(m_session, 4);
    EXPECT_EQ(plain.loudness_setting, "off");
    EXPECT_TRUE(plain.loudness_lufs && !plain.true_peak_dbtp && !plain.gain_db);

    reconnect();
    EXPECT_EQ(slot_line(m_session, 3).text, m_session.songs().get_name(3) + "  0:00  " +
                                                loudness_text(*song->loudness_lufs) + "  Intro jam");
    EXPECT_EQ(name_in_line(4), "Night Drive");
    EXPECT_EQ(export_file_name(m_session, 3), "Intro jam.wav");
    EXPECT_EQ(export_file_name(m_session, 5), "Song 006.wav");
}

// Another program, another computer or the pedal itself wrote the slot: the name the
// library holds belongs to a song that is gone.
TEST_F(SongNames, SlotRewrittenBehindTheLibrarysBackLosesItsName)
{
    import_tone("Intro jam.wav", 2);
    ASSERT_EQ(name_in_line(2), "Intro jam");
    const QString before = m_session.slot_fingerprint(2);
    store({{2, noise(5000, 7)}});
    EXPECT_NE(m_session.slot_fingerprint(2), before);
    EXPECT_EQ(name_in_line(2), "");
    EXPECT_EQ(slot_line(m_session, 2).text, m_session.songs().get_name(2) + "  0:00");

    // The same bytes written again, by Tandora this time: the new record is named anew.
    import_tone("Intro jam.wav", 2);
    EXPECT_NE(m_session.slot_fingerprint(2), before);
    EXPECT_EQ(name_in_line(2), "Intro jam");
}

TEST_F(SongNames, RenameKeepsValidNamesOnly)
{
    store({{0, noise(5000, 1)}});
    struct {
        int slot;
        QString name;
        bool ok;
        const char* shown;
    } const cases[] = {
        {0, "  Encore ", true, "Encore"},  {0, "", true, ""},
        {0, QString(101, 'x'), false, ""}, {0, "Bell\a", false, ""},
        {1, "Nothing here", false, ""},    {30, "Past the end", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(rename_song(m_session, c.slot, c.name).ok(), c.ok);
        EXPECT_EQ(name_in_line(0).toStdString(), c.shown);
    }
}

TEST_F(SongNames, NamesAndLoudnessGoThroughBackupAndRestoreIntoAFreshPedal)
{
    import_tone("Intro jam.wav", 0);
    import_tone("b.wav", 3);
    ASSERT_TRUE(rename_song(m_session, 3, "Outro: Part 2").ok());
    SLibrarySong measured = *known_song(m_session, 0);
    measured.loudness_lufs = -14.2;
    measured.loudness_range_lu = 6.5;
    measured.true_peak_dbtp = -1.04;
    ASSERT_TRUE(m_session.library().record(measured, {}));
    SBackupOptions options;
    options.wav = true;
    const QString folder = file("backup");
    ASSERT_TRUE(backup_pedal(m_session, folder, options, nullptr).ok());
    EXPECT_TRUE(QFile::exists(folder + "/01 Intro jam.wav"));
    EXPECT_TRUE(QFile::exists(folder + "/04 Outro_ Part 2.wav"));

    replace_pedal(kPulseRing);
    ASSERT_TRUE(restore(folder).ok());
    EXPECT_EQ(name_in_line(0), "Intro jam");
    EXPECT_EQ(name_in_line(3), "Outro: Part 2");
    const SLibrarySong restored = *known_song(m_session, 0);
    EXPECT_EQ(restored.loudness_lufs, -14.2);
    EXPECT_EQ(restored.loudness_range_lu, 6.5);
    EXPECT_EQ(restored.true_peak_dbtp, -1.04);
    EXPECT_EQ(restored.overview.size(), 2 * kOverviewColumns);

    // A backup made before songs had names restores as it always did, with none.
    QJsonObject manifest = QJsonDocument::fromJson(read_all(folder + "/backup.json")).object();
    QJsonArray listed = manifest["slots"].toArray();
    for (QJsonValueRef slot : listed) {
        QJsonObject entry = slot.toObject();
        entry.remove("name");
        slot = entry;
    }
    manifest["slots"] = listed;
    write_all(folder + "/backup.json", QJsonDocument(manifest).toJson());
    replace_pedal(kPulseRing);
    ASSERT_TRUE(restore(folder).ok());
    EXPECT_TRUE(m_session.slot_holds_song(3));
    EXPECT_EQ(name_in_line(3), "");
}

// Loudness and the waveform overview: an import brings both; a song written elsewhere gets
// them from the first read that passes it whole (a measure, an export, a play), and keeps them.
TEST_F(SongNames, LoudnessAndOverviewComeFromTheLibraryOrAreReadOnceAndKept)
{
    const std::vector<unsigned char> five = noise(300000, 5);
    store({{5, five}, {6, noise(300000, 6)}, {8, noise(300000, 8)}});
    import_tone("quiet.wav", 7, "", ELoudnessTarget::LUFS_23);
    EXPECT_FALSE(slot_line(m_session, 5).loudness);
    EXPECT_TRUE(slot_line(m_session, 5).overview.isEmpty());
    EXPECT_EQ(slot_line(m_session, 7).overview.size(), 2 * kOverviewColumns);
    EXPECT_EQ(loudness_read_notice(m_session, {5, 6, 7}).toStdString(),
              "Reading 2 songs (0.6 MB) from the pedal takes about 0:01.");

    std::vector<SSlotLoudness> figures;
    ASSERT_TRUE(measure_slots(m_session, {5, 7}, nullptr, figures).ok());
    ASSERT_EQ(figures.size(), 2u);
    EXPECT_TRUE(figures[0].read_now);
    EXPECT_FALSE(figures[1].read_now);
    EXPECT_NEAR(figures[1].loudness.integrated_lufs, -23, 0.2);
    EXPECT_TRUE(figures[0].loudness.true_peak_dbtp);
    EXPECT_EQ(slot_line(m_session, 5).loudness->integrated_lufs, figures[0].loudness.integrated_lufs);
    EXPECT_TRUE(slot_line(m_session, 5).text.endsWith(loudness_text(figures[0].loudness.integrated_lufs)));
    std::vector<unsigned char> five_stored = five;  // the pedal keeps whole units, zero-filled
    five_stored.resize(m_session.songs().get_file_length(5));
    EXPECT_EQ(slot_line(m_session, 5).overview,
              waveform_overview(five_stored.data(), five_stored.size(), SSongAudioFormat{}));

    // An export reads the song whole anyway: the library gets its figures too.
    ASSERT_TRUE(export_song(m_session, 6, file("six.wav"), nullptr).ok());
    const size_t reads = m_pedal->count_commands(EPedalMode::UPDATE, kRead);
    figures.clear();
    ASSERT_TRUE(measure_slots(m_session, {5, 6}, nullptr, figures).ok());
    EXPECT_FALSE(figures[0].read_now || figures[1].read_now);
    EXPECT_EQ(m_pedal->count_commands(EPedalMode::UPDATE, kRead), reads);
    const double loudest = std::max(figures[0].loudness.integrated_lufs, figures[1].loudness.integrated_lufs);
    const QString spread = loudness_spread_text(slot_lines(m_session));
    EXPECT_TRUE(spread.startsWith("Quietest: Song 008, ")) << spread.toStdString();
    EXPECT_TRUE(spread.endsWith(", " + loudness_text(loudest) + ".")) << spread.toStdString();
    EXPECT_FALSE(slot_line(m_session, 6).overview.isEmpty());

    const std::shared_ptr<CSongStream> played = slot_stream(m_session, 8);
    ASSERT_TRUE(played);
    ASSERT_TRUE(stream_slot(m_session, 8, *played, nullptr).ok());
    EXPECT_TRUE(played->whole());
    EXPECT_FALSE(slot_line(m_session, 8).overview.isEmpty());
    EXPECT_TRUE(slot_line(m_session, 8).loudness);
}

// A song imported as the file is measured without its true peak; a read that passes it
// whole (a measure, a backup; an export and a play record the same way) adds it and keeps
// the figures the import measured.
TEST_F(SongNames, WholeReadsAddTheTruePeakTheLibraryLacks)
{
    import_tone("a.wav", 2);
    import_tone("b.wav", 3);
    const SLibrarySong imported = *known_song(m_session, 3);
    ASSERT_TRUE(imported.loudness_lufs && !imported.true_peak_dbtp);
    EXPECT_EQ(slots_to_read(m_session, {2, 3}), (std::vector<unsigned>{2, 3}));
    std::vector<SSlotLoudness> figures;
    ASSERT_TRUE(measure_slots(m_session, {2}, nullptr, figures).ok());
    ASSERT_TRUE(backup_pedal(m_session, file("backup"), {}, nullptr).ok());
    EXPECT_TRUE(slots_to_read(m_session, {2, 3}).empty());
    const std::vector<unsigned char> song = stored_song(3);
    const std::optional<double> peak = measure_song(song.data(), song.size(), 1)->true_peak_dbtp;
    EXPECT_EQ(known_song(m_session, 3)->true_peak_dbtp, peak);
    EXPECT_EQ(known_song(m_session, 3)->loudness_lufs, imported.loudness_lufs);
    const QJsonArray listed =
        QJsonDocument::fromJson(read_all(file("backup") + "/backup.json"))["slots"].toArray();
    EXPECT_NEAR(listed[1].toObject()["true_peak_dbtp"].toDouble(), *peak, 0.01);  // kept to 0.01 dB
}
