#pragma once

#include "core/program_title.h"

#include <QString>

// Title of the main window for the state of the device link. `product_id` and `version`
// are the device information words; they matter only for a link in update mode.
// A demo pedal's title reads "Demo" where a real one's reads "Connected".
QString window_title(bool link_open, bool update_mode, unsigned int product_id, unsigned int version,
                     bool demo = false);
