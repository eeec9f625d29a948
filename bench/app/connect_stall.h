#pragma once

class CPedalEmulator;

// The largest gap, in ms, between ticks of a 1 ms timer on the GUI thread while the window
// finds `pedal` (a PULSE RING, plugged in after the window came up), opens it and reads its
// 30 slots, each holding a song, over the emulator's realistic link.
double max_gui_stall_ms_at_connect(CPedalEmulator& pedal);
