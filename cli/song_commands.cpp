#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "cli/terminal_prompt.h"
#include "core/pedal_session.h"
#include "core/song_commands/song_moves.h"
#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_records.h"

#include <QFileInfo>

int run_import(SCliContext& context, CPedalSession& session)
{
    const int slot = parse_slot(context, context.options.arguments[0], session);
    if (slot < 0)
        return CLI_EXIT_USAGE;
    const QString path = context.options.arguments[1];
    if (!QFileInfo(path).isFile())
        return not_a_file(context, path);
    return run_with_task(context, session, [&](CTask& task) {
        return import_song(session, path, slot, context.options.import_settings, &task,
                           context.options.verify, context.prompt);
    });
}

int run_export(SCliContext& context, CPedalSession& session)
{
    int slot = -1;
    const int parsed = parse_song_slot(context, context.options.arguments[0], session, slot);
    if (parsed != CLI_EXIT_OK)
        return parsed;
    const QString path = context.options.arguments[1];
    if (QFileInfo::exists(path) &&
        !context.prompt.ask_yes_no(QStringLiteral("Export"),
                                   QStringLiteral("'%1' already exists, overwrite it?").arg(path)))
        return declined(context);
    return run_with_task(context, session,
                         [&](CTask& task) { return export_song(session, slot, path, &task); });
}

int run_delete(SCliContext& context, CPedalSession& session)
{
    int slot = -1;
    const int parsed = parse_song_slot(context, context.options.arguments[0], session, slot);
    if (parsed != CLI_EXIT_OK)
        return parsed;
    return run_with_task(context, session,
                         [&](CTask&) { return delete_song(session, slot, context.prompt); });
}

int run_rename(SCliContext& context, CPedalSession& session)
{
    const int slot = parse_slot(context, context.options.arguments[0], session);
    if (slot < 0)
        return CLI_EXIT_USAGE;
    return run_with_task(context, session,
                         [&](CTask&) { return rename_song(session, slot, context.options.arguments[1]); });
}

// The slot numbers were checked to be numbers from 1; which exist the move itself says, as
// it says that a one-slot pedal has nothing to arrange.
int run_move(SCliContext& context, CPedalSession& session)
{
    const int from = context.options.arguments[0].toInt() - 1;
    const int to = context.options.arguments[1].toInt() - 1;
    return run_with_task(context, session,
                         [&](CTask& task) { return move_song(session, from, to, context.prompt, &task); });
}

int run_swap(SCliContext& context, CPedalSession& session)
{
    const int a = context.options.arguments[0].toInt() - 1;
    const int b = context.options.arguments[1].toInt() - 1;
    return run_with_task(context, session, [&](CTask& task) { return swap_songs(session, a, b, &task); });
}

int run_arrange(SCliContext& context, CPedalSession& session)
{
    const std::vector<int> order(context.options.arrange_order.begin(), context.options.arrange_order.end());
    return run_with_task(context, session, [&](CTask& task) { return arrange(session, order, &task); });
}
