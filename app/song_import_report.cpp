#include "app/song_import_report.h"

#include "support/slot_song_name.h"

#include <QFileInfo>

namespace {

QString file_names(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names << QFileInfo(path).fileName();
    return names.join(QStringLiteral(", "));
}

}  // namespace

QString song_import_report(int first_slot, const QStringList& paths,
                           const std::vector<COperationResult>& results, const QStringList& past_end)
{
    QStringList lines;
    for (size_t i = 0; i < results.size() && i < size_t(paths.size()); ++i) {
        const COperationResult& result = results[i];
        lines << slot_song_name(unsigned(first_slot) + unsigned(i)) + QStringLiteral(": ") +
                     QFileInfo(paths[int(i)]).fileName() + QStringLiteral(" \u2014 ") + result.text();
        if (!result.detail().isEmpty())
            lines << result.detail();
    }
    if (!past_end.isEmpty())
        lines << QStringLiteral("Not imported, no slot left after the last: %1").arg(file_names(past_end));
    return lines.join(QLatin1Char('\n'));
}
