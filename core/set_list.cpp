#include "core/set_list.h"

#include "audio/song_import.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <set>

namespace {

// "*.wav", "*.mp3" ...: the patterns of the Import dialog's filter, so a folder yields
// exactly what the dialog would offer.
QStringList audio_patterns()
{
    const QString filter = QString::fromLatin1(kAudioFileFilter);
    const int open = filter.indexOf(QLatin1Char('('));
    return filter.mid(open + 1, filter.indexOf(QLatin1Char(')')) - open - 1).split(QLatin1Char(' '));
}

std::vector<SSetListSong> folder_songs(const QString& path)
{
    std::vector<SSetListSong> songs;
    const QDir folder(path);
    const QStringList names =
        folder.entryList(audio_patterns(), QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (unsigned int i = 0; i < unsigned(names.size()); ++i)
        songs.push_back({i, folder.absoluteFilePath(names[int(i)]), {}});
    return songs;
}

std::optional<std::vector<SSetListSong>> text_songs(const QString& path, QString& why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        why = QStringLiteral("The set list %1 cannot be read.").arg(path);
        return std::nullopt;
    }
    const QDir folder = QFileInfo(path).absoluteDir();
    QTextStream text(&file);
    text.setCodec("UTF-8");
    const QRegularExpression slot_line(QStringLiteral("^#SLOT\\s+(\\S+)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    std::vector<SSetListSong> songs;
    unsigned int next_slot = 0;
    QString title;
    for (int number = 1; !text.atEnd(); ++number) {
        const QString line = text.readLine().trimmed();
        const QRegularExpressionMatch slot = slot_line.match(line);
        if (slot.hasMatch()) {
            bool ok = false;
            const unsigned int given = slot.captured(1).toUInt(&ok);
            if (!ok || given < 1) {
                why =
                    QStringLiteral("Line %1 of the set list: #SLOT takes a slot number from 1.").arg(number);
                return std::nullopt;
            }
            next_slot = given - 1;
        } else if (line.startsWith(QLatin1String("#EXTINF:"), Qt::CaseInsensitive)) {
            title = line.section(QLatin1Char(','), 1).trimmed();
        } else if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            songs.push_back({next_slot++, QDir::cleanPath(folder.absoluteFilePath(line)), title});
            title.clear();
        }
    }
    return songs;
}

}  // namespace

std::optional<std::vector<SSetListSong>> read_set_list(const QString& path, unsigned int first_slot,
                                                       QString& why)
{
    std::optional<std::vector<SSetListSong>> songs =
        QFileInfo(path).isDir() ? folder_songs(path) : text_songs(path, why);
    if (!songs)
        return std::nullopt;
    if (songs->empty()) {
        why = QStringLiteral("The set list %1 names no audio file.").arg(path);
        return std::nullopt;
    }
    std::set<unsigned int> taken;
    for (SSetListSong& song : *songs) {
        song.slot += first_slot - 1;
        if (!taken.insert(song.slot).second) {
            why = QStringLiteral("The set list puts two songs into slot %1.").arg(song.slot + 1);
            return std::nullopt;
        }
    }
    return songs;
}
