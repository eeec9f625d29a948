#include "library/library_aside.h"

#include <QFile>
#include <QFileInfo>

QString move_library_aside(const QString& path, const QDate& date)
{
    const QString stem = path + QStringLiteral(".broken-") + date.toString(Qt::ISODate);
    QString aside = stem;
    for (int copy = 2; QFile::exists(aside); ++copy)
        aside = stem + QStringLiteral("-%1").arg(copy);
    if (!QFile::rename(path, aside))
        return {};
    for (const char* companion : {"-wal", "-shm"}) {
        const QString from = path + QLatin1String(companion);
        if (QFile::exists(from) && !QFile::rename(from, aside + QLatin1String(companion)))
            QFile::remove(from);
    }
    return QFileInfo(aside).fileName();
}
