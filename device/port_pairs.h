#pragma once

#include "device/midi_system.h"

#include <string>
#include <vector>

// A candidate pedal: an input and an output port that belong together by the service's
// naming (see EPortNaming).
struct SMidiPortPair {
    // The name both ports share: on JACK the port name under the client name without
    // JACK's suffix ("PULSE RING:PULSE RING").
    std::string name;
    // The port word the link opens: output position << 16 | input position.
    unsigned int ports;
};

// The name under which a port finds its partner: the name itself, or on JACK the port
// under its client's name without JACK's suffix.
std::string midi_pairing_key(const std::string& name, EPortNaming naming);

// The pairs among the names an input and an output enumerate, in input-port order.
std::vector<SMidiPortPair> pair_midi_ports(const std::vector<std::string>& input_names,
                                           const std::vector<std::string>& output_names, EPortNaming naming);

// Every pair the installed MIDI system lists now.
// Throws CMidiError when the MIDI service cannot be reached.
std::vector<SMidiPortPair> list_midi_port_pairs();
