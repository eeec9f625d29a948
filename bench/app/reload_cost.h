#pragma once

class CPedalEmulator;

// Commands the pedal answers while the window's store reloads the slot an import changed.
double reload_round_trips_after_import(CPedalEmulator& pedal);
