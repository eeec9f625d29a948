#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "cli/terminal_prompt.h"
#include "core/set_list/set_list_sync.h"

int run_sync(SCliContext& context, CPedalSession& session)
{
    SSyncOptions options;
    options.first_slot = context.options.first_slot;
    options.delete_extra = context.options.delete_extra;
    options.settings = context.options.import_settings;
    options.settings_origin = ESettingsOrigin::COMMAND_LINE;
    const QString& set_list = context.options.arguments[0];
    return run_with_task(context, session, [&](CTask& task) {
        return context.options.plan ? plan_set_list_sync(session, set_list, options, &task)
                                    : sync_set_list(session, set_list, options, context.prompt, &task);
    });
}
