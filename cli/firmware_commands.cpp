#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "cli/terminal_prompt.h"
#include "core/firmware_update/firmware_catalog.h"
#include "core/firmware_update/firmware_update.h"
#include "core/online/program_update_check.h"
#include "core/pedal_view.h"
#include "support/task.h"

#include <QFileInfo>

namespace {

int list_online(SCliContext& context, const SFirmwareCatalog& catalog)
{
    for (const SFirmwareEntry& entry : catalog.entries)
        print_line(context, entry.name);
    if (catalog.entries.empty())
        print_line(context, QStringLiteral("The update server lists no firmware for this pedal."));
    return CLI_EXIT_OK;
}

int install_online(SCliContext& context, CPedalSession& session, const SFirmwareCatalog& catalog)
{
    const QString& wanted = context.options.firmware_name;
    for (const SFirmwareEntry& entry : catalog.entries) {
        if (entry.name != wanted)
            continue;
        return run_with_task(context, session, [&](CTask& task) {
            return update_firmware_online(session, entry, context.options.force, context.prompt, &task);
        });
    }
    return fail_with(
        context, CLI_EXIT_FAILED,
        QStringLiteral("The update server lists no firmware '%1' for this pedal; see firmware --list.")
            .arg(wanted));
}

}  // namespace

int run_firmware(SCliContext& context, CPedalSession& session)
{
    if (context.options.online || context.options.list) {
        const SFirmwareCatalog catalog = fetch_firmware_catalog(pedal_identity(session).product_id, nullptr);
        switch (catalog.result) {
            case ECatalogResult::OK:
                break;
            case ECatalogResult::UNKNOWN_MODEL:
                return fail_with(context, CLI_EXIT_FAILED,
                                 QStringLiteral("The update server keeps no firmware for an unknown model."));
            case ECatalogResult::DOWNLOAD_FAILED:
            case ECatalogResult::LIST_BROKEN:
                return fail_with(context, CLI_EXIT_FAILED, catalog.message);
        }
        return context.options.list ? list_online(context, catalog)
                                    : install_online(context, session, catalog);
    }
    const QString path = context.options.arguments.value(0);
    if (!QFileInfo(path).isFile())
        return not_a_file(context, path);
    return run_with_task(context, session, [&](CTask& task) {
        return update_firmware(session, path, context.options.force, context.prompt, &task);
    });
}

int run_check_update(SCliContext& context)
{
    const SProgramUpdate update = check_program_update(nullptr);
    if (!update.download.ok())
        return fail_with(context, CLI_EXIT_FAILED, update.download.message);
    if (update.version != UPDATE_SERVER::EVersionFile::NUMBER)
        return fail_with(context, CLI_EXIT_FAILED, UPDATE_SERVER::version_file_text(update.version));
    if (!update.newer) {
        print_line(context, QStringLiteral("Tandora is up to date."));
        return CLI_EXIT_OK;
    }
    print_line(context, QString::asprintf("A new version(V%.2f) is available: ", double(update.newest)) +
                            update.archive.toString());
    return CLI_EXIT_OK;
}
