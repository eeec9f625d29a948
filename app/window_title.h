#pragma once

#include <QString>

// The program's name and version, "Tandora V1.7": the title's base text, and the own
// version that the program update check compares with the server's.
QString program_title();

// Title of the main window for the state of the device link. `product_id` and `version`
// are the device information words; they matter only for a link in update mode.
QString window_title(bool link_open, bool update_mode, unsigned int product_id, unsigned int version);
