#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Where the song journal keeps its bytes between runs of the program.
class CSongJournalStorage {
public:
    virtual ~CSongJournalStorage();
    // The bytes saved last; empty when there are none.
    [[nodiscard]] virtual QByteArray load() = 0;
    // Replaces the saved bytes whole; true once they are safely kept.
    [[nodiscard]] virtual bool save(const QByteArray& bytes) = 0;
};

// A file that each save replaces at once (QSaveFile), so a cut leaves the old or the new.
class CFileJournalStorage final : public CSongJournalStorage {
public:
    explicit CFileJournalStorage(QString path);
    // song-journal.bin in the user's data folder, beside the demo pedal's flash file.
    static QString default_path();
    [[nodiscard]] QByteArray load() override;
    [[nodiscard]] bool save(const QByteArray& bytes) override;

private:
    QString m_path;
};

// Bytes kept in memory for the object's life: for tests, and for a store that must leave
// no file behind.
class CMemoryJournalStorage final : public CSongJournalStorage {
public:
    [[nodiscard]] QByteArray load() override { return m_bytes; }
    [[nodiscard]] bool save(const QByteArray& bytes) override
    {
        m_bytes = bytes;
        return true;
    }

private:
    QByteArray m_bytes;
};

// The pedal's 16-bit range sum of `blocks` whole NAND blocks from `first_block` on.
struct SBlockRunSum {
    uint16_t first_block = 0;
    uint16_t blocks = 0;
    uint16_t sum = 0;
};

// A slot's info record as the info block holds it, and the sums of its song's blocks.
struct SJournalRecord {
    std::vector<unsigned char> record;  // empty: none
    std::vector<SBlockRunSum> sums;
};

// What a slot's info block held, and what it was to hold, while it was being erased for
// its next record.
struct SSongJournalEntry {
    uint32_t product_id = 0;
    uint32_t slot = 0;  // 0-based
    SJournalRecord before;
    SJournalRecord after;
};

// The journal of info block erases under way: at most one entry per product ID and slot.
// Every call reads the storage afresh, so that two programs sharing it lose no entry of
// the other's; bytes that do not read as a journal count as an empty one.
class CSongJournal {
public:
    explicit CSongJournal(CSongJournalStorage& storage) : m_storage(storage) {}

    [[nodiscard]] std::vector<SSongJournalEntry> entries() const;
    // Replaces the entry of the same product ID and slot; true once saved.
    [[nodiscard]] bool put(const SSongJournalEntry& entry);
    // Saves only when there was such an entry.
    void drop(uint32_t product_id, uint32_t slot);

private:
    [[nodiscard]] bool save(const std::vector<SSongJournalEntry>& entries);

    CSongJournalStorage& m_storage;
};
