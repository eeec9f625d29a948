#pragma once

#include "device/midi_system.h"

#include <QString>
#include <cstdint>

class QCommandLineParser;

// The options the window and the command-line tool share: the demo pedal and the update
// server's address.
struct SFrontEndOptions {
    bool demo = false;
    // The demo pedal's model and product ID, from the model table.
    QString model = QStringLiteral("PULSE RING");
    uint32_t product_id = 0x2712;
    bool demo_reset = false;
    // The demo pedal answers at once instead of at a real pedal's pace.
    bool instant = false;
    // Empty: the built-in address, or none at all in demo mode.
    QString update_server;
    // The diagnostic lines are shown.
    bool verbose = false;
    // The MIDI service: --midi-api, else the environment's TANDORA_MIDI_API, else the
    // library's choice.
    EMidiHostApi midi_api = EMidiHostApi::DEFAULT;
};

// The environment variable that chooses the MIDI service when --midi-api is not given.
constexpr const char* kMidiApiVariable = "TANDORA_MIDI_API";

void add_front_end_options(QCommandLineParser& parser);
// False, with the reason in `error`, for an unknown model, speed or MIDI service.
[[nodiscard]] bool read_front_end_options(const QCommandLineParser& parser, SFrontEndOptions& options,
                                          QString& error);
