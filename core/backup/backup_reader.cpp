#include "core/backup/backup_reader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// Song files are read whole; a restore holds one song at a time.
std::optional<QByteArray> read_whole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool matches(const QByteArray& bytes, const SBackupSlot& slot)
{
    return uint64_t(bytes.size()) == slot.length &&
           QCryptographicHash::hash(bytes, QCryptographicHash::Sha256) == slot.sha256;
}

}  // namespace

std::optional<SBackupManifest> read_backup(const QString& folder, QString& why)
{
    const QDir dir(folder);
    if (!dir.exists()) {
        why = QStringLiteral("'%1' does not exist.").arg(folder);
        return std::nullopt;
    }
    if (QFile::exists(dir.filePath(SBackupManifest::kIncompleteMarker))) {
        why = QStringLiteral("'%1' holds an incomplete backup: it was stopped before its end.").arg(folder);
        return std::nullopt;
    }
    const std::optional<QByteArray> json = read_whole(dir.filePath(SBackupManifest::kFileName));
    if (!json) {
        why = QStringLiteral("'%1' is not a Tandora backup: it has no readable %2.")
                  .arg(folder, SBackupManifest::kFileName);
        return std::nullopt;
    }
    std::optional<SBackupManifest> manifest = SBackupManifest::from_json(*json, why);
    if (!manifest)
        return std::nullopt;

    QStringList listed;
    for (const SBackupSlot& slot : manifest->songs) {
        if (!slot.readable)
            continue;
        const QString name = SBackupManifest::song_file_name(slot.number);
        listed << name;
        if (!read_backup_song(folder, slot)) {
            why = QFile::exists(dir.filePath(name))
                      ? QStringLiteral("'%1' does not match the manifest: its length or SHA-256 differs.")
                            .arg(name)
                      : QStringLiteral("'%1' named in the manifest is missing.").arg(name);
            return std::nullopt;
        }
    }
    static const QRegularExpression song_file(QStringLiteral("^Song \\d{3}\\.raw$"));
    for (const QString& name : dir.entryList(QDir::Files)) {
        if (song_file.match(name).hasMatch() && !listed.contains(name)) {
            why = QStringLiteral("'%1' is not in the manifest: the manifest does not match the song files.")
                      .arg(name);
            return std::nullopt;
        }
    }
    return manifest;
}

std::optional<QByteArray> read_backup_song(const QString& folder, const SBackupSlot& slot)
{
    std::optional<QByteArray> bytes =
        read_whole(QDir(folder).filePath(SBackupManifest::song_file_name(slot.number)));
    if (!bytes || !matches(*bytes, slot))
        return std::nullopt;
    return bytes;
}
