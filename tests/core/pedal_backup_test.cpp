#include "backup_pedal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>

class BackupRoundTrip : public PedalBackup, public ::testing::WithParamInterface<uint32_t> {
protected:
    void SetUp() override { connect(GetParam()); }
};

// Songs in scattered slots go into a backup, the backup into a new pedal of the model,
// and every slot comes back byte for byte; the manifest describes what was backed up.
TEST_P(BackupRoundTrip, RestoresEverySlotByteForByteIntoAFreshPedal)
{
    const unsigned last = m_session.songs().slot_count() - 1;
    Songs songs{{last, noise(kThreeBlocks, 1)}};
    if (last > 0)
        songs.insert({{0, noise(5000, 2)}, {3, noise(300000, 3)}});
    store(songs);
    const Songs before = stored_songs();
    CTaskRecorder progress;
    const COperationResult backed_up = backup_pedal(m_session, file("backup"), {true, {}, {}}, &progress.task);
    ASSERT_TRUE(backed_up.ok()) << backed_up.text().toStdString();
    EXPECT_EQ(progress.task.progress().parts, before.size());
    EXPECT_EQ(progress.task.progress().bytes_total, progress.bytes());
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(progress.task.progress().percent, 100);

    QString why;
    const std::optional<SBackupManifest> manifest = read_backup(file("backup"), why);
    ASSERT_TRUE(manifest) << why.toStdString();
    EXPECT_EQ(manifest->product_id, GetParam());
    EXPECT_EQ(manifest->slot_count, m_session.songs().slot_count());
    ASSERT_EQ(manifest->songs.size(), before.size());
    for (const SBackupSlot& slot : manifest->songs) {
        const std::vector<unsigned char>& song = before.at(slot.number - 1);
        const QByteArray raw =
            read_all(QDir(file("backup")).filePath(SBackupManifest::song_file_name(slot.number)));
        EXPECT_EQ(raw, QByteArray(reinterpret_cast<const char*>(song.data()), int(song.size())));
        EXPECT_EQ(slot.sha256, QCryptographicHash::hash(raw, QCryptographicHash::Sha256));
        EXPECT_TRUE(QFile::exists(
            QDir(file("backup")).filePath(SBackupManifest::wav_file_name(slot.number, slot.facts.name))));
    }
    EXPECT_FALSE(QFile::exists(file("backup.incomplete")));

    replace_pedal(GetParam());
    CTaskRecorder restoring;
    const COperationResult restored = restore(file("backup"), &restoring.task);
    ASSERT_TRUE(restored.ok()) << restored.text().toStdString() << restored.detail().toStdString();
    // One bar for the whole job: each slot written, then read back, never a step back.
    EXPECT_EQ(restoring.task.progress().parts, before.size());
    EXPECT_TRUE(std::is_sorted(restoring.percents.begin(), restoring.percents.end()));
    EXPECT_EQ(restoring.task.progress().percent, 100);
    EXPECT_EQ(restoring.bytes(), 2 * progress.bytes());
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_EQ(stored_songs(), before);
}

INSTANTIATE_TEST_SUITE_P(Models, BackupRoundTrip, ::testing::Values(kPulseRing, kDualWheel));

TEST_F(PedalBackup, RestoreOverOtherSongsReplacesAndEmptiesAfterAskingWhich)
{
    const QString folder = backup({{0, noise(5000, 1)}, {1, noise(300000, 2)}, {2, noise(7000, 3)}});
    const Songs backed_up = stored_songs();
    ASSERT_TRUE(delete_song(m_session, 1, m_yes).ok());
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    store({{0, noise(9000, 4)}, {5, noise(4000, 5)}});

    QString why;
    const std::optional<SRestorePlan> plan =
        plan_restore(m_session, folder, *read_backup(folder, why), {}, why);
    ASSERT_TRUE(plan) << why.toStdString();
    const QString question = plan->question(m_session);
    EXPECT_TRUE(question.contains("Replaced: Song 001, Song 003")) << question.toStdString();
    EXPECT_TRUE(question.contains("Written into empty slots: Song 002")) << question.toStdString();
    EXPECT_TRUE(question.contains("Emptied: Song 006")) << question.toStdString();
    const COperationResult result = restore(folder);
    ASSERT_TRUE(result.ok()) << result.text().toStdString();
    EXPECT_TRUE(result.detail().contains("Song 006: emptied"));
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    EXPECT_EQ(stored_songs(), backed_up);
}

struct SBadBackup {
    const char* name;
    std::function<void(const QString& folder)> spoil;
    const char* message;
};

void edit_manifest(const QString& folder, const std::function<void(QJsonObject&)>& edit)
{
    const QString path = QDir(folder).filePath(SBackupManifest::kFileName);
    QJsonObject root = QJsonDocument::fromJson(read_all(path)).object();
    edit(root);
    write_all(path, QJsonDocument(root).toJson());
}

// Moves the backup's only song to slot `number`, file and manifest alike.
void move_song(const QString& folder, int number)
{
    QDir dir(folder);
    ASSERT_TRUE(dir.rename(SBackupManifest::song_file_name(1), SBackupManifest::song_file_name(number)));
    edit_manifest(folder, [number](QJsonObject& root) {
        QJsonObject slot = root["slots"].toArray()[0].toObject();
        slot["slot"] = number;
        slot["file"] = SBackupManifest::song_file_name(number);
        root["slots"] = QJsonArray{slot};
        root["slot_count"] = std::max(number, root["slot_count"].toInt());
    });
}

class BadBackup : public PedalBackup, public ::testing::WithParamInterface<SBadBackup> {};

// Each is refused before the pedal is written, with a message that says what is wrong.
TEST_P(BadBackup, IsRefusedWithAClearMessageAndNothingWritten)
{
    const QString folder = backup({{0, noise(5000, 1)}});
    ASSERT_NO_FATAL_FAILURE(GetParam().spoil(folder));
    store({{0, noise(7000, 2)}});
    const Songs before = stored_songs();
    m_pedal->clear_command_log();
    const COperationResult result = restore(folder);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.text().contains(GetParam().message)) << result.text().toStdString();
    EXPECT_EQ(flash_changes(), 0u);
    EXPECT_EQ(stored_songs(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadBackup,
    ::testing::Values(
        SBadBackup{"NoManifest", [](const QString& f) { QFile::remove(QDir(f).filePath("backup.json")); },
                   "is not a Tandora backup"},
        SBadBackup{"TruncatedManifest",
                   [](const QString& f) {
                       const QString path = QDir(f).filePath("backup.json");
                       write_all(path, read_all(path).left(40));
                   },
                   "damaged or truncated"},
        SBadBackup{
            "NewerFormat",
            [](const QString& f) { edit_manifest(f, [](QJsonObject& r) { r["format_version"] = 2; }); },
            "format version 2"},
        SBadBackup{"SongFileNotInManifest",
                   [](const QString& f) { write_all(QDir(f).filePath("Song 007.raw"), QByteArray(192, 0)); },
                   "is not in the manifest"},
        SBadBackup{"SongFileMissing",
                   [](const QString& f) { QFile::remove(QDir(f).filePath("Song 001.raw")); }, "is missing"},
        SBadBackup{"HashMismatch",
                   [](const QString& f) {
                       const QString path = QDir(f).filePath("Song 001.raw");
                       QByteArray bytes = read_all(path);
                       bytes[100] = char(bytes[100] ^ 1);
                       write_all(path, bytes);
                   },
                   "length or SHA-256 differs"},
        SBadBackup{"SlotOutOfRange", [](const QString& f) { move_song(f, 31); },
                   "this pedal has slots 1 to 30"},
        SBadBackup{"LongerThanAChain",
                   [](const QString& f) {
                       const QByteArray song(41287681, '\x11');
                       write_all(QDir(f).filePath("Song 001.raw"), song);
                       edit_manifest(f, [&song](QJsonObject& root) {
                           QJsonObject slot = root["slots"].toArray()[0].toObject();
                           slot["length"] = double(song.size());
                           slot["sha256"] = QString::fromLatin1(
                               QCryptographicHash::hash(song, QCryptographicHash::Sha256).toHex());
                           root["slots"] = QJsonArray{slot};
                       });
                   },
                   "longer than one song can be"},
        SBadBackup{"OtherSlotFormat",
                   [](const QString& f) {
                       edit_manifest(f, [](QJsonObject& root) { root["slot_format"] = "legacy stereo"; });
                   },
                   "Songs are not converted"},
        SBadBackup{"NotAFolder", [](const QString& f) { QDir(f).removeRecursively(); }, "does not exist"},
        SBadBackup{"MarkedIncomplete",
                   [](const QString& f) { write_all(QDir(f).filePath("backup.incomplete"), ""); },
                   "holds an incomplete backup"}),
    [](const ::testing::TestParamInfo<SBadBackup>& info) { return info.param.name; });

// The whole restore is checked first: the first song would fit, the second not, so
// neither is written. An overwrite needs room for the old and the new song at once.
TEST_F(PedalBackup, RestoreThatDoesNotFitIsRefusedBeforeItsFirstWrite)
{
    const QString folder = backup({{0, noise(kThreeBlocks, 1)}, {1, noise(kThreeBlocks, 2)}});
    ASSERT_TRUE(delete_song(m_session, 0, m_yes).ok());
    ASSERT_TRUE(delete_song(m_session, 1, m_yes).ok());
    // 12 x 160 + 46 blocks claimed: 4 of 1970 stay free.
    for (unsigned slot = 10; slot < 22; ++slot)
        claim_blocks(slot, uint16_t((slot - 10) * 160), 160);
    claim_blocks(22, 1920, 46);
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    m_pedal->clear_command_log();

    EXPECT_EQ(restore(folder, nullptr, {0, 1}).text(),
              "Not enough free space on the pedal: the restore needs 0.49 MB more.");
    EXPECT_EQ(flash_changes(), 0u);
    EXPECT_TRUE(restore(folder, nullptr, {0}).ok());

    // Slot 0's 3 blocks come back only once the new song is in: 1 free block is too few.
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    m_pedal->clear_command_log();
    EXPECT_TRUE(restore(folder, nullptr, {0}).text().startsWith("Not enough free space"));
    EXPECT_EQ(flash_changes(), 0u);
}

TEST_F(PedalBackup, UnreadableSlotIsRecordedAndTheBackupEndsIncomplete)
{
    store({{0, noise(5000, 1)}, {3, noise(300000, 2)}, {6, noise(6000, 3)}});
    BlockStatus blocks;
    m_session.songs().get_file_block_status_table(3, blocks);
    const SNandFlashConfig& nand = *m_session.song_format();
    for (uint32_t block = 0; block < nand.song_blocks; ++block) {
        if (blocks.test(block)) {
            SPedalFault fault = SPedalFault::update(EPedalFaultKind::REFUSE, kRead);
            fault.first_address = block * nand.block_size;
            fault.last_address = fault.first_address + nand.block_size - 1;
            m_pedal->add_fault(fault);
        }
    }
    const COperationResult result = backup_pedal(m_session, file("backup"), {}, nullptr);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.text(), "Incomplete backup: Song 004 could not be read.");
    QString why;
    const std::optional<SBackupManifest> manifest = read_backup(file("backup"), why);
    ASSERT_TRUE(manifest) << why.toStdString();
    ASSERT_EQ(manifest->songs.size(), 3u);
    EXPECT_FALSE(manifest->songs[1].readable);
    EXPECT_TRUE(manifest->songs[2].readable);

    // A restore leaves the slot the backup could not read as it is.
    m_pedal->clear_faults();
    const std::vector<unsigned char> kept = stored_song(3);
    const std::optional<SRestorePlan> plan = plan_restore(m_session, file("backup"), *manifest, {}, why);
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->question(m_session).contains("Kept as they are (unreadable when backed up): Song 004"));
    ASSERT_TRUE(restore_pedal(m_session, *plan, nullptr).ok());
    EXPECT_EQ(stored_song(3), kept);
}

struct SBackupTargetCase {
    const char* name;
    std::function<QString(const QString& files)> target;  // the backup folder to ask for
    int full_at;                                          // the file (from 1) that meets a full disk; 0: none
    const char* message;
};

class BackupTarget : public PedalBackup, public ::testing::WithParamInterface<SBackupTargetCase> {};

// Nothing is left that could pass for a backup, complete or not.
TEST_P(BackupTarget, FailsWithAClearMessageAndLeavesNoBackup)
{
    store({{0, noise(5000, 1)}, {4, noise(6000, 2)}});
    const QString folder = GetParam().target(m_files.path());
    int opened = 0;
    SBackupOptions options;
    options.open_file = [&](const QString& path) -> std::unique_ptr<QFileDevice> {
        auto out =
            std::make_unique<QFile>(++opened == GetParam().full_at ? QStringLiteral("/dev/full") : path);
        return out->open(QIODevice::WriteOnly) ? std::move(out) : nullptr;
    };
    if (GetParam().full_at && !QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const COperationResult result = backup_pedal(m_session, folder, options, nullptr);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.text().contains(GetParam().message)) << result.text().toStdString();
    // A leftover of an earlier backup is not ours to delete; none of this one stays.
    EXPECT_EQ(read_all(folder + ".incomplete/keep"), QFile::exists(folder + ".incomplete") ? "x" : "");
    EXPECT_FALSE(QFile::exists(QDir(folder).filePath("backup.json")));
    EXPECT_FALSE(QFile::exists(QDir(folder).filePath("backup.incomplete")));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, BackupTarget,
    ::testing::Values(SBackupTargetCase{"FullDiskAtFirstSong", [](const QString& f) { return f + "/b"; }, 1,
                                        "is the disk full?"},
                      SBackupTargetCase{"FullDiskAtManifest", [](const QString& f) { return f + "/b"; }, 3,
                                        "is the disk full?"},
                      SBackupTargetCase{"FullDiskInAnEmptyFolder",
                                        [](const QString& f) {
                                            QDir(f).mkpath("stick");
                                            return f + "/stick";
                                        },
                                        2, "is the disk full?"},
                      SBackupTargetCase{"UnderAFile",
                                        [](const QString& f) {
                                            write_all(f + "/plain", "x");
                                            return f + "/plain/b";
                                        },
                                        0, "cannot be created"},
                      SBackupTargetCase{"NotEmpty",
                                        [](const QString& f) {
                                            QDir(f).mkpath("used");
                                            write_all(f + "/used/keep", "x");
                                            return f + "/used";
                                        },
                                        0, "is not empty"},
                      SBackupTargetCase{"TemporaryNameTaken",
                                        [](const QString& f) {
                                            QDir(f).mkpath("b.incomplete");
                                            write_all(f + "/b.incomplete/keep", "x");
                                            return f + "/b";
                                        },
                                        0, "is in the way"}),
    [](const ::testing::TestParamInfo<SBackupTargetCase>& info) { return info.param.name; });

// A fresh USB stick's mount point: the backup goes into it, marked incomplete until its
// manifest is written, and nothing is written beside it.
TEST_F(PedalBackup, EmptyFolderIsWrittenInPlaceAndMarkedUntilTheEnd)
{
    store({{0, noise(5000, 1)}});
    ASSERT_TRUE(QDir(m_files.path()).mkpath("stick"));
    const QString stick = file("stick");
    bool marked_at_manifest = false;
    SBackupOptions options;
    options.open_file = [&](const QString& path) -> std::unique_ptr<QFileDevice> {
        if (path.endsWith(SBackupManifest::kFileName))
            marked_at_manifest = QFile::exists(QDir(stick).filePath(SBackupManifest::kIncompleteMarker));
        auto out = std::make_unique<QFile>(path);
        return out->open(QIODevice::WriteOnly) ? std::move(out) : nullptr;
    };
    const COperationResult result = backup_pedal(m_session, stick, options, nullptr);
    ASSERT_TRUE(result.ok()) << result.text().toStdString();
    EXPECT_TRUE(marked_at_manifest);
    EXPECT_FALSE(QFile::exists(QDir(stick).filePath(SBackupManifest::kIncompleteMarker)));
    EXPECT_EQ(QDir(m_files.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"stick"}));
    QString why;
    EXPECT_TRUE(read_backup(stick, why)) << why.toStdString();
}

TEST_F(PedalBackup, VerifiedImportCatchesAFlashThatReturnsOtherBytes)
{
    write_tone(file("tone.wav"), 20000);
    EXPECT_EQ(import_song_unasked(m_session, file("tone.wav"), 2, SImportSettings{}, nullptr, true).text(),
              "Successful !");

    const SNandFlashConfig& nand = *m_session.song_format();
    SPedalFault fault = SPedalFault::update(EPedalFaultKind::WRONG_DATA, kRead);
    fault.last_address = nand.song_blocks * nand.block_size - 1;  // audio only, records intact
    m_pedal->add_fault(fault);
    const COperationResult result =
        import_song_unasked(m_session, file("tone.wav"), 2, SImportSettings{}, nullptr, true);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.text(), "Verify failed: the pedal returned different data for Song 003");
    EXPECT_TRUE(import_song_unasked(m_session, file("tone.wav"), 2, SImportSettings{}, nullptr, false).ok());

    m_pedal->clear_faults();
    ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    const QString folder = backup({});
    m_pedal->add_fault(fault);
    const COperationResult restored = restore(folder);
    EXPECT_EQ(restored.text(), "Verify failed: the pedal returned different data for Song 003");
    EXPECT_TRUE(restored.detail().contains("Song 003: failed")) << restored.detail().toStdString();
}
