#include "audio/song_loudness.h"
#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "core/song_commands/slot_loudness.h"
#include "support/slot_song_name.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

// "−1.2" with the minus sign the loudness texts use.
QString signed_figure(double value)
{
    const QString digits = QString::number(std::fabs(value), 'f', 1);
    return (std::round(value * 10) < 0 ? QStringLiteral("\u2212") : QString()) + digits;
}

// "Song 004  −14.2 LUFS  range 6.1 LU  true peak −1.2 dBTP", the peak only when measured.
QString figures_line(const SSlotLoudness& figures)
{
    QString line = QStringLiteral("%1  %2  range %3 LU")
                       .arg(slot_song_name(figures.slot), loudness_text(figures.loudness.integrated_lufs))
                       .arg(figures.loudness.range_lu, 0, 'f', 1);
    if (figures.loudness.true_peak_dbtp)
        line += QStringLiteral("  true peak %1 dBTP").arg(signed_figure(*figures.loudness.true_peak_dbtp));
    return line;
}

QJsonObject figures_json(const SSlotLoudness& figures)
{
    QJsonObject object = loudness_json(figures.loudness);
    object.insert("slot", int(figures.slot + 1));
    object.insert("read_now", figures.read_now);
    return object;
}

}  // namespace

int run_loudness(SCliContext& context, CPedalSession& session)
{
    std::vector<unsigned int> chosen;
    if (context.options.all) {
        for (const SSlotLine& line : slot_lines(session))
            if (line.holds_song)
                chosen.push_back(line.slot);
    }
    for (const QString& argument : context.options.arguments) {
        int slot = -1;
        const int parsed = parse_song_slot(context, argument, session, slot);
        if (parsed != CLI_EXIT_OK)
            return parsed;
        chosen.push_back(unsigned(slot));
    }
    const QString notice = loudness_read_notice(session, chosen);
    if (!notice.isEmpty() && !context.options.quiet)
        print_errors(context, {notice});
    return run_with_task(context, session, [&](CTask& task) {
        std::vector<SSlotLoudness> figures;
        const COperationResult measured = measure_slots(session, chosen, &task, figures);
        if (!measured.ok())
            return measured;
        QStringList lines;
        QJsonArray listed;
        for (const SSlotLoudness& slot : figures) {
            lines << figures_line(slot);
            listed.append(figures_json(slot));
        }
        return COperationResult::library(
            true, context.options.json ? QString::fromUtf8(QJsonDocument(listed).toJson()).trimmed()
                                       : lines.join(QLatin1Char('\n')));
    });
}
