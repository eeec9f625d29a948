#include "backup_pedal.h"

#include <QCryptographicHash>
#include <algorithm>

namespace {

class IncrementalBackup : public PedalBackup {
protected:
    // A backup into `name`, taking what it can from the backup in `since`; the NAND reads
    // it sent the pedal.
    size_t backup_since(const QString& name, const QString& since, COperationResult& result)
    {
        const size_t before = m_pedal->count_commands(EPedalMode::UPDATE, kRead);
        SBackupOptions options;
        options.since = file(since);
        result = backup_pedal(m_session, file(name), options, nullptr);
        return m_pedal->count_commands(EPedalMode::UPDATE, kRead) - before;
    }
    QByteArray song_file(const QString& backup, unsigned slot)
    {
        return read_all(QDir(file(backup)).filePath(SBackupManifest::song_file_name(slot + 1)));
    }
    // Exchanges the info blocks of slots `a` and `b` in the pedal's flash, as a swap of two
    // songs by their records leaves them: each song's audio stays in its blocks.
    void exchange_records(unsigned a, unsigned b)
    {
        const SNandFlashConfig& nand = *m_session.song_format();
        const auto address = [&nand](unsigned slot) {
            return nand.base_addr + (nand.song_blocks + slot) * nand.block_size;
        };
        const std::vector<uint8_t> first = m_pedal->nand().read(address(a), nand.block_size);
        const std::vector<uint8_t> second = m_pedal->nand().read(address(b), nand.block_size);
        ASSERT_TRUE(m_pedal->nand().erase(address(a)) && m_pedal->nand().erase(address(b)));
        for (uint32_t page = 0; page < nand.block_size; page += nand.page_size) {
            for (const auto& [into, from] : {std::pair{a, &second}, std::pair{b, &first}}) {
                const bool written = std::any_of(from->begin() + page, from->begin() + page + nand.page_size,
                                                 [](uint8_t byte) { return byte != 0xFF; });
                ASSERT_TRUE(!written || m_pedal->nand().program(address(into) + page, from->data() + page,
                                                                nand.page_size));
            }
        }
        ASSERT_EQ(m_session.load_songs(), LOOPER_RESULT_OK);
    }
};

}  // namespace

TEST_F(IncrementalBackup, ReadsOnlyTheSlotsThatChangedAndTakesTheRestUnchanged)
{
    const Songs songs{{0, noise(kThreeBlocks, 1)}, {2, noise(300000, 2)}, {5, noise(100000, 3)}};
    backup(songs);
    COperationResult result = COperationResult::cancelled();
    EXPECT_EQ(backup_since("second", "backup", result), 0u);
    ASSERT_TRUE(result.ok()) << result.text().toStdString();
    EXPECT_EQ(result.detail(), "3 unchanged songs were taken from '" + file("backup") + "'.");
    // Byte for byte what the full backup read from the pedal.
    for (const auto& entry : songs)
        EXPECT_EQ(song_file("second", entry.first), song_file("backup", entry.first));

    store({{2, noise(300000, 4)}});
    EXPECT_GT(backup_since("third", "second", result), 0u);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.detail(), "2 unchanged songs were taken from '" + file("second") + "'.");
    const std::vector<unsigned char> changed = stored_song(2);
    EXPECT_EQ(song_file("third", 2),
              QByteArray(reinterpret_cast<const char*>(changed.data()), int(changed.size())));
    EXPECT_EQ(song_file("third", 0), song_file("backup", 0));
    EXPECT_TRUE(restore(file("third")).ok());
}

// Songs found by their blocks, not their slots: after two songs changed places the
// backup reads nothing and restores them where they are now.
TEST_F(IncrementalBackup, TakesSongsThatChangedSlotsWithoutReadingThem)
{
    backup({{0, noise(kThreeBlocks, 9)}, {3, noise(300000, 10)}});
    const Songs songs = stored_songs();
    exchange_records(0, 3);
    ASSERT_EQ(stored_song(3), songs.at(0));
    COperationResult result = COperationResult::cancelled();
    EXPECT_EQ(backup_since("second", "backup", result), 0u);
    ASSERT_TRUE(result.ok()) << result.text().toStdString();
    EXPECT_EQ(result.detail(), "2 unchanged songs were taken from '" + file("backup") + "'.");
    EXPECT_EQ(song_file("second", 0), song_file("backup", 3));
    EXPECT_EQ(song_file("second", 3), song_file("backup", 0));

    store({{0, noise(100000, 11)}, {3, noise(100000, 12)}});
    ASSERT_TRUE(restore(file("second")).ok());
    EXPECT_EQ(stored_song(0), songs.at(3));
    EXPECT_EQ(stored_song(3), songs.at(0));
}

TEST_F(IncrementalBackup, ADamagedOrForeignEarlierBackupIsNotUsedAndSaysSo)
{
    backup({{1, noise(300000, 5)}});
    write_all(file("backup/Song 002.raw"), "not the song");
    COperationResult result = COperationResult::cancelled();
    EXPECT_GT(backup_since("second", "backup", result), 0u);
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.notes().size(), 1);
    EXPECT_TRUE(result.notes()[0].startsWith("The earlier backup in '" + file("backup") + "' is not used: "))
        << result.notes()[0].toStdString();

    replace_pedal(kDualWheel);
    store({{0, noise(300000, 6)}});
    EXPECT_GT(backup_since("third", "second", result), 0u);
    ASSERT_EQ(result.notes().size(), 1);
    EXPECT_TRUE(result.notes()[0].contains("it is a backup of a PULSE RING."))
        << result.notes()[0].toStdString();
}

// The earlier backup's files are read-only. One song file changed together with its hash in
// the manifest, and one replaced by a symlink to a copy of itself: neither is taken, both
// are read from the pedal again.
TEST_F(IncrementalBackup, TakesOnlyRegularSongFilesWhoseBytesGiveThePedalsSums)
{
    backup({{0, noise(300000, 7)}, {1, noise(100000, 8)}});
    const QString changed_path = QDir(file("backup")).filePath(SBackupManifest::song_file_name(1));
    const QString linked_path = QDir(file("backup")).filePath(SBackupManifest::song_file_name(2));
    EXPECT_EQ(
        QFileInfo(changed_path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther),
        0);

    QByteArray changed = read_all(changed_path);
    changed[1000] = char(changed[1000] ^ 0x5A);
    write_all(changed_path, changed);
    QString why;
    std::optional<SBackupManifest> manifest =
        SBackupManifest::from_json(read_all(file("backup/") + SBackupManifest::kFileName), why);
    ASSERT_TRUE(manifest) << why.toStdString();
    manifest->songs[0].sha256 = QCryptographicHash::hash(changed, QCryptographicHash::Sha256);
    write_all(file("backup/") + SBackupManifest::kFileName, manifest->to_json());
    write_all(file("elsewhere.raw"), read_all(linked_path));
    ASSERT_TRUE(QFile::remove(linked_path));
    ASSERT_TRUE(QFile::link(file("elsewhere.raw"), linked_path));

    COperationResult result = COperationResult::cancelled();
    EXPECT_GT(backup_since("second", "backup", result), 0u);
    ASSERT_TRUE(result.ok()) << result.text().toStdString();
    EXPECT_EQ(result.detail(), "0 unchanged songs were taken from '" + file("backup") + "'.");
    for (unsigned slot : {0u, 1u}) {
        const std::vector<unsigned char> stored = stored_song(slot);
        EXPECT_EQ(song_file("second", slot),
                  QByteArray(reinterpret_cast<const char*>(stored.data()), int(stored.size())));
    }
    EXPECT_FALSE(QFileInfo(QDir(file("second")).filePath(SBackupManifest::song_file_name(2))).isSymLink());
}
