#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "cli/terminal_prompt.h"
#include "core/backup/pedal_backup.h"
#include "core/backup/pedal_restore.h"

#include <optional>
#include <vector>

namespace {

// "1,3-5" as 0-based slots 0, 2, 3, 4; nothing when a part is not a number or a range.
std::optional<std::vector<unsigned int>> parse_slot_list(const QString& text)
{
    std::vector<unsigned int> chosen;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        bool first_ok = false;
        bool last_ok = false;
        const unsigned int first = ends.value(0).toUInt(&first_ok);
        const unsigned int last = ends.size() == 2 ? ends[1].toUInt(&last_ok) : first;
        last_ok = ends.size() == 1 ? first_ok : last_ok;
        if (ends.size() > 2 || !first_ok || !last_ok || first < 1 || last < first)
            return std::nullopt;
        for (unsigned int slot = first; slot <= last; ++slot)
            chosen.push_back(slot - 1);
    }
    return chosen;
}

}  // namespace

int run_backup(SCliContext& context, CPedalSession& session)
{
    const QString folder = context.options.arguments[0];
    const QString problem = backup_target_problem(folder);
    if (!problem.isEmpty())
        return fail_with(context, CLI_EXIT_FAILED, problem);
    SBackupOptions options;
    options.wav = context.options.wav;
    options.since = context.options.since;
    return run_with_task(context, session,
                         [&](CTask& task) { return backup_pedal(session, folder, options, &task); });
}

int run_restore(SCliContext& context, CPedalSession& session)
{
    std::vector<unsigned int> only;
    if (!context.options.slot_list.isEmpty()) {
        const std::optional<std::vector<unsigned int>> listed = parse_slot_list(context.options.slot_list);
        if (!listed)
            return fail_with(context, CLI_EXIT_USAGE,
                             QStringLiteral("--slots takes slot numbers and ranges such as 1,3-5, not '%1'.")
                                 .arg(context.options.slot_list));
        only = *listed;
    }
    return run_with_task(context, session, [&](CTask& task) {
        return restore_backup(session, context.options.arguments[0], only, context.prompt, &task);
    });
}
