#include "cli/cli_context.h"
#include "cli/terminal_prompt.h"
#include "core/set_list/set_list_sync.h"

int run_sync(SCliContext& context, CPedalSession& session)
{
    SSyncOptions options;
    options.first_slot = context.options.first_slot;
    options.delete_extra = context.options.delete_extra;
    options.settings = context.options.import_settings;
    CQuestions* questions = context.options.plan ? nullptr : &context.prompt;
    return run_with_task(context, session, [&](CTask& task) {
        return sync_set_list(session, context.options.arguments[0], options, questions, &task);
    });
}
