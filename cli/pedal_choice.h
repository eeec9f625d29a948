#pragma once

#include "device/port_pairs.h"

#include <QString>
#include <vector>

class CPedalSession;
struct SCliContext;

// What answered on one port pair.
struct SPortReport {
    SMidiPortPair pair;
    bool pedal = false;        // a pedal answered, in either mode
    bool update_mode = false;  // in update mode, the only mode the program works in
    QString model;
    unsigned int version = 0;
    unsigned int product_id = 0;
};

// Every port pair, probed in turn. False, with the MIDI library's text in `error`, when
// the MIDI service cannot be reached.
[[nodiscard]] bool probe_port_pairs(std::vector<SPortReport>& reports, QString& error);

// Opens the pedal --port names (a name, or a number from 'ports'), or else the one pedal
// in update mode; the exit code (3 when there is none, 2 when several need --port).
[[nodiscard]] int open_chosen_pedal(SCliContext& context, CPedalSession& session);
