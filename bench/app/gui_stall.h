#pragma once

class CResultPrompt;
class CPedalEmulator;

// The largest gap, in ms, between ticks of a 1 ms timer on the GUI thread while the window
// imports a 4-minute song into `pedal` (a PULSE RING) answering each command 1 ms late.
double max_gui_stall_ms(CPedalEmulator& pedal, CResultPrompt& prompt);
