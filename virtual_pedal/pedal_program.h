#pragma once

#include "virtual_pedal/pedal_options.h"

#include <csignal>
#include <cstdio>

enum EPedalProgramExit : int {
    PEDAL_EXIT_OK = 0,  // stopped, or unplugged as asked
    PEDAL_EXIT_FLASH = 1,
    PEDAL_EXIT_USAGE = 2,
    PEDAL_EXIT_NO_MIDI = 3,
    PEDAL_EXIT_MIDI_STOPPED = 4,  // the MIDI service its ports were on stopped
};

// Runs the pedal on its ports until one of `stop_signals` arrives (they must be blocked in
// every thread, so the program waits for them here), the pedal is unplugged or the MIDI
// service stops; tells `out` when the ports are there and `err` why it could not start or
// why it ended. The exit code.
int run_pedal_program(const SPedalProgramOptions& options, const sigset_t& stop_signals, std::FILE* out,
                      std::FILE* err);
