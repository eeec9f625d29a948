#include "virtual_pedal/pedal_options.h"

#include "device/model_info.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <utility>

namespace {

// The faults a user can give by name; the rest need arguments the command line does not take.
const std::pair<const char*, EPedalFaultKind> kFaultNames[] = {
    {"refuse", EPedalFaultKind::REFUSE},
    {"no-reply", EPedalFaultKind::NO_REPLY},
    {"short-reply", EPedalFaultKind::SHORT_REPLY},
    {"wrong-type", EPedalFaultKind::WRONG_TYPE},
    {"wrong-address", EPedalFaultKind::WRONG_ADDRESS},
    {"bad-checksum", EPedalFaultKind::BAD_CHECKSUM},
    {"wrong-length-field", EPedalFaultKind::WRONG_LENGTH_FIELD},
    {"unplug-before", EPedalFaultKind::UNPLUG_BEFORE},
    {"unplug-after", EPedalFaultKind::UNPLUG_AFTER},
    {"wrong-data", EPedalFaultKind::WRONG_DATA},
};

QString fault_names()
{
    QStringList names;
    for (const auto& fault : kFaultNames)
        names << QString::fromLatin1(fault.first);
    return names.join(", ");
}

}  // namespace

std::optional<SPedalFault> pedal_fault_from_text(const QString& text)
{
    const QStringList parts = text.split('@');
    if (parts.size() > 2)
        return std::nullopt;
    unsigned occurrence = 0;
    if (parts.size() == 2) {
        bool number = false;
        occurrence = parts[1].toUInt(&number);
        if (!number || occurrence == 0)
            return std::nullopt;
    }
    for (const auto& fault : kFaultNames) {
        if (parts[0] == QLatin1String(fault.first))
            return SPedalFault::update(fault.second, -1, occurrence);
    }
    return std::nullopt;
}

SPedalProgramParse parse_pedal_program(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "An emulated looper pedal on a pair of MIDI ports of its own, named after its model, which "
        "Tandora, tandora-cli and any MIDI program can open. It serves the pedal's protocol until it "
        "is stopped (Ctrl-C) or unplugged by a fault."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption model("model", "The pedal's model (quote names with spaces).", "NAME",
                                   "PULSE RING");
    const QCommandLineOption flash(
        "flash", "Keep the pedal's flash in FILE, so its songs outlast the program.", "FILE");
    const QCommandLineOption api(
        "midi-api", "The MIDI service: alsa or jack (default: the first with ports).", "alsa|jack");
    const QCommandLineOption pace("pace", "realistic: paced like a real pedal; instant: at once.",
                                  "realistic|instant", "realistic");
    const QCommandLineOption fault(
        "fault",
        QStringLiteral("A fault of the pedal's, KIND@N for only the N-th request; KIND is one of %1. "
                       "May be repeated.")
            .arg(fault_names()),
        "KIND[@N]");
    const QCommandLineOption unplug("unplug-after", "Unplug the pedal this many seconds after it appears.",
                                    "SECONDS");
    parser.addOptions({model, flash, api, pace, fault, unplug});

    SPedalProgramParse parse;
    parse.exit_code = 2;
    if (!parser.parse(arguments)) {
        parse.text = parser.errorText();
        return parse;
    }
    parse.exit_code = 0;
    if (parser.isSet("help")) {
        parse.text = parser.helpText();
        return parse;
    }
    if (parser.isSet("version")) {
        parse.text = QStringLiteral("tandora-pedal ") + QCoreApplication::applicationVersion();
        return parse;
    }
    parse.exit_code = 2;
    SPedalProgramOptions options;
    const SModelInfo* info = get_model_info_by_name(parser.value(model).toStdString());
    if (!info) {
        parse.text = QStringLiteral("Unknown model '%1'.").arg(parser.value(model));
        return parse;
    }
    options.product_id = info->product_id;
    options.flash_path = parser.value(flash);
    if (parser.isSet(api)) {
        const std::optional<EMidiHostApi> chosen = midi_host_api_from_name(parser.value(api));
        if (!chosen) {
            parse.text = QStringLiteral("--midi-api takes alsa or jack.");
            return parse;
        }
        options.midi_api = *chosen;
    }
    if (parser.value(pace) != "realistic" && parser.value(pace) != "instant") {
        parse.text = QStringLiteral("--pace takes realistic or instant.");
        return parse;
    }
    options.realistic = parser.value(pace) == "realistic";
    for (const QString& text : parser.values(fault)) {
        const std::optional<SPedalFault> parsed = pedal_fault_from_text(text);
        if (!parsed) {
            parse.text = QStringLiteral("Unknown fault '%1'; the faults are %2, each with an optional @N.")
                             .arg(text, fault_names());
            return parse;
        }
        options.faults.push_back(*parsed);
    }
    if (parser.isSet(unplug)) {
        bool number = false;
        const double seconds = parser.value(unplug).toDouble(&number);
        if (!number || seconds < 0) {
            parse.text = QStringLiteral("--unplug-after takes a number of seconds.");
            return parse;
        }
        options.unplug_after = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    }
    if (!parser.positionalArguments().isEmpty()) {
        parse.text = QStringLiteral("tandora-pedal takes no arguments; see --help.");
        return parse;
    }
    parse.exit_code = 0;
    parse.options = options;
    return parse;
}
