#include "cli/pedal_choice.h"

#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "core/pedal_connect.h"
#include "core/pedal_ports.h"

namespace {

const QString kNoPedal = QStringLiteral(
    "No pedal in update mode was found. Put the pedal into its update mode, plug it in and try again.");

}  // namespace

int open_chosen_pedal(SCliContext& context, CPedalSession& session)
{
    std::vector<SPortLine> ports;
    QString error;
    if (!list_pedal_ports(ports, error))
        return fail_in_kind(context, CLI_EXIT_NO_PEDAL, error);
    const QString& wanted = context.options.port;
    std::vector<const SPortLine*> chosen;
    for (size_t i = 0; i < ports.size(); ++i) {
        const SPortLine& port = ports[i];
        const bool named = QString::number(i + 1) == wanted || port.name == wanted;
        if (wanted.isEmpty() ? port.update_mode : named)
            chosen.push_back(&port);
    }
    if (!wanted.isEmpty() && chosen.empty())
        return fail_with(context, CLI_EXIT_USAGE,
                         QStringLiteral("No port pair '%1'; see 'tandora-cli ports'.").arg(wanted));
    if (chosen.size() > 1)
        return fail_with(
            context, CLI_EXIT_USAGE,
            QStringLiteral("%1 pedals are connected; choose one with --port (see 'tandora-cli ports').")
                .arg(chosen.size()));
    if (chosen.empty())
        return fail_with(context, CLI_EXIT_NO_PEDAL, kNoPedal);
    const SPedalConnect connect = connect_pedal_on(session, chosen.front()->ports);
    print_errors(context, connect.messages);
    if (!connect.opened)
        return fail_with(context, CLI_EXIT_NO_PEDAL, kNoPedal);
    return connect.load_failed ? CLI_EXIT_FAILED : CLI_EXIT_OK;
}
