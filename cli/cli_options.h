#pragma once

#include "core/front_end_options.h"
#include "core/song_commands/song_operations.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The command line of tandora-cli, parsed. Slots are numbered 1-30, as the window shows
// them; `slot` keeps that number.
struct SCliOptions {
    QString command;
    QStringList arguments;
    bool yes = false;
    bool force = false;
    bool json = false;
    bool verify = false;
    bool quiet = false;  // no progress and no success line; failures are still told
    bool wav = false;    // backup: a WAV copy of each song
    std::vector<unsigned int> restore_slots;  // restore --slots 1,3-5, from 0; empty: every slot
    std::vector<unsigned int> arrange_order;  // arrange 3,1,2: the slots in their new order, from 0
    QString since;       // backup: an earlier backup to take unchanged songs from
    bool all = false;    // loudness: every slot holding a song
    bool plan = false;   // sync: the plan only
    bool delete_extra = false;
    unsigned int first_slot = 1;  // sync
    QString port;
    SFrontEndOptions front_end;
    SImportSettings import_settings;  // --mono, --loudness
    bool online = false;
    bool list = false;
    QString firmware_name;
};

// The outcome of parsing: the options, or the exit code and the text to print
// (usage errors go to stderr with code 2, --help and --version to stdout with 0).
struct SCliParse {
    std::optional<SCliOptions> options;
    int exit_code = 0;
    QString text;
};

SCliParse parse_cli(const QStringList& arguments);
