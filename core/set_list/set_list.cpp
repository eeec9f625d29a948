#include "core/set_list/set_list.h"

#include "audio/song_import.h"
#include "library/song_name.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <set>

namespace {

// No pedal has more slots; a larger number would only overflow the shifted slots.
constexpr unsigned int kMaxListSlot = 9999;
// Thousands of songs take a few hundred kilobytes; more is not a set list.
constexpr qint64 kMaxListBytes = qint64{4} << 20;

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

// The songs shifted by `first_slot`, unless the list is empty or gives a slot twice.
std::optional<std::vector<SSetListSong>> placed(std::vector<SSetListSong> songs, unsigned int first_slot,
                                                QString& why)
{
    if (songs.empty()) {
        why = QStringLiteral("The set list names no audio file.");
        return std::nullopt;
    }
    if (first_slot < 1 || first_slot > kMaxListSlot) {
        why = QStringLiteral("The first slot is a number from 1 to %1.").arg(kMaxListSlot);
        return std::nullopt;
    }
    std::set<unsigned int> taken;
    for (SSetListSong& song : songs) {
        song.slot += first_slot - 1;
        if (!taken.insert(song.slot).second) {
            why = QStringLiteral("The set list puts two songs into slot %1.").arg(song.slot + 1);
            return std::nullopt;
        }
    }
    return songs;
}

std::optional<std::vector<SSetListSong>> text_songs(const QString& path, unsigned int first_slot,
                                                    QString& why)
{
    // A pipe or a device would block the open, or never end.
    if (!QFileInfo(path).isFile()) {
        why = QStringLiteral("The set list %1 is not a regular file.").arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("The set list %1 cannot be read.").arg(path);
        return std::nullopt;
    }
    const QByteArray text = file.read(kMaxListBytes + 1);
    if (text.size() > kMaxListBytes) {
        why = QStringLiteral("The set list %1 is larger than 4 MiB.").arg(path);
        return std::nullopt;
    }
    return parse_set_list(text, QFileInfo(path).absolutePath(), first_slot, why);
}

}  // namespace

std::optional<std::vector<SSetListSong>> parse_set_list(const QByteArray& text, const QString& folder,
                                                        unsigned int first_slot, QString& why)
{
    const QDir base(folder);
    const QRegularExpression slot_line(QStringLiteral("^#SLOT\\s+(\\S+)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    std::vector<SSetListSong> songs;
    unsigned int next_slot = 0;
    QString title;
    // Editors on Windows start UTF-8 play lists with a byte order mark.
    const QByteArray utf8 = text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text;
    const QStringList lines =
        QString::fromUtf8(utf8).split(QRegularExpression(QStringLiteral("\\r\\n|\\n|\\r")));
    for (int number = 1; number <= lines.size(); ++number) {
        const QString line = lines[number - 1].trimmed();
        const QRegularExpressionMatch slot = slot_line.match(line);
        if (slot.hasMatch()) {
            bool ok = false;
            const unsigned int given = slot.captured(1).toUInt(&ok);
            if (!ok || given < 1 || given > kMaxListSlot) {
                why = QStringLiteral("Line %1 of the set list: #SLOT takes a slot number from 1 to %2.")
                          .arg(number)
                          .arg(kMaxListSlot);
                return std::nullopt;
            }
            next_slot = given - 1;
        } else if (line.startsWith(QLatin1String("#EXTINF:"), Qt::CaseInsensitive)) {
            title = song_name_from(line.section(QLatin1Char(','), 1));
        } else if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            songs.push_back({next_slot++, QDir::cleanPath(base.absoluteFilePath(line)), title});
            title.clear();
        }
    }
    return placed(std::move(songs), first_slot, why);
}

std::optional<std::vector<SSetListSong>> read_set_list(const QString& path, unsigned int first_slot,
                                                       QString& why)
{
    if (QFileInfo(path).isDir())
        return placed(folder_songs(path), first_slot, why);
    return text_songs(path, first_slot, why);
}
