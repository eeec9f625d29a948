#include "core/front_end_options.h"

#include "device/model_info.h"

#include <QCommandLineParser>
#include <QStringList>

void add_front_end_options(QCommandLineParser& parser)
{
    parser.addOption({"demo", "Run on an emulated pedal instead of a real one."});
    parser.addOption({"model", "The demo pedal's model (quote names with spaces).", "NAME", "PULSE RING"});
    parser.addOption({"demo-reset", "Start the demo pedal afresh, without the songs of earlier runs."});
    parser.addOption({"demo-speed", "realistic: paced like a real pedal; instant: at once.",
                      "realistic|instant", "realistic"});
    parser.addOption({"update-server", "The update server's base address.", "URL"});
    parser.addOption(
        {"midi-api",
         QStringLiteral("The MIDI service: alsa or jack (default: %1, else the first with ports).")
             .arg(kMidiApiVariable),
         "alsa|jack"});
    parser.addOption(
        {"verbose", "Print the program's diagnostic lines (QT_LOGGING_RULES also turns them on)."});
}

bool read_front_end_options(const QCommandLineParser& parser, SFrontEndOptions& options, QString& error)
{
    options.demo = parser.isSet("demo");
    options.demo_reset = parser.isSet("demo-reset");
    options.verbose = parser.isSet("verbose");
    options.update_server = parser.value("update-server");
    const QString speed = parser.value("demo-speed");
    if (speed != "realistic" && speed != "instant") {
        error = QStringLiteral("--demo-speed takes realistic or instant.");
        return false;
    }
    options.instant = speed == "instant";
    const QString api =
        parser.isSet("midi-api") ? parser.value("midi-api") : qEnvironmentVariable(kMidiApiVariable);
    if (!api.isEmpty()) {
        const std::optional<EMidiHostApi> chosen = midi_host_api_from_name(api);
        if (!chosen) {
            error = QStringLiteral("--midi-api (or %1) takes alsa or jack.").arg(kMidiApiVariable);
            return false;
        }
        options.midi_api = *chosen;
    }
    const SModelInfo* model = get_model_info_by_name(parser.value("model").toStdString());
    if (!model) {
        QStringList names;
        for (const std::string& name : model_names())
            names << QString::fromStdString(name);
        error = QStringLiteral("Unknown model '%1'; the models are: %2.")
                    .arg(parser.value("model"), names.join(", "));
        return false;
    }
    options.model = QString::fromLatin1(model->model_name);
    options.product_id = model->product_id;
    return true;
}
