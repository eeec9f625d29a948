#pragma once

#include "device/midi_transfer.h"
#include "hex_diff.h"

#include <vector>

// `message` arriving at the transfer, as RtMidi's input callback hands it over.
inline void receive(CMIDITranfer& transfer, const Bytes& message)
{
    std::vector<unsigned char> copy(message.begin(), message.end());
    transfer.ReceiveEvent(&copy);
}
