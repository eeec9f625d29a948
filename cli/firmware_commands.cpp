#include "cli/cli_context.h"
#include "core/firmware_update.h"
#include "core/pedal_session.h"

#include <QFileInfo>

int run_firmware(SCliContext& context, CPedalSession& session)
{
    const QString path = context.options.arguments.value(0);
    if (!QFileInfo(path).isFile())
        return fail_with(context, CLI_EXIT_FAILED, QStringLiteral("'%1' is not a file that can be read.").arg(path));
    return run_with_task(context, [&](CTask& task) {
        return update_firmware(session.link(), path, context.options.force, &task);
    });
}
