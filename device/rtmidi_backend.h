#pragma once

#include "device/midi_system.h"

// The host's MIDI service through RtMidi, with the library's default back end. Every
// library error reaches the caller as CMidiError carrying the library's message.
CMidiSystem& rtmidi_system();
