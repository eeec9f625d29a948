#pragma once

#include <QString>

// Remembered folders and settings in "Config.ini", group [Config]; keys are passed as
// "/Config/<name>". A missing key or file reads as the empty text; a file that cannot be
// written is silently not updated. The path is built afresh on every call: beside a
// portable executable, in the user's configuration folder for an installed one.
QString read_config(const QString& key);
void write_config(const QString& key, const QString& value);
