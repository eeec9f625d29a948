#include "library/song_library.h"

#include "library/library_aside.h"
#include "library/library_connection.h"
#include "library/library_schema.h"
#include "support/log_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStandardPaths>
#include <chrono>
#include <thread>

namespace {

const QString kColumns = QStringLiteral(
    "product_id, slot, fingerprint, name, source_path, source_sha256, mono_mode, recorded, seconds, "
    "stored_bytes, loudness_lufs, loudness_range_lu, true_peak_dbtp, loudness_setting, gain_db, overview");

QVariant optional_value(const std::optional<double>& value)
{
    return value ? QVariant(*value) : QVariant(QVariant::Double);
}

std::optional<double> optional_from(const QVariant& value)
{
    return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
}

SLibrarySong song_from(const QSqlQuery& row)
{
    SLibrarySong song;
    song.product_id = row.value(0).toUInt();
    song.slot = row.value(1).toUInt();
    song.fingerprint = row.value(2).toString();
    song.name = row.value(3).toString();
    song.source_path = row.value(4).toString();
    song.source_sha256 = row.value(5).toString();
    song.mono_mode = row.value(6).toString();
    song.date = QDateTime::fromString(row.value(7).toString(), Qt::ISODate);
    song.seconds = row.value(8).toDouble();
    song.stored_bytes = row.value(9).toULongLong();
    song.loudness_lufs = optional_from(row.value(10));
    song.loudness_range_lu = optional_from(row.value(11));
    song.true_peak_dbtp = optional_from(row.value(12));
    song.loudness_setting = row.value(13).toString();
    song.gain_db = optional_from(row.value(14));
    song.overview = row.value(15).toByteArray();
    return song;
}

bool insert(CLibraryConnection& connection, const SLibrarySong& song)
{
    return connection.exec(
        QStringLiteral(
            "INSERT OR REPLACE INTO songs (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(kColumns),
        {song.product_id, song.slot, song.fingerprint, song.name, song.source_path, song.source_sha256,
         song.mono_mode, song.date.toUTC().toString(Qt::ISODate), song.seconds, qulonglong(song.stored_bytes),
         optional_value(song.loudness_lufs), optional_value(song.loudness_range_lu),
         optional_value(song.true_peak_dbtp), song.loudness_setting, optional_value(song.gain_db),
         song.overview.isEmpty() ? QVariant(QVariant::ByteArray) : QVariant(song.overview)});
}

bool remove(CLibraryConnection& connection, uint32_t product_id, unsigned int slot,
            const QString& fingerprint)
{
    return connection.exec(
        QStringLiteral("DELETE FROM songs WHERE product_id = ? AND slot = ? AND fingerprint = ?"),
        {product_id, slot, fingerprint});
}

// A file SQLite cannot read as a database, or whose pages are damaged.
bool looks_sound(CLibraryConnection& connection)
{
    QSqlQuery check = connection.query();
    return connection.select(check, QStringLiteral("PRAGMA quick_check")) && check.next() &&
           check.value(0).toString() == QLatin1String("ok");
}

}  // namespace

QString CSongLibrary::default_path()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/library.sqlite");
}

CSongLibrary::CSongLibrary(QString path) : m_path(std::move(path))
{
    set_wait({}, {});
}

void CSongLibrary::set_wait(Clock now, Pause pause)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_now = now ? std::move(now) : Clock(std::chrono::steady_clock::now);
    m_pause = pause ? std::move(pause)
                    : Pause([](std::chrono::milliseconds span) { std::this_thread::sleep_for(span); });
}

bool CSongLibrary::pause_for_busy(TimePoint deadline)
{
    // Short: another program's write is done in moments, and one writing song after song
    // leaves the lock free only for moments between them.
    constexpr auto kPause = std::chrono::milliseconds(5);
    if (m_gave_up || m_now() + kPause > deadline)
        return false;
    m_pause(kPause);
    return true;
}

void CSongLibrary::note_busy()
{
    m_gave_up = true;
    note(QStringLiteral("The song library is in use by another program; song names are not kept this time."));
}

CSongLibrary::EOpen CSongLibrary::open_and_migrate()
{
    CLibraryConnection connection(m_path);
    if (connection.is_open() && looks_sound(connection) &&
        connection.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && migrate_library(connection))
        return EOpen::READY;
    if (connection.was_busy())
        return EOpen::BUSY;
    CLogFile::get_instance()->log(LOG_LEVEL_ERROR, "Song library %s unusable: %s", qPrintable(m_path),
                                  qPrintable(connection.error().text()));
    return EOpen::DAMAGED;
}

CSongLibrary::EOpen CSongLibrary::open_waiting(TimePoint deadline)
{
    EOpen opened = open_and_migrate();
    while (opened == EOpen::BUSY && pause_for_busy(deadline))
        opened = open_and_migrate();
    return opened;
}

bool CSongLibrary::ready(TimePoint deadline)
{
    if (m_state != EState::UNCHECKED)
        return m_state == EState::READY;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    EOpen opened = open_waiting(deadline);
    if (opened == EOpen::DAMAGED && QFileInfo::exists(m_path)) {
        const QString aside = move_library_aside(m_path, QDate::currentDate());
        if (!aside.isEmpty()) {
            CLogFile::get_instance()->log(
                LOG_LEVEL_WARNING, "Song library moved aside as %s; a new one started", qPrintable(aside));
            note(QStringLiteral(
                     "The song library could not be read; it was set aside as %1 and a new one started.")
                     .arg(aside));
            opened = open_waiting(deadline);
        }
    }
    if (opened == EOpen::READY) {
        m_state = EState::READY;
        return true;
    }
    // A library another program holds for long is tried again at the next call.
    if (opened == EOpen::BUSY) {
        note_busy();
        return false;
    }
    note(
        QStringLiteral("The song library %1 cannot be used; song names are not kept this time.").arg(m_path));
    m_state = EState::UNUSABLE;
    return false;
}

bool CSongLibrary::usable()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return ready(call_deadline());
}

void CSongLibrary::note(const QString& text)
{
    if (!m_notes.contains(text))
        m_notes << text;
}

void CSongLibrary::note_failure(const CLibraryConnection& connection, const char* doing)
{
    CLogFile::get_instance()->log(LOG_LEVEL_ERROR, "Song library: %s failed: %s", doing,
                                  qPrintable(connection.error().text()));
    if (connection.was_busy())
        note_busy();
    else
        note(QStringLiteral("The song library could not be written: %1").arg(connection.error().text()));
}

std::vector<SLibrarySong> CSongLibrary::songs_where(const QString& condition,
                                                    std::initializer_list<QVariant> values)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<SLibrarySong> songs;
    if (!ready(call_deadline()))
        return songs;
    CLibraryConnection connection(m_path);
    QSqlQuery rows = connection.query();
    if (!connection.select(rows, QStringLiteral("SELECT %1 FROM songs WHERE %2").arg(kColumns, condition),
                           values)) {
        CLogFile::get_instance()->log(LOG_LEVEL_ERROR, "Song library: reading failed: %s",
                                      qPrintable(connection.error().text()));
        return songs;
    }
    while (rows.next())
        songs.push_back(song_from(rows));
    return songs;
}

std::vector<SLibrarySong> CSongLibrary::songs_of(uint32_t product_id)
{
    return songs_where(QStringLiteral("product_id = ?"), {product_id});
}

std::optional<SLibrarySong> CSongLibrary::find(uint32_t product_id, unsigned int slot,
                                               const QString& fingerprint)
{
    std::vector<SLibrarySong> found = songs_where(
        QStringLiteral("product_id = ? AND slot = ? AND fingerprint = ?"), {product_id, slot, fingerprint});
    return found.empty() ? std::nullopt : std::optional<SLibrarySong>(std::move(found.front()));
}

bool CSongLibrary::write(const std::function<bool(CLibraryConnection&)>& change, const char* doing)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const TimePoint deadline = call_deadline();
    if (!ready(deadline))
        return false;
    CLibraryConnection connection(m_path);
    bool begun = connection.begin_write();
    while (!begun && connection.was_busy() && pause_for_busy(deadline))
        begun = connection.begin_write();
    if (begun && change(connection) && connection.commit()) {
        m_gave_up = false;
        return true;
    }
    connection.roll_back();
    note_failure(connection, doing);
    return false;
}

bool CSongLibrary::record(const SLibrarySong& song, const QString& replaced_fingerprint)
{
    return write(
        [&](CLibraryConnection& connection) {
            return (replaced_fingerprint.isEmpty() ||
                    remove(connection, song.product_id, song.slot, replaced_fingerprint)) &&
                   insert(connection, song);
        },
        "recording a song");
}

bool CSongLibrary::rename(uint32_t product_id, unsigned int slot, const QString& fingerprint,
                          const QString& name)
{
    return write(
        [&](CLibraryConnection& connection) {
            const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
            return connection.exec(
                       QStringLiteral("INSERT OR IGNORE INTO songs (product_id, slot, fingerprint, "
                                      "recorded) VALUES (?, ?, ?, ?)"),
                       {product_id, slot, fingerprint, now}) &&
                   connection.exec(
                       QStringLiteral("UPDATE songs SET name = ? WHERE product_id = ? AND slot = ? "
                                      "AND fingerprint = ?"),
                       {name, product_id, slot, fingerprint});
        },
        "renaming a song");
}

bool CSongLibrary::forget(uint32_t product_id, unsigned int slot, const QString& fingerprint)
{
    return write(
        [&](CLibraryConnection& connection) { return remove(connection, product_id, slot, fingerprint); },
        "forgetting a song");
}

QString CSongLibrary::cached_sha256(const QString& path, qint64 size, qint64 modified_ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!ready(call_deadline()))
        return {};
    CLibraryConnection connection(m_path);
    QSqlQuery row = connection.query();
    if (!connection.select(row,
                           QStringLiteral("SELECT sha256 FROM file_hashes WHERE path = ? AND size = ? AND "
                                          "modified_ms = ?"),
                           {path, size, modified_ms}) ||
        !row.next())
        return {};
    return row.value(0).toString();
}

bool CSongLibrary::cache_sha256(const QString& path, qint64 size, qint64 modified_ms, const QString& sha256)
{
    return write(
        [&](CLibraryConnection& connection) {
            return connection.exec(QStringLiteral("INSERT OR REPLACE INTO file_hashes (path, size, "
                                                  "modified_ms, sha256) VALUES (?, ?, ?, ?)"),
                                   {path, size, modified_ms, sha256});
        },
        "caching a file's hash");
}

QStringList CSongLibrary::take_notes()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QStringList notes;
    notes.swap(m_notes);
    m_gave_up = false;
    return notes;
}
