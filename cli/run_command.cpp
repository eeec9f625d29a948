#include "cli/cli_context.h"
#include "cli/pedal_choice.h"
#include "core/pedal_session.h"
#include "core/port_watch.h"

#include <atomic>

int run_cli_command(SCliContext& context)
{
    const QString& command = context.options.command;
    if (command == "ports")
        return run_ports(context);
    if (command == "check-update")
        return run_check_update(context);
    CPedalSession session;
    const int opened = open_chosen_pedal(context, session);
    if (opened != CLI_EXIT_OK)
        return opened;
    // A pedal unplugged during the command fails it at once, not after a reply's time-out.
    std::atomic<bool> ports_changed{false};
    const CPortWatch watch(session, &ports_changed);
    if (command == "info")
        return run_info(context, session);
    if (command == "list")
        return run_list(context, session);
    if (command == "import")
        return run_import(context, session);
    if (command == "export")
        return run_export(context, session);
    if (command == "delete")
        return run_delete(context, session);
    if (command == "rename")
        return run_rename(context, session);
    if (command == "move")
        return run_move(context, session);
    if (command == "swap")
        return run_swap(context, session);
    if (command == "arrange")
        return run_arrange(context, session);
    if (command == "loudness")
        return run_loudness(context, session);
    if (command == "backup")
        return run_backup(context, session);
    if (command == "restore")
        return run_restore(context, session);
    if (command == "sync")
        return run_sync(context, session);
    if (command == "play")
        return run_play(context, session);
    return run_firmware(context, session);
}
