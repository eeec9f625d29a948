#include "cli/cli_output.h"

#include "cli/interrupt.h"
#include "cli/terminal_progress.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "support/task.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>

int fail_with(SCliContext& context, int code, const QString& text)
{
    std::fprintf(context.err, "%s\n", text.toUtf8().constData());
    std::fflush(context.err);
    return code;
}

int fail_in_kind(SCliContext& context, int code, const QString& text)
{
    if (!context.options.json)
        return fail_with(context, code, text);
    const QJsonDocument document(QJsonObject{{"error", text}});
    print_line(context, QString::fromUtf8(document.toJson(QJsonDocument::Compact)));
    return code;
}

int not_a_file(SCliContext& context, const QString& path)
{
    return fail_with(context, CLI_EXIT_FAILED,
                     QStringLiteral("'%1' is not a file that can be read.").arg(path));
}

int declined(SCliContext& context)
{
    return fail_with(context, CLI_EXIT_FAILED, QStringLiteral("Nothing changed."));
}

void print_errors(SCliContext& context, const QStringList& texts)
{
    for (const QString& text : texts)
        fail_with(context, CLI_EXIT_FAILED, text);
}

void print_line(SCliContext& context, const QString& text)
{
    std::fprintf(context.out, "%s\n", text.toUtf8().constData());
    std::fflush(context.out);
}

int parse_slot(SCliContext& context, const QString& text, const CPedalSession& session)
{
    bool number = false;
    const int slot = text.toInt(&number);
    const int count = static_cast<int>(pedal_identity(session).slot_count);
    if (!number || slot < 1 || slot > count) {
        fail_with(
            context, CLI_EXIT_USAGE,
            QStringLiteral("Slot '%1' does not exist: this pedal has slots 1 to %2.").arg(text).arg(count));
        return -1;
    }
    return slot - 1;
}

int parse_song_slot(SCliContext& context, const QString& text, const CPedalSession& session, int& slot)
{
    slot = parse_slot(context, text, session);
    if (slot < 0)
        return CLI_EXIT_USAGE;
    if (!session.slot_holds_song(slot))
        return fail_with(context, CLI_EXIT_FAILED, QStringLiteral("Slot %1 holds no song.").arg(slot + 1));
    return CLI_EXIT_OK;
}

COperationResult run_task(SCliContext& context, CPedalSession& session,
                          const std::function<COperationResult(CTask&)>& work)
{
    CTask task;
    CTerminalProgress progress(task, context.terminal, context.options.quiet ? nullptr : context.err,
                               context.on_task_step);
    context.interrupt.watch(&task);
    const COperationResult result = session.with_notes(work(task));
    context.interrupt.watch(nullptr);
    return result;
}

int report(SCliContext& context, const COperationResult& result)
{
    print_errors(context, result.notes());
    if (result.kind() == COperationResult::EKind::DECLINED)
        return declined(context);
    QString text = result.text();
    if (!result.detail().isEmpty())
        text += '\n' + result.detail();
    if (result.ok()) {
        if (!context.options.quiet)
            print_line(context, text);
        return CLI_EXIT_OK;
    }
    const bool cancelled = result.kind() == COperationResult::EKind::CANCELLED;
    return fail_with(context, cancelled ? CLI_EXIT_CANCELLED : CLI_EXIT_FAILED, text);
}

int run_with_task(SCliContext& context, CPedalSession& session,
                  const std::function<COperationResult(CTask&)>& work)
{
    return report(context, run_task(context, session, work));
}

QJsonObject loudness_json(const SLoudness& loudness)
{
    const auto figure = [](std::optional<double> value) {
        return value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue();
    };
    return QJsonObject{{"integrated_lufs", figure(loudness.integrated_lufs)},
                       {"range_lu", figure(loudness.range_lu)},
                       {"true_peak_dbtp", figure(loudness.true_peak_dbtp)}};
}
