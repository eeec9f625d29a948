#pragma once

#include "core/program_title.h"

#include <QString>

struct SPedalIdentity;

// Title of the main window for the pedal: no device, a model and its firmware version, an
// unknown device, or a pedal that must be put into update mode. A demo pedal's title reads
// "Demo" where a real one's reads "Connected".
QString window_title(const SPedalIdentity& pedal, bool demo = false);
