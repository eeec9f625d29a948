#include "songs/song_journal.h"

#include "support/little_endian.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace {

// Version 1 had one entry per slot and no times; its entries count as made when read.
// Version 2 knew info block erases alone; version 3 adds each entry's kind and second slot.
constexpr char kMagicV1[4] = {'T', 'S', 'J', '1'};
constexpr char kMagicV2[4] = {'T', 'S', 'J', '2'};
constexpr char kMagic[4] = {'T', 'S', 'J', '3'};
constexpr uint32_t kLastKind = static_cast<uint32_t>(EJournalKind::SWAP);
// A record is at most 2624 bytes (the legacy one); a song at most 1300 blocks.
constexpr uint32_t kMaxRecord = 4096;
constexpr uint32_t kMaxRuns = 1300;

void put_bytes(QByteArray& out, uint32_t value, unsigned int size)
{
    unsigned char bytes[4];
    LE::write32(bytes, value);
    out.append(reinterpret_cast<const char*>(bytes), static_cast<int>(size));
}

void put_record(QByteArray& out, const SJournalRecord& side)
{
    put_bytes(out, static_cast<uint32_t>(side.record.size()), 4);
    out.append(reinterpret_cast<const char*>(side.record.data()), static_cast<int>(side.record.size()));
    put_bytes(out, static_cast<uint32_t>(side.sums.size()), 4);
    for (const SBlockRunSum& run : side.sums) {
        put_bytes(out, run.first_block, 2);
        put_bytes(out, run.blocks, 2);
        put_bytes(out, run.sum, 2);
    }
}

// Reads little-endian fields off the front of the saved bytes; any read past their end
// makes it fail for good.
class CReader {
public:
    explicit CReader(const QByteArray& bytes)
        : m_at(reinterpret_cast<const unsigned char*>(bytes.constData())),
          m_left(static_cast<size_t>(bytes.size()))
    {
    }
    bool ok() const { return m_ok; }
    bool at_end() const { return m_left == 0; }
    uint32_t take(unsigned int size)
    {
        if (!m_ok || m_left < size) {
            m_ok = false;
            return 0;
        }
        unsigned char bytes[4] = {};
        std::copy(m_at, m_at + size, bytes);
        m_at += size;
        m_left -= size;
        return LE::read32(bytes);
    }
    const unsigned char* skip(size_t size)
    {
        if (!m_ok || m_left < size) {
            m_ok = false;
            return nullptr;
        }
        const unsigned char* at = m_at;
        m_at += size;
        m_left -= size;
        return at;
    }

private:
    const unsigned char* m_at;
    size_t m_left;
    bool m_ok = true;
};

bool take_record(CReader& in, SJournalRecord& side)
{
    const uint32_t size = in.take(4);
    if (size > kMaxRecord)
        return false;
    const unsigned char* record = in.skip(size);
    if (!record)
        return false;
    side.record.assign(record, record + size);
    const uint32_t runs = in.take(4);
    if (runs > kMaxRuns)
        return false;
    for (uint32_t i = 0; i < runs && in.ok(); ++i) {
        SBlockRunSum run;
        run.first_block = static_cast<uint16_t>(in.take(2));
        run.blocks = static_cast<uint16_t>(in.take(2));
        run.sum = static_cast<uint16_t>(in.take(2));
        side.sums.push_back(run);
    }
    return in.ok();
}

}  // namespace

CSongJournalStorage::~CSongJournalStorage() = default;

CFileJournalStorage::CFileJournalStorage(QString path) : m_path(std::move(path)) {}

QString CFileJournalStorage::default_path()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/song-journal.bin");
}

QByteArray CFileJournalStorage::load()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool CFileJournalStorage::save(const QByteArray& bytes, QString& reason)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

CSongJournal::CSongJournal(CSongJournalStorage& storage, Clock clock)
    : m_storage(storage), m_clock(clock ? std::move(clock) : Clock(QDateTime::currentSecsSinceEpoch))
{
}

std::vector<SSongJournalEntry> CSongJournal::entries() const
{
    const QByteArray bytes = m_storage.load();
    if (bytes.size() < 4)
        return {};
    const bool kinds = std::equal(kMagic, kMagic + 4, bytes.constData());
    const bool timed = kinds || std::equal(kMagicV2, kMagicV2 + 4, bytes.constData());
    if (!timed && !std::equal(kMagicV1, kMagicV1 + 4, bytes.constData()))
        return {};
    const int64_t now = m_clock();
    CReader in(bytes);
    static_cast<void>(in.skip(4));
    std::vector<SSongJournalEntry> found;
    while (!in.at_end()) {
        SSongJournalEntry entry;
        entry.made_at = now;
        if (timed) {
            const uint32_t low = in.take(4);
            entry.made_at = static_cast<int64_t>(uint64_t{in.take(4)} << 32 | low);
        }
        const uint32_t kind = kinds ? in.take(4) : 0;
        if (kind > kLastKind)
            return {};
        entry.kind = static_cast<EJournalKind>(kind);
        entry.product_id = in.take(4);
        entry.slot = in.take(4);
        entry.other_slot = kinds ? in.take(4) : 0;
        if (!take_record(in, entry.before) || !take_record(in, entry.after))
            return {};
        // A time ahead of the clock (the clock was set back) counts as now, not as forever.
        entry.made_at = std::min(entry.made_at, now);
        if (now - entry.made_at < kLifetimeSeconds)
            found.push_back(std::move(entry));
    }
    std::stable_sort(found.begin(), found.end(), [](const SSongJournalEntry& a, const SSongJournalEntry& b) {
        return a.made_at < b.made_at;
    });
    return found;
}

bool CSongJournal::put(const SSongJournalEntry& entry, QString& reason)
{
    std::vector<SSongJournalEntry> kept = entries();
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [&](const SSongJournalEntry& old) { return old.same_key(entry); }),
               kept.end());
    if (kept.size() >= kMaxEntries)
        kept.erase(kept.begin(), kept.end() - static_cast<std::ptrdiff_t>(kMaxEntries - 1));
    kept.push_back(entry);
    kept.back().made_at = m_clock();
    return save(kept, reason);
}

void CSongJournal::drop(const SSongJournalEntry& entry)
{
    drop_if([&](const SSongJournalEntry& old) { return old.same_key(entry); });
}

void CSongJournal::drop_if(const std::function<bool(const SSongJournalEntry&)>& which)
{
    std::vector<SSongJournalEntry> kept = entries();
    const auto end = std::remove_if(kept.begin(), kept.end(), which);
    if (end == kept.end())
        return;
    kept.erase(end, kept.end());
    // A drop that is not saved leaves an entry the next load finds done and drops again.
    QString reason;
    if (!save(kept, reason))
        qDebug().noquote() << "The song journal could not be saved:" << reason;
}

bool CSongJournal::save(const std::vector<SSongJournalEntry>& entries, QString& reason)
{
    QByteArray out(kMagic, 4);
    for (const SSongJournalEntry& entry : entries) {
        const auto made_at = static_cast<uint64_t>(entry.made_at);
        put_bytes(out, static_cast<uint32_t>(made_at), 4);
        put_bytes(out, static_cast<uint32_t>(made_at >> 32), 4);
        put_bytes(out, static_cast<uint32_t>(entry.kind), 4);
        put_bytes(out, entry.product_id, 4);
        put_bytes(out, entry.slot, 4);
        put_bytes(out, entry.other_slot, 4);
        put_record(out, entry.before);
        put_record(out, entry.after);
    }
    return m_storage.save(out, reason);
}
