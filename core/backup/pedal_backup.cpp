#include "core/backup/pedal_backup.h"

#include "core/backup/backup_manifest.h"
#include "core/backup/previous_backup.h"
#include "core/online/update_server.h"
#include "core/pedal_session.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_records.h"
#include "device/usb_connect.h"
#include "songs/looper_song_data.h"
#include "support/slot_song_name.h"
#include "support/task.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <new>
#include <optional>
#include <vector>

namespace {

const QString kIncompleteSuffix = QStringLiteral(".incomplete");

std::unique_ptr<QFileDevice> open_plain_file(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        return nullptr;
    return file;
}

// Buffered bytes reach the disk only at the flush: a full disk shows there.
bool close_written(QFileDevice& file, bool written)
{
    written = written && file.flush() && file.error() == QFileDevice::NoError;
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

// A song file may be shared with later backups through hard links: the mode belongs to the
// file, so an accident in one backup cannot change it in another. A file system without
// modes (FAT) keeps the file as it is.
void make_read_only(const QString& path)
{
    static_cast<void>(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
}

class CBackupWriter {
public:
    CBackupWriter(const QString& folder, const SBackupOptions& options)
        : m_folder(folder),
          m_open(options.open_file ? options.open_file : BackupFileOpener(open_plain_file)),
          m_custom_open(bool(options.open_file))
    {
    }

    const QString& failed_file() const { return m_failed; }

    bool write(const QString& name, const QByteArray& bytes)
    {
        return write_with(name, [&](QFileDevice& file) { return file.write(bytes) == bytes.size(); });
    }

    bool write_with(const QString& name, const std::function<bool(QFileDevice&)>& fill)
    {
        const QString path = QDir(m_folder).filePath(name);
        std::unique_ptr<QFileDevice> file = m_open(path);
        if (file && close_written(*file, fill(*file))) {
            make_read_only(path);
            return true;
        }
        m_failed = name;
        return false;
    }

    // The file at `from` as `name`: a hard link, or a copy through the opener.
    bool take(const QString& name, const QString& from)
    {
        if (!m_custom_open && link_or_copy(from, QDir(m_folder).filePath(name))) {
            make_read_only(QDir(m_folder).filePath(name));
            return true;
        }
        QFile source(from);
        return source.open(QIODevice::ReadOnly) && write(name, source.readAll());
    }

private:
    QString m_folder;
    BackupFileOpener m_open;
    // Tests hand out failing files: a link would pass by them.
    bool m_custom_open;
    QString m_failed;
};

SBackupManifest manifest_of(const CPedalSession& session)
{
    const CUSBConnect& link = session.link();
    const SModelInfo* model = link.model_info();
    SBackupManifest manifest;
    manifest.program_version = QString::number(double(UPDATE_SERVER::own_program_version()), 'f', 1);
    manifest.date = QDateTime::currentDateTime();
    manifest.model_name = QString::fromLatin1(model->model_name);
    manifest.product_id = link.product_id();
    manifest.firmware_version = link.firmware_version();
    manifest.slot_format = SSlotFormat::of_model(*model);
    manifest.slot_count = session.songs().slot_count();
    return manifest;
}

// A slot's entry before its song is read: its number, what the library knows of it, and
// the fingerprint and block sums a later backup compares with. Sums that cannot be read
// leave the entry without both, and the next backup reads the slot.
SBackupSlot slot_entry(CPedalSession& session, unsigned int slot)
{
    SBackupSlot entry;
    entry.number = slot + 1;
    if (const std::optional<SLibrarySong> known = known_song(session, int(slot)))
        entry.facts = *known;
    if (session.songs().slot_block_sums(slot, entry.block_sums))
        entry.fingerprint = session.slot_fingerprint(int(slot));
    else
        entry.block_sums.clear();
    return entry;
}

// The song file, and its WAV copy when asked for; `entry` gets the length and hash.
bool write_song(CBackupWriter& writer, SBackupSlot& entry, const QByteArray& bytes,
                const SNandFlashConfig& format, bool wav)
{
    entry.length = uint32_t(bytes.size());
    entry.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    // The pedal's last block beyond the song's bytes, so that a later backup can prove the
    // file from its bytes and the pedal's sums.
    if (!entry.block_sums.empty())
        entry.tail_sum = uint16_t(entry.block_sums.back().sum -
                                  proven_block_sums(format, entry.block_sums, bytes, 0).back().sum);
    return writer.write(SBackupManifest::song_file_name(entry.number), bytes) &&
           (!wav ||
            writer.write_with(
                SBackupManifest::wav_file_name(entry.number, entry.facts.name), [&](QFileDevice& file) {
                    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
                    return save_song_as_wav(format, std::vector<unsigned char>(data, data + bytes.size()),
                                            file);
                }));
}

// The unchanged song's file from the earlier backup, linked where the file system allows;
// its WAV copy is made afresh, as its name may have changed.
bool take_song(CBackupWriter& writer, SBackupSlot& entry, const SBackupSlot& kept,
               const CPreviousBackup& previous, const SNandFlashConfig& format, bool wav)
{
    entry.length = kept.length;
    entry.sha256 = kept.sha256;
    entry.tail_sum = kept.tail_sum;
    if (!wav)
        return writer.take(SBackupManifest::song_file_name(entry.number), previous.song_path(kept));
    QFile file(previous.song_path(kept));
    return file.open(QIODevice::ReadOnly) && write_song(writer, entry, file.readAll(), format, wav);
}

COperationResult write_failed(const QString& folder, const QString& file)
{
    return COperationResult::summary(
        false,
        QStringLiteral("The backup could not be written: '%1' failed (is the disk full?); it was removed.")
            .arg(QDir(folder).filePath(file)));
}

}  // namespace

QString backup_folder_name(const QString& model_name, const QDateTime& when)
{
    return QStringLiteral("Tandora backup %1 %2")
        .arg(model_name, when.toString(QStringLiteral("yyyy-MM-dd HH-mm")));
}

QString backup_target_problem(const QString& folder)
{
    const QFileInfo target(folder);
    if (!target.exists())
        return {};
    if (!target.isDir())
        return QStringLiteral("'%1' exists and is not a folder.").arg(folder);
    if (!QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return QStringLiteral("'%1' is not empty; a backup needs a new or empty folder.").arg(folder);
    return {};
}

COperationResult backup_pedal(CPedalSession& session, const QString& folder, const SBackupOptions& options,
                              CTask* task)
{
    const SNandFlashConfig* format = session.song_format();
    if (!format)
        return COperationResult::song(LOOPER_RESULT_NOT_SUPPORTED);
    const QString problem = backup_target_problem(folder);
    if (!problem.isEmpty())
        return COperationResult::summary(false, problem);
    const QString final_path = QFileInfo(folder).absoluteFilePath();
    // An empty folder that exists (a fresh USB stick's mount point) is written in place,
    // marked incomplete until the end: a folder made beside it would lie on the parent's
    // file system, from where no rename reaches it. A new folder is made under a
    // temporary name and renamed when whole.
    const bool in_place = QFileInfo(final_path).isDir();
    const QString work = in_place ? final_path : final_path + kIncompleteSuffix;
    if (!in_place) {
        // Left by a backup the program could not clean up after (it was killed), or
        // something of the user's: either way not ours to delete.
        if (QFileInfo::exists(work))
            return COperationResult::summary(
                false,
                QStringLiteral(
                    "'%1' is in the way, perhaps left by an interrupted backup; remove it and try again.")
                    .arg(work));
        if (!QDir().mkpath(work))
            return COperationResult::summary(
                false, QStringLiteral("The backup folder '%1' cannot be created.").arg(work));
    }
    // The folder in place was empty: whatever is in it now is this backup's.
    auto abandon = [&work, in_place](COperationResult result) {
        QDir dir(work);
        if (in_place) {
            for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
                dir.remove(name);
        } else {
            dir.removeRecursively();
        }
        return result;
    };

    std::optional<CPreviousBackup> previous;
    QStringList notes;
    if (!options.since.isEmpty()) {
        QString why;
        previous = CPreviousBackup::open(session, options.since, why);
        if (!previous)
            notes << QStringLiteral(
                         "The earlier backup in '%1' is not used: %2 Every song is read from the pedal.")
                         .arg(options.since, why);
    }
    SBackupManifest manifest = manifest_of(session);
    std::vector<unsigned int> occupied;
    uint64_t total = 0;
    for (unsigned int slot = 0; slot < manifest.slot_count; ++slot) {
        if (session.slot_holds_song(static_cast<int>(slot))) {
            occupied.push_back(slot);
            total += session.songs().get_file_length(slot);
        }
    }
    if (task)
        task->set_bytes_total(total);

    CBackupWriter writer(work, options);
    if (in_place && !writer.write(SBackupManifest::kIncompleteMarker, {}))
        return abandon(write_failed(final_path, writer.failed_file()));
    QStringList unreadable;
    unsigned int taken = 0;
    uint64_t done = 0;
    for (size_t i = 0; i < occupied.size(); ++i) {
        const unsigned int slot = occupied[i];
        const unsigned int length = session.songs().get_file_length(slot);
        if (task) {
            task->set_part(static_cast<unsigned>(i + 1), static_cast<unsigned>(occupied.size()));
            task->set_percent_range(static_cast<int>(100 * done / std::max<uint64_t>(total, 1)),
                                    static_cast<int>(100 * (done + length) / std::max<uint64_t>(total, 1)));
        }
        done += length;
        if (task_cancelled(task))
            return abandon(COperationResult::cancelled());
        SBackupSlot entry = slot_entry(session, slot);
        if (const SBackupSlot* kept = previous ? previous->unchanged(length, entry.block_sums) : nullptr) {
            if (!take_song(writer, entry, *kept, *previous, *format, options.wav))
                return abandon(write_failed(final_path, writer.failed_file()));
            manifest.songs.push_back(entry);
            ++taken;
            continue;
        }
        // The length comes from the pedal's record: a damaged one must not end the program.
        std::unique_ptr<unsigned char[]> song(new (std::nothrow) unsigned char[length]);
        const ELooperActionResult read =
            song ? session.songs().read_file(slot, song.get(), length, task) : LOOPER_RESULT_READ_FAILED;
        if (read == LOOPER_RESULT_CANCELLED)
            return abandon(COperationResult::cancelled());
        entry.readable = read == LOOPER_RESULT_OK;
        if (!entry.readable) {
            unreadable << slot_song_name(slot);
            manifest.songs.push_back(entry);
            continue;
        }
        const std::optional<SLoudness> figures = record_read(session, int(slot), song.get(), length);
        if (figures && entry.facts.loudness_lufs && !entry.facts.true_peak_dbtp)
            entry.facts.true_peak_dbtp = figures->true_peak_dbtp;
        const QByteArray bytes =
            QByteArray::fromRawData(reinterpret_cast<const char*>(song.get()), int(length));
        if (!write_song(writer, entry, bytes, *format, options.wav))
            return abandon(write_failed(final_path, writer.failed_file()));
        manifest.songs.push_back(entry);
    }
    if (!writer.write(SBackupManifest::kFileName, manifest.to_json()))
        return abandon(write_failed(final_path, writer.failed_file()));
    if (in_place ? !QDir(work).remove(SBackupManifest::kIncompleteMarker) : !QDir().rename(work, final_path))
        return abandon(COperationResult::summary(
            false, QStringLiteral("The finished backup could not be completed in '%1'.").arg(final_path)));

    COperationResult result =
        unreadable.isEmpty()
            ? COperationResult::summary(
                  true,
                  QStringLiteral("Backup complete: %1 songs in '%2'.").arg(occupied.size()).arg(final_path))
            : COperationResult::summary(false, QStringLiteral("Incomplete backup: %1 could not be read.")
                                                  .arg(unreadable.join(QStringLiteral(", "))))
                  .with_detail(QStringLiteral("The other songs are in '%1'.").arg(final_path));
    if (previous && unreadable.isEmpty())
        result = result.with_detail(
            QStringLiteral("%1 unchanged songs were taken from '%2'.").arg(taken).arg(options.since));
    return result.with_notes_before(notes);
}
