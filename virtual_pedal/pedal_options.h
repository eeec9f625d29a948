#pragma once

#include "device/midi_system.h"
#include "emulator/pedal_emulator.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <vector>

// The command line of tandora-pedal, the emulated pedal as a program of its own.
struct SPedalProgramOptions {
    uint32_t product_id = 0x2712;
    // Empty: the flash lives in memory and is gone when the program ends.
    QString flash_path;
    EMidiHostApi midi_api = EMidiHostApi::DEFAULT;
    bool realistic = true;
    std::vector<SPedalFault> faults;
    // The pedal's ports vanish this long after they appeared.
    std::optional<std::chrono::milliseconds> unplug_after;
};

// The options, or the exit code and the text to print (usage errors: code 2 for stderr;
// --help and --version: code 0 for stdout).
struct SPedalProgramParse {
    std::optional<SPedalProgramOptions> options;
    int exit_code = 0;
    QString text;
};

SPedalProgramParse parse_pedal_program(const QStringList& arguments);

// "no-reply@3": the third update-mode request the pedal receives gets no reply; without
// "@N" every request does. nullopt for an unknown fault or count.
std::optional<SPedalFault> pedal_fault_from_text(const QString& text);
