#pragma once

#include <QString>

// The program's name and version, "Tandora V1.7": the window title's base text, and the
// own version that the program update check compares with the server's.
QString program_title();
