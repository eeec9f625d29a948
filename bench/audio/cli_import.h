#pragma once

#include <QString>

// Prints the figures of the whole command-line import on the instant demo pedal, and of the
// source hash, each against its peer in the same run. `folder` holds the inputs; `four` is
// the 4-minute 44100 Hz stereo file. False when an input could not be made or a run failed.
bool print_cli_import_figures(const QString& folder, const QString& four);
