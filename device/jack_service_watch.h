#pragma once

#include "device/midi_system.h"

#include <jack/jack.h>

// A JACK client of our own that has no ports and is never activated, kept only to hear the
// server end: RtMidi's JACK clients do not report it, so a reply wait would run out its
// whole time-out on a server that is gone.
class CJackServiceWatch {
public:
    // Tells `callback` once, on libjack's thread, when the server ends; at once, on this
    // thread, when no server can be reached now.
    CJackServiceWatch(MidiServiceEndCallback callback, void* user);
    // Closes the client: no call comes after.
    ~CJackServiceWatch();
    CJackServiceWatch(const CJackServiceWatch&) = delete;
    CJackServiceWatch& operator=(const CJackServiceWatch&) = delete;

    // The server ends that any watch has heard in this process so far.
    static unsigned int ends_heard();

private:
    static void server_ended(jack_status_t code, const char* reason, void* watch);

    MidiServiceEndCallback m_callback;
    void* m_user;
    jack_client_t* m_client = nullptr;
};
