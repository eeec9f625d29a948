#pragma once

#include "core/backup/backup_reader.h"
#include "core/backup/pedal_backup.h"
#include "core/backup/pedal_restore.h"
#include "core/backup/restore_plan.h"
#include "core/song_commands/song_operations.h"
#include "core_pedal.h"
#include "fake_wait_clock.h"

#include <QDir>
#include <QFile>
#include <map>
#include <vector>

// Backups and restores on an emulated pedal: songs of noise in chosen slots, a backup of
// them, and a restore that goes through the whole check first.

constexpr unsigned kThreeBlocks = 600000;  // PULSE RING: 258048 audio bytes per block

using Songs = std::map<unsigned, std::vector<unsigned char>>;

inline std::vector<unsigned char> noise(size_t length, uint32_t seed)
{
    std::vector<unsigned char> bytes(length);
    for (unsigned char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(seed >> 24);
    }
    return bytes;
}

inline QByteArray read_all(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file: a backup's files are read-only, and may be shared by hard links.
inline void write_all(const QString& path, const QByteArray& bytes)
{
    QFile::remove(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class PedalBackup : public CorePedal {
protected:
    void SetUp() override { connect(kPulseRing); }

    // Writes each song through the store, reloading as the front ends do.
    void store(const Songs& songs)
    {
        for (const auto& [slot, song] : songs) {
            ASSERT_EQ(m_session.songs().write_file(slot, song.data(), unsigned(song.size()), nullptr),
                      LOOPER_RESULT_OK);
            ASSERT_EQ(m_session.songs().reload_slot(slot), LOOPER_RESULT_OK);
        }
    }
    Songs stored_songs()
    {
        Songs songs;
        for (unsigned slot = 0; slot < m_session.songs().slot_count(); ++slot)
            if (m_session.slot_holds_song(int(slot)))
                songs[slot] = stored_song(slot);
        return songs;
    }
    QString backup(const Songs& songs, const SBackupOptions& options = {})
    {
        store(songs);
        const QString folder = file("backup");
        const COperationResult result = backup_pedal(m_session, folder, options, nullptr);
        EXPECT_TRUE(result.ok()) << result.text().toStdString();
        return folder;
    }
    // The pedal replugged (after a power cut, also powered again) and the session reopened.
    void reconnect()
    {
        m_pedal->wait_until_idle();
        m_pedal->clear_faults();
        m_session.close();
        m_session.link().port().transfer().set_clock(nullptr);
        m_pedal->power_cycle();
        m_pedal->plug();
        ASSERT_TRUE(open_settled(m_session.link().port().transfer(), *m_pedal,
                                 [this] { return m_session.search_and_open(); }));
        ASSERT_TRUE(loads());
    }
    // A delete cut short leaves its info block half erased: the slot then reads as empty
    // and the load says so (LOOPER_RESULT_CHECKSUM_ERROR) until the block is written again.
    bool loads()
    {
        const ELooperActionResult result = m_session.load_songs();
        return result == LOOPER_RESULT_OK || result == LOOPER_RESULT_CHECKSUM_ERROR;
    }
    void replace_pedal(uint32_t product_id)
    {
        m_session.close();
        m_pedal.reset();
        connect(product_id);
    }
    // Reply waits on a clock that jumps over the silence of a pedal that lost its power.
    void quick_timeouts()
    {
        m_clock.set_settle([this] { m_pedal->wait_until_idle(); });
        m_session.link().port().transfer().set_clock(&m_clock);
    }
    void TearDown() override { m_session.link().port().transfer().set_clock(nullptr); }
    COperationResult restore(const QString& folder, CTask* task = nullptr, std::vector<unsigned> only = {})
    {
        QString why;
        const std::optional<SBackupManifest> manifest = read_backup(folder, why);
        if (!manifest)
            return COperationResult::summary(false, why);
        const std::optional<SRestorePlan> plan = plan_restore(m_session, folder, *manifest, only, why);
        if (!plan)
            return COperationResult::summary(false, why);
        const COperationResult result = restore_pedal(m_session, *plan, task);
        m_pedal->wait_until_idle();
        return result;
    }
    size_t flash_changes() const
    {
        return m_pedal->count_commands(EPedalMode::UPDATE, kErase) +
               m_pedal->count_commands(EPedalMode::UPDATE, kWrite);
    }
    // Writes a record into `slot`'s info block naming `count` blocks from `first` as its song,
    // without their audio: only the record counts for free space.
    void claim_blocks(unsigned slot, uint16_t first, uint16_t count);

    CFakeWaitClock m_clock;
};

inline void PedalBackup::claim_blocks(unsigned slot, uint16_t first, uint16_t count)
{
    const SNandFlashConfig& nand = *m_session.song_format();
    std::vector<uint8_t> record{'H', 'D', 0xFF};
    const uint32_t units = count * nand.pages_per_block * nand.page_data_size / nand.unit_size;
    for (int i = 0; i < 4; ++i)
        record.push_back(uint8_t(units >> (8 * i)));
    for (uint16_t i = 0; i < nand.max_song_blocks; ++i) {
        const uint16_t block = i < count ? uint16_t(first + i) : 0xFFFF;
        record.push_back(uint8_t(block));
        record.push_back(uint8_t(block >> 8));
    }
    uint16_t sum = 0;
    for (size_t i = 2; i < record.size(); ++i)
        sum = uint16_t(sum + record[i]);
    record.push_back(uint8_t(sum));
    record.push_back(uint8_t(sum >> 8));
    ASSERT_TRUE(m_pedal->nand().program((nand.song_blocks + slot) * nand.block_size, record.data(),
                                        uint32_t(record.size())));
}
