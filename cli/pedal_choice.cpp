#include "cli/pedal_choice.h"

#include "cli/cli_context.h"
#include "core/pedal_session.h"
#include "device/midi_system.h"
#include "device/model_info.h"
#include "device/usb_connect.h"

namespace {

const QString kNoPedal = QStringLiteral(
    "No pedal in update mode was found. Put the pedal into its update mode, plug it in and try again.");

}  // namespace

bool probe_port_pairs(std::vector<SPortReport>& reports, QString& error)
{
    reports.clear();
    std::vector<SMidiPortPair> pairs;
    try {
        pairs = list_midi_port_pairs();
    } catch (const CMidiError& failure) {
        error = QString::fromLocal8Bit(failure.what());
        return false;
    }
    for (const SMidiPortPair& pair : pairs) {
        SPortReport report;
        report.pair = pair;
        CUSBConnect link;
        report.pedal = link.open(pair.ports, true);
        if (report.pedal) {
            report.update_mode = link.is_in_update_mode();
            const SModelInfo* model = link.model_info();
            report.model = model ? QString::fromLatin1(model->model_name) : QString();
            report.version = link.firmware_version();
            report.product_id = link.product_id();
            link.close();
        }
        reports.push_back(report);
    }
    return true;
}

int open_chosen_pedal(SCliContext& context, CPedalSession& session)
{
    std::vector<SPortReport> reports;
    QString error;
    if (!probe_port_pairs(reports, error))
        return fail_with(context, CLI_EXIT_NO_PEDAL, error);
    const QString& wanted = context.options.port;
    std::vector<const SPortReport*> chosen;
    for (size_t i = 0; i < reports.size(); ++i) {
        const SPortReport& report = reports[i];
        const bool named = QString::number(i + 1) == wanted || QString::fromStdString(report.pair.name) == wanted;
        if (wanted.isEmpty() ? report.update_mode : named)
            chosen.push_back(&report);
    }
    if (!wanted.isEmpty() && chosen.empty())
        return fail_with(context, CLI_EXIT_USAGE, QStringLiteral("No port pair '%1'; see 'tandora-cli ports'.").arg(wanted));
    if (chosen.size() > 1)
        return fail_with(context, CLI_EXIT_USAGE,
                         QStringLiteral("%1 pedals are connected; choose one with --port (see 'tandora-cli ports').")
                             .arg(chosen.size()));
    if (chosen.empty() || !session.open_port(chosen.front()->pair.ports))
        return fail_with(context, CLI_EXIT_NO_PEDAL, kNoPedal);
    if (session.song_format() && session.load_songs() != LOOPER_RESULT_OK)
        return fail_with(context, CLI_EXIT_FAILED, QStringLiteral("Load song info failed !"));
    return CLI_EXIT_OK;
}
