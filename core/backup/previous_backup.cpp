#include "core/backup/previous_backup.h"

#include "core/backup/backup_reader.h"
#include "core/pedal_session.h"

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

CPreviousBackup::CPreviousBackup(QString folder, SBackupManifest manifest, const SNandFlashConfig& format)
    : m_folder(std::move(folder)), m_manifest(std::move(manifest)), m_format(format)
{
}

std::optional<CPreviousBackup> CPreviousBackup::open(const CPedalSession& session, const QString& folder,
                                                     QString& why)
{
    std::optional<SBackupManifest> manifest = read_backup(folder, why);
    if (!manifest)
        return std::nullopt;
    const SNandFlashConfig* format = session.song_format();
    if (manifest->product_id != session.product_id() || !format) {
        why = QStringLiteral("it is a backup of a %1.").arg(manifest->model_name);
        return std::nullopt;
    }
    return CPreviousBackup(folder, std::move(*manifest), *format);
}

const SBackupSlot* CPreviousBackup::unchanged(uint32_t length, const std::vector<SBlockRunSum>& sums) const
{
    if (sums.empty())
        return nullptr;
    for (const SBackupSlot& entry : m_manifest.songs) {
        const bool same_sums =
            std::equal(sums.begin(), sums.end(), entry.block_sums.begin(), entry.block_sums.end(),
                       [](const SBlockRunSum& a, const SBlockRunSum& b) {
                           return a.first_block == b.first_block && a.blocks == b.blocks && a.sum == b.sum;
                       });
        if (entry.readable && entry.length == length && same_sums && song_file_proven(entry))
            return &entry;
    }
    return nullptr;
}

bool CPreviousBackup::song_file_proven(const SBackupSlot& entry) const
{
    // A link would share, and a read follow, whatever a symlink points at.
    const QFileInfo info(song_path(entry));
    if (info.isSymLink() || !info.isFile() || info.size() != qint64(entry.length))
        return false;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(qint64(entry.length) + 1);
    return bytes.size() == qint64(entry.length) &&
           proven_block_sums(m_format, entry.block_sums, bytes, entry.tail_sum) == entry.block_sums;
}

QString CPreviousBackup::song_path(const SBackupSlot& entry) const
{
    return QDir(m_folder).filePath(SBackupManifest::song_file_name(entry.number));
}

QString latest_backup_in(const QString& parent, uint32_t product_id)
{
    QString latest;
    QDateTime latest_date;
    for (const QString& name : QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = QDir(parent).filePath(name);
        QFile file(QDir(folder).filePath(SBackupManifest::kFileName));
        QString why;
        const std::optional<SBackupManifest> manifest =
            file.open(QIODevice::ReadOnly) ? SBackupManifest::from_json(file.readAll(), why) : std::nullopt;
        if (manifest && manifest->product_id == product_id &&
            !QFile::exists(QDir(folder).filePath(SBackupManifest::kIncompleteMarker)) &&
            (latest.isEmpty() || manifest->date > latest_date)) {
            latest = folder;
            latest_date = manifest->date;
        }
    }
    return latest;
}

bool link_or_copy(const QString& from, const QString& to)
{
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ||
           QFile::copy(from, to);
}
