#include "audio/title_tag.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <QFile>

QString title_tag(const QString& path)
{
    // Audio properties are not read: a title needs the tags alone.
    const TagLib::FileRef file(QFile::encodeName(path).constData(), false);
    if (file.isNull() || !file.tag())
        return {};
    return QString::fromStdWString(file.tag()->title().toWString()).trimmed();
}
