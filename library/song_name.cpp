#include "library/song_name.h"

#include <QVector>

namespace {

bool has_control(const QString& text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

// Characters as the user counts them: a character outside the basic plane is one, not the
// two UTF-16 units it takes.
int character_count(const QString& text)
{
    return text.toUcs4().size();
}

QString first_characters(const QString& text, int count)
{
    const QVector<uint> characters = text.toUcs4();
    return characters.size() <= count ? text : QString::fromUcs4(characters.constData(), count);
}

}  // namespace

std::optional<QString> valid_song_name(const QString& text)
{
    const QString name = text.trimmed();
    if (character_count(name) > kSongNameMax || has_control(name))
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
    return first_characters(name.simplified(), kSongNameMax).trimmed();
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
