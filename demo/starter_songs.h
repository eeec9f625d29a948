#pragma once

#include "core/operation_result.h"

class CPedalSession;
class CTask;

// A new demo pedal is not empty: the program writes a few short songs of its own making
// (a chord and a simple beat) into the first slots, in the connected model's format.
[[nodiscard]] COperationResult write_starter_songs(CPedalSession& session, CTask* task);

// Finds the pedal as the program does and gives it the starter songs; for a new demo pedal.
void give_starter_songs();
