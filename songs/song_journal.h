#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

// Where the song journal keeps its bytes between runs of the program.
class CSongJournalStorage {
public:
    virtual ~CSongJournalStorage();
    // The bytes saved last; empty when there are none.
    [[nodiscard]] virtual QByteArray load() = 0;
    // Replaces the saved bytes whole; true once they are safely kept, else false with why
    // in `reason` ("Is a directory").
    [[nodiscard]] virtual bool save(const QByteArray& bytes, QString& reason) = 0;
};

// A file that each save replaces at once (QSaveFile), so a cut leaves the old or the new.
class CFileJournalStorage final : public CSongJournalStorage {
public:
    explicit CFileJournalStorage(QString path);
    // song-journal.bin in the user's data folder, beside the demo pedal's flash file.
    static QString default_path();
    [[nodiscard]] QByteArray load() override;
    [[nodiscard]] bool save(const QByteArray& bytes, QString& reason) override;

private:
    QString m_path;
};

// Bytes kept in memory for the object's life: for tests, and for a store that must leave
// no file behind.
class CMemoryJournalStorage final : public CSongJournalStorage {
public:
    [[nodiscard]] QByteArray load() override { return m_bytes; }
    [[nodiscard]] bool save(const QByteArray& bytes, QString&) override
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

    bool operator==(const SBlockRunSum& other) const
    {
        return first_block == other.first_block && blocks == other.blocks && sum == other.sum;
    }
};

// A slot's info record as the info block holds it, and the sums of its song's blocks.
struct SJournalRecord {
    std::vector<unsigned char> record;  // empty: none
    std::vector<SBlockRunSum> sums;
};

// What a journal entry guards.
enum class EJournalKind : uint32_t {
    // An info block erased for its next record: `before` what it held, `after` what it was
    // to hold.
    ROLLOVER = 0,
    // A song's record copied from `slot` into the empty `other_slot`, then `slot` erased:
    // `before` and `after` both the song's record and the sum of its first block.
    MOVE = 1,
    // Two songs' records exchanged in place: `before` the record and sums of `slot`'s song,
    // `after` those of `other_slot`'s. `slot` gets the `after` record first, then
    // `other_slot` the `before` one.
    SWAP = 2,
};

// A change of info blocks under way. Two pedals of one model share product ID and slot
// numbers: `before`, the slot's state the entry was made for, tells their entries apart.
struct SSongJournalEntry {
    uint32_t product_id = 0;
    uint32_t slot = 0;  // 0-based
    SJournalRecord before;
    SJournalRecord after;
    int64_t made_at = 0;  // seconds since 1970 (UTC); put() sets it
    EJournalKind kind = EJournalKind::ROLLOVER;
    uint32_t other_slot = 0;  // MOVE and SWAP: the second slot, 0-based

    // The same pedal's slot in the same state, for the same change.
    bool same_key(const SSongJournalEntry& other) const
    {
        return kind == other.kind && product_id == other.product_id && slot == other.slot &&
               other_slot == other.other_slot && before.record == other.before.record &&
               before.sums == other.before.sums;
    }
};

// The journal of info block changes under way: any number of entries per product ID and
// slot, one per state of the slot. An entry expires after 30 days, and at most 256 are kept,
// the oldest dropped first: an entry of a pedal that never comes back is dropped no other
// way. Every call reads the storage afresh, so that two programs sharing it lose no entry
// of the other's; bytes that do not read as a journal count as an empty one.
class CSongJournal {
public:
    static constexpr int64_t kLifetimeSeconds = 30 * 24 * 3600;
    static constexpr size_t kMaxEntries = 256;
    // Seconds since 1970 (UTC).
    using Clock = std::function<int64_t()>;

    explicit CSongJournal(CSongJournalStorage& storage, Clock clock = {});

    // The entries not expired, oldest first.
    [[nodiscard]] std::vector<SSongJournalEntry> entries() const;
    // Adds the entry made now, in place of one of the same key; true once saved, else false
    // with why in `reason`.
    [[nodiscard]] bool put(const SSongJournalEntry& entry, QString& reason);
    // Drops the entries of the same key as `entry`; saves only when there was one.
    void drop(const SSongJournalEntry& entry);
    // Drops the entries `which` is true of; saves only when there was one.
    void drop_if(const std::function<bool(const SSongJournalEntry&)>& which);

private:
    [[nodiscard]] bool save(const std::vector<SSongJournalEntry>& entries, QString& reason);

    CSongJournalStorage& m_storage;
    Clock m_clock;
};
