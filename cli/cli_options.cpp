#include "cli/cli_options.h"

#include "core/song_commands/song_operations.h"
#include "core/song_commands/song_settings.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

const QStringList kCommands = {"ports",    "info",         "list",   "import",  "export", "delete",
                               "firmware", "check-update", "backup", "restore", "rename", "loudness",
                               "sync",     "play",         "move",   "swap",    "arrange"};

// How many arguments each command takes after its name.
int argument_count(const QString& command, bool firmware_file)
{
    if (command == "import" || command == "export" || command == "rename" || command == "move" ||
        command == "swap")
        return 2;
    if (command == "delete" || command == "backup" || command == "restore" || command == "sync" ||
        command == "play" || command == "arrange")
        return 1;
    if (command == "firmware")
        return firmware_file ? 1 : 0;
    return 0;
}

// Whether `text` is a slot number: a whole number from 1. Which slots there are is known
// only once the pedal is open.
bool is_slot_number(const QString& text)
{
    bool number = false;
    return text.toInt(&number) >= 1 && number;
}

// The arguments of `options`' command that name slots. play takes a slot or a file: a
// number is a slot.
QStringList slot_arguments(const SCliOptions& options)
{
    if (options.command == "loudness")
        return options.arguments;
    if (options.command == "play") {
        bool number = false;
        options.arguments.value(0).toInt(&number);
        return number ? options.arguments : QStringList();
    }
    if (QStringList{"import", "export", "delete", "rename"}.contains(options.command))
        return options.arguments.mid(0, 1);
    if (options.command == "move" || options.command == "swap")
        return options.arguments;
    return {};
}

// "1,3-5" as 0-based slots 0, 2, 3, 4; nothing when a part is not a number or a range.
std::optional<std::vector<unsigned int>> parse_slot_list(const QString& text)
{
    std::vector<unsigned int> chosen;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        bool first_ok = false;
        bool last_ok = false;
        const unsigned int first = ends.value(0).toUInt(&first_ok);
        const unsigned int last = ends.size() == 2 ? ends[1].toUInt(&last_ok) : first;
        last_ok = ends.size() == 1 ? first_ok : last_ok;
        if (ends.size() > 2 || !first_ok || !last_ok || first < 1 || last < first)
            return std::nullopt;
        for (unsigned int slot = first; slot <= last; ++slot)
            chosen.push_back(slot - 1);
    }
    return chosen;
}

QString description()
{
    return QStringLiteral(
        "Manage the songs and the firmware of a looper pedal from the command line.\n\n"
        "Commands:\n"
        "  ports                     the MIDI port pairs seen, numbered, and which is a pedal\n"
        "  info                      model, firmware version, product ID, slots, free space\n"
        "  list                      every slot with its size, duration and name\n"
        "  import SLOT FILE          convert an audio file into slot SLOT (1-30)\n"
        "  export SLOT FILE          save slot SLOT as a 48000 Hz 24-bit WAV file\n"
        "  delete SLOT               empty slot SLOT\n"
        "  rename SLOT NAME          name the song in slot SLOT (\"\" removes the name)\n"
        "  move FROM TO              move the song of slot FROM into slot TO by its record, no audio\n"
        "                            copied (onto a song: asks, then swaps the two; --yes)\n"
        "  swap A B                  give slots A and B each other's song\n"
        "  arrange 3,1,2,...         put the listed slots in their new order: the lowest of them\n"
        "                            takes the song of the first listed, the next the second's, ...\n"
        "  loudness SLOT... | --all  integrated loudness, range and true peak of songs (the library's\n"
        "                            figures, or read from the pedal and measured)\n"
        "  firmware FILE.dat         update the pedal's firmware from a package\n"
        "  firmware --online --name NAME   update from the update server's list\n"
        "  firmware --list           the update server's packages for the pedal\n"
        "  check-update              whether a newer Tandora exists\n"
        // A description that goes on over more lines starts in the same column as they do:
        // help2man takes any other layout for the start of a new entry.
        "  backup DIR                every song, bit for bit, into the new or empty folder DIR\n"
        "                            (--wav: also as WAV files; --since PREVIOUS: songs unchanged\n"
        "                            since that backup come from it)\n"
        "  restore DIR               the backup in DIR back into the pedal, verified (--slots 1,3-5:\n"
        "                            only those slots)\n"
        "  sync SETLIST              a play list (M3U, M3U8), a folder or a text file of paths into\n"
        "                            slots 1, 2, ... (--first-slot N: from N), writing only what\n"
        "                            changed, at one --loudness and --mono (--plan: the plan only;\n"
        "                            --delete-extra: empty the slots past the list)\n"
        "  play SLOT | FILE          play slot SLOT while it is read, or FILE as the pedal would hold\n"
        "                            it (--mono, --loudness), on this computer's sound output\n\n"
        "Exit codes: 0 success; 1 failure, or a question answered no (\"Nothing changed.\"); 2 bad "
        "usage; 3 no pedal, or no MIDI service; 130 cancelled with Ctrl-C.");
}

}  // namespace

SCliParse parse_cli(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("command", "The command to run, see above.", "COMMAND [ARGUMENTS]");
    const QCommandLineOption yes("yes",
                                 "Answer every question with yes (overwrite, delete, older firmware).");
    const QCommandLineOption force("force", "Install a firmware package made for another product.");
    const QCommandLineOption json("json", "Print list, info and ports as JSON.");
    const QCommandLineOption verify("verify", "Read an imported song back and compare it.");
    const QCommandLineOption port("port", "Use the pedal on this port pair (name or number from 'ports').",
                                  "NAME|INDEX");
    const QCommandLineOption mono("mono", "How a mono pedal takes a stereo file: left or mix.", "left|mix",
                                  "left");
    const QCommandLineOption loudness(
        "loudness",
        "The loudness an imported song is brought to, in LUFS: off (as the file), "
        "-14, -16 or -23.",
        "off|-14|-16|-23", "off");
    const QCommandLineOption online("online", "Take the firmware package from the update server.");
    const QCommandLineOption list("list", "List the update server's firmware packages.");
    const QCommandLineOption name("name", "The update server's package to install.", "NAME");
    const QCommandLineOption wav("wav", "backup: also save each song as a 48000 Hz WAV file for listening.");
    const QCommandLineOption slot_list("slots", "restore: only these slots, e.g. 1,3-5.", "LIST");
    const QCommandLineOption all("all", "loudness: every slot that holds a song.");
    const QCommandLineOption since(
        "since", "backup: take the songs unchanged since this earlier backup from it.", "PREVIOUS");
    const QCommandLineOption plan("plan", "sync: print the plan and stop.");
    const QCommandLineOption first_slot("first-slot", "sync: the slot the list's first song goes to.", "N",
                                        "1");
    const QCommandLineOption delete_extra("delete-extra", "sync: empty the slots past the list.");
    const QCommandLineOption quiet("quiet", "Print no progress and no success line; failures still.");
    parser.addOptions({yes, force, json, verify, quiet, port, mono, loudness, online, list, name, wav,
                       slot_list, since, all, plan, first_slot, delete_extra});
    add_front_end_options(parser);

    SCliParse parse;
    if (!parser.parse(arguments)) {
        parse.exit_code = 2;
        QString error = parser.errorText();
        if (error.endsWith(QLatin1Char('.')))
            error.chop(1);
        parse.text = error + QStringLiteral("; see --help.");
        return parse;
    }
    if (parser.isSet("help")) {
        parse.text = parser.helpText();
        return parse;
    }
    if (parser.isSet("version")) {
        parse.text = QStringLiteral("tandora-cli ") + QCoreApplication::applicationVersion();
        return parse;
    }
    const QStringList positional = parser.positionalArguments();
    SCliOptions options;
    options.command = positional.value(0);
    options.arguments = positional.mid(1);
    options.yes = parser.isSet(yes);
    options.force = parser.isSet(force);
    options.json = parser.isSet(json);
    options.verify = parser.isSet(verify);
    options.quiet = parser.isSet(quiet);
    options.port = parser.value(port);
    options.online = parser.isSet(online);
    options.list = parser.isSet(list);
    options.firmware_name = parser.value(name);
    options.wav = parser.isSet(wav);
    options.since = parser.value(since);
    options.all = parser.isSet(all);
    options.plan = parser.isSet(plan);
    options.delete_extra = parser.isSet(delete_extra);

    parse.exit_code = 2;
    if (!read_front_end_options(parser, options.front_end, parse.text))
        return parse;
    if (!kCommands.contains(options.command)) {
        parse.text = options.command.isEmpty()
                         ? QStringLiteral("No command given; see --help.")
                         : QStringLiteral("Unknown command '%1'; see --help.").arg(options.command);
        return parse;
    }
    const bool firmware_file = !options.online && !options.list;
    if (options.command == "firmware" && options.online && options.firmware_name.isEmpty()) {
        parse.text = QStringLiteral("firmware --online needs --name NAME.");
        return parse;
    }
    // loudness takes its slots, or --all instead of them.
    const bool counted = options.command == "loudness"
                             ? options.arguments.isEmpty() == options.all
                             : options.arguments.size() == argument_count(options.command, firmware_file);
    if (!counted) {
        parse.text = QStringLiteral("Wrong number of arguments for '%1'; see --help.").arg(options.command);
        return parse;
    }
    for (const QString& slot : slot_arguments(options)) {
        if (!is_slot_number(slot)) {
            parse.text = QStringLiteral("Slot '%1' does not exist: slots are numbered from 1.").arg(slot);
            return parse;
        }
    }
    if (options.command == "arrange") {
        const std::optional<std::vector<unsigned int>> order = parse_slot_list(options.arguments[0]);
        if (!order) {
            parse.text =
                QStringLiteral("arrange takes the slots in their new order, such as 3,1,2, not '%1'.")
                    .arg(options.arguments[0]);
            return parse;
        }
        options.arrange_order = *order;
    }
    if (parser.isSet(slot_list)) {
        const std::optional<std::vector<unsigned int>> listed = parse_slot_list(parser.value(slot_list));
        if (!listed) {
            parse.text = QStringLiteral("--slots takes slot numbers and ranges such as 1,3-5, not '%1'.")
                             .arg(parser.value(slot_list));
            return parse;
        }
        options.restore_slots = *listed;
    }
    const std::optional<EMonoMode> mono_mode = mono_mode_from_name(parser.value(mono));
    if (!mono_mode) {
        parse.text = QStringLiteral("--mono takes left or mix.");
        return parse;
    }
    options.import_settings.mono_mode = *mono_mode;
    const std::optional<ELoudnessTarget> target = loudness_target_from_name(parser.value(loudness));
    if (!target) {
        parse.text = QStringLiteral("--loudness takes off, -14, -16 or -23.");
        return parse;
    }
    options.import_settings.loudness = *target;
    bool slot_number = false;
    options.first_slot = parser.value(first_slot).toUInt(&slot_number);
    if (!slot_number || options.first_slot < 1) {
        parse.text = QStringLiteral("--first-slot takes a slot number from 1.");
        return parse;
    }
    parse.exit_code = 0;
    parse.options = options;
    return parse;
}
