#include "audio/song_time_text.h"
#include "cli/cli_context.h"
#include "cli/cli_output.h"
#include "core/pedal_ports.h"
#include "core/pedal_view.h"
#include "support/neat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

void print_json(SCliContext& context, const QJsonValue& value)
{
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    print_line(context, QString::fromUtf8(document.toJson(QJsonDocument::Indented)).trimmed());
}

QString product_id_text(unsigned int product_id)
{
    return QString::asprintf("0x%04X", product_id);
}

}  // namespace

int run_ports(SCliContext& context)
{
    std::vector<SPortLine> ports;
    QString error;
    if (!list_pedal_ports(ports, error))
        return fail_in_kind(context, CLI_EXIT_NO_PEDAL, error);
    QJsonArray listed;
    for (size_t i = 0; i < ports.size(); ++i) {
        const SPortLine& port = ports[i];
        if (context.options.json) {
            QJsonObject line{{"index", int(i + 1)}, {"name", port.name}, {"pedal", port.pedal}};
            if (port.pedal) {
                line["update_mode"] = port.update_mode;
                line["model"] = port.model;
                line["product_id"] = product_id_text(port.product_id);
            }
            listed.append(line);
            continue;
        }
        QString line = QStringLiteral("%1  %2").arg(i + 1).arg(port.name);
        if (port.pedal && port.update_mode)
            line += QStringLiteral("  (pedal: %1, %2)").arg(port.model, firmware_version_text(port.version));
        else if (port.pedal)
            line += QStringLiteral("  (pedal: %1, not in update mode)").arg(port.model);
        print_line(context, line);
    }
    if (context.options.json)
        print_json(context, listed);
    else if (ports.empty())
        print_line(context, QStringLiteral("No MIDI port pairs."));
    return CLI_EXIT_OK;
}

int run_info(SCliContext& context, CPedalSession& session)
{
    const SPedalIdentity pedal = pedal_identity(session);
    const SFreeSpace free = free_space(session);
    if (context.options.json) {
        QJsonObject info{{"model", pedal.model},
                         {"firmware_version", NEAT::convert_version_to_str(pedal.firmware_version)},
                         {"product_id", product_id_text(pedal.product_id)},
                         {"slots", int(pedal.slot_count)},
                         {"free_bytes", double(free.bytes)},
                         {"free_seconds", free.seconds}};
        if (free.longest_song_seconds > 0)
            info["longest_song_seconds"] = free.longest_song_seconds;
        print_json(context, info);
        return CLI_EXIT_OK;
    }
    print_line(context, QStringLiteral("Model:      %1").arg(pedal.model));
    print_line(context, QStringLiteral("Firmware:   %1").arg(firmware_version_text(pedal.firmware_version)));
    print_line(context, QStringLiteral("Product ID: %1").arg(product_id_text(pedal.product_id)));
    print_line(context, QStringLiteral("Slots:      %1").arg(pedal.slot_count));
    if (pedal.keeps_songs)
        print_line(
            context,
            QStringLiteral("Free:       %1 (%2)").arg(time_text(free.seconds), megabytes_text(free.bytes)));
    if (free.longest_song_seconds > 0)
        print_line(context, QStringLiteral("Longest:    one song holds at most %1")
                                .arg(time_text(free.longest_song_seconds)));
    return CLI_EXIT_OK;
}

int run_list(SCliContext& context, CPedalSession& session)
{
    QJsonArray listed;
    for (const SSlotLine& slot : slot_lines(session)) {
        if (context.options.json) {
            listed.append(QJsonObject{
                {"slot", int(slot.slot + 1)},
                {"empty", !slot.holds_song},
                {"bytes", double(slot.bytes)},
                {"seconds", slot.seconds},
                {"name", slot.name.isEmpty() ? QJsonValue() : QJsonValue(slot.name)},
                {"loudness", slot.loudness ? QJsonValue(loudness_json(*slot.loudness)) : QJsonValue()}});
            continue;
        }
        print_line(context, slot.text);
    }
    if (context.options.json)
        print_json(context, listed);
    return CLI_EXIT_OK;
}
