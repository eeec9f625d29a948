#pragma once

#include <QString>
#include <vector>

// What answered on one pair of equally named MIDI ports.
struct SPortLine {
    QString name;
    // The port word a session opens: output position << 16 | input position.
    unsigned int ports = 0;
    bool pedal = false;        // a pedal answered, in either mode
    bool update_mode = false;  // in update mode, the only mode the program works in
    QString model;             // empty when the pedal's model is not known
    unsigned int version = 0;
    unsigned int product_id = 0;
};

// Every port pair, probed in turn, in input-port order. False, with the sentence that says
// so in `error` (the library's own text goes to the log), when the MIDI service cannot be
// reached.
[[nodiscard]] bool list_pedal_ports(std::vector<SPortLine>& lines, QString& error);
