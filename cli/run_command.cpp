#include "cli/cli_context.h"
#include "cli/interrupt.h"
#include "cli/pedal_choice.h"
#include "cli/terminal_progress.h"
#include "core/pedal_session.h"
#include "core/pedal_view.h"
#include "support/task.h"

#include <cstdio>

int fail_with(SCliContext& context, int code, const QString& text)
{
    std::fprintf(context.err, "%s\n", text.toUtf8().constData());
    std::fflush(context.err);
    return code;
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

int run_with_task(SCliContext& context, CPedalSession& session,
                  const std::function<COperationResult(CTask&)>& work)
{
    CTask task;
    std::optional<COperationResult> result;
    {
        CTerminalProgress progress(task, context.terminal, context.err, context.on_task_step);
        context.interrupt.watch(&task);
        result = session.with_notes(work(task));
        context.interrupt.watch(nullptr);
    }
    print_errors(context, result->notes());
    if (result->kind() == COperationResult::EKind::DECLINED)
        return CLI_EXIT_FAILED;
    QString text = result->text();
    if (!result->detail().isEmpty())
        text += '\n' + result->detail();
    if (result->ok()) {
        print_line(context, text);
        return CLI_EXIT_OK;
    }
    return fail_with(context, CLI_EXIT_FAILED, text);
}

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
    if (command == "backup")
        return run_backup(context, session);
    if (command == "restore")
        return run_restore(context, session);
    return run_firmware(context, session);
}
