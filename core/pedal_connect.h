#pragma once

#include <QStringList>

class CPedalSession;

// How a look for the pedal ended, with what the user must be told, in order: a pedal to
// put into update mode, the MIDI service's failure, bad replies, "Load song info failed !",
// songs kept from before an interrupted write.
struct SPedalConnect {
    // A pedal in update mode is open, and its slots are read where it keeps songs.
    bool opened = false;
    // The pedal is open but its slots could not be read.
    bool load_failed = false;
    QStringList messages;
};

// Searches the MIDI ports for a pedal, opens it and reads its song slots.
[[nodiscard]] SPedalConnect connect_pedal(CPedalSession& session);

// Opens the pedal on the port pair `ports` (see pedal_ports.h) and reads its song slots.
[[nodiscard]] SPedalConnect connect_pedal_on(CPedalSession& session, unsigned int ports);

// Asks the open pedal whether it is still there, and closes the link when it is not; the
// messages are what the asking met.
[[nodiscard]] SPedalConnect keep_pedal(CPedalSession& session);
