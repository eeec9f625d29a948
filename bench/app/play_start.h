#pragma once

class CPedalEmulator;

// From a click on Play in the window to the first frames in the sound output, in ms, for a
// mono song of a minute read over the emulator's realistic link.
double play_start_ms(CPedalEmulator& pedal);
