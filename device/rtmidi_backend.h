#pragma once

#include "device/midi_system.h"

// The host's MIDI service through RtMidi, on the service chosen last (the library's
// default until then). Every library error reaches the caller as CMidiError carrying the
// library's message.
CMidiSystem& rtmidi_system();
// Objects made from now on speak to `api`.
void choose_rtmidi_api(EMidiHostApi api);
