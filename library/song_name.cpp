#include "library/song_name.h"

namespace {

bool has_control(const QString& text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

}  // namespace

std::optional<QString> valid_song_name(const QString& text)
{
    const QString name = text.trimmed();
    if (name.size() > kSongNameMax || has_control(name))
        return std::nullopt;
    return name;
}

QString song_name_rule_text()
{
    return QStringLiteral("A song name has at most %1 characters and no control characters.")
        .arg(kSongNameMax);
}

QString song_name_from(const QString& text)
{
    QString name = text;
    for (QChar& c : name)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    name = name.simplified().left(kSongNameMax);
    return name.trimmed();
}

QString file_safe_name(const QString& name)
{
    static const QString kRefused = QStringLiteral("/\\:*?\"<>|");
    QString safe = name;
    for (QChar& c : safe)
        if (kRefused.contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    while (!safe.isEmpty() && (safe.endsWith(QLatin1Char('.')) || safe.endsWith(QLatin1Char(' '))))
        safe.chop(1);
    return safe;
}
