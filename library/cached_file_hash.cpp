#include "library/cached_file_hash.h"

#include "library/song_library.h"
#include "support/file_hash.h"

#include <QDateTime>
#include <QFileInfo>

QString cached_file_sha256(CSongLibrary& library, const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    const QString absolute = info.absoluteFilePath();
    const qint64 modified_ms = info.lastModified().toMSecsSinceEpoch();
    const QString cached = library.cached_sha256(absolute, info.size(), modified_ms);
    if (!cached.isEmpty())
        return cached;
    const QString sha256 = file_sha256(path);
    if (!sha256.isEmpty())
        library.cache_sha256(absolute, info.size(), modified_ms, sha256);
    return sha256;
}

void remember_file_sha256(CSongLibrary& library, const QString& path, const QString& sha256)
{
    const QFileInfo info(path);
    if (!sha256.isEmpty() && info.isFile())
        library.cache_sha256(info.absoluteFilePath(), info.size(), info.lastModified().toMSecsSinceEpoch(), sha256);
}
