#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "cli/terminal_prompt.h"
#include "core/backup/pedal_backup.h"
#include "core/backup/pedal_restore.h"

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
    return run_with_task(context, session, [&](CTask& task) {
        return restore_backup(session, context.options.arguments[0], context.options.restore_slots,
                              context.prompt, &task);
    });
}
