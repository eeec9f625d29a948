#pragma once

#include <string>
#include <vector>

// A candidate pedal: an input and an output port of exactly the same name.
struct SMidiPortPair {
    std::string name;
    // The port word the link opens: output position << 16 | input position.
    unsigned int ports;
};

// Every pair of equally named ports, in input-port order.
// Throws CMidiError when the MIDI service cannot be reached.
std::vector<SMidiPortPair> list_midi_port_pairs();
