#include "cli/cli_context.h"
#include "cli/pedal_choice.h"
#include "core/pedal_session.h"
#include "audio/song_time_text.h"
#include "device/model_info.h"
#include "support/neat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr double kMB = 1048576.0;

void print_json(SCliContext& context, const QJsonValue& value)
{
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    print_line(context, QString::fromUtf8(document.toJson(QJsonDocument::Indented)).trimmed());
}

QString version_text(unsigned int version)
{
    return QStringLiteral("V") + NEAT::convert_version_to_str(version);
}

}  // namespace

int run_ports(SCliContext& context)
{
    std::vector<SPortReport> reports;
    QString error;
    if (!probe_port_pairs(reports, error))
        return fail_with(context, CLI_EXIT_NO_PEDAL, error);
    QJsonArray ports;
    for (size_t i = 0; i < reports.size(); ++i) {
        const SPortReport& report = reports[i];
        const QString name = QString::fromStdString(report.pair.name);
        if (context.options.json) {
            QJsonObject port{{"index", int(i + 1)}, {"name", name}, {"pedal", report.pedal}};
            if (report.pedal) {
                port["update_mode"] = report.update_mode;
                port["model"] = report.model;
                port["product_id"] = QString::asprintf("0x%04X", report.product_id);
            }
            ports.append(port);
            continue;
        }
        QString line = QStringLiteral("%1  %2").arg(i + 1).arg(name);
        if (report.pedal && report.update_mode)
            line += QStringLiteral("  (pedal: %1, %2)").arg(report.model, version_text(report.version));
        else if (report.pedal)
            line += QStringLiteral("  (pedal: %1, not in update mode)").arg(report.model);
        print_line(context, line);
    }
    if (context.options.json)
        print_json(context, ports);
    else if (reports.empty())
        print_line(context, QStringLiteral("No MIDI port pairs."));
    return CLI_EXIT_OK;
}

int run_info(SCliContext& context, CPedalSession& session)
{
    const CUSBConnect& link = session.link();
    const SModelInfo* model = link.model_info();
    const QString name = model ? QString::fromLatin1(model->model_name) : QString();
    const uint64_t free_bytes = session.free_song_bytes();
    const double free_seconds = session.song_seconds(free_bytes);
    if (context.options.json) {
        print_json(context, QJsonObject{{"model", name},
                               {"firmware_version", NEAT::convert_version_to_str(link.firmware_version())},
                               {"product_id", QString::asprintf("0x%04X", link.product_id())},
                               {"slots", int(session.songs().slot_count())},
                               {"free_bytes", double(free_bytes)},
                               {"free_seconds", free_seconds}});
        return CLI_EXIT_OK;
    }
    print_line(context, QStringLiteral("Model:      %1").arg(name));
    print_line(context, QStringLiteral("Firmware:   %1").arg(version_text(link.firmware_version())));
    print_line(context, QString::asprintf("Product ID: 0x%04X", link.product_id()));
    print_line(context, QStringLiteral("Slots:      %1").arg(session.songs().slot_count()));
    if (session.song_format())
        print_line(context, QStringLiteral("Free:       %1 (%2 MB)")
                       .arg(time_text(free_seconds))
                       .arg(free_bytes / kMB, 0, 'f', 1));
    return CLI_EXIT_OK;
}

int run_list(SCliContext& context, CPedalSession& session)
{
    const CLooperSongData& songs = session.songs();
    QJsonArray slot_list;
    for (unsigned int slot = 0; slot < songs.slot_count(); ++slot) {
        const bool song = songs.is_file_exist(slot);
        const uint64_t bytes = song ? songs.get_file_length(slot) : 0;
        const double seconds = session.song_seconds(bytes);
        if (context.options.json) {
            slot_list.append(QJsonObject{{"slot", int(slot + 1)}, {"empty", !song}, {"bytes", double(bytes)},
                                     {"seconds", seconds}});
            continue;
        }
        if (song)
            print_line(context, songs.get_name(slot) + QStringLiteral("  ") + time_text(seconds));
        else
            print_line(context, QString::asprintf("Song %.3d -- (Empty)", int(slot + 1)));
    }
    if (context.options.json)
        print_json(context, slot_list);
    return CLI_EXIT_OK;
}
