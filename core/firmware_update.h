#pragma once

#include "core/operation_result.h"

#include <QString>

class CUSBConnect;
class CTask;

// Installs the firmware package at `path` into the pedal on `link`: the package check,
// the product check (`force` installs a package made for another product, the window's
// Shift key), every section's layout and image, then the erase pass in ascending and the
// write pass in descending order of the sections' start addresses. Every step that fails
// shows its own reason; the result is "Successful!" or "Failed!" for the caller to show.
// The task may cancel the update until its first erase; from there it runs to its end,
// since a pedal left half-written has no program to start.
[[nodiscard]] COperationResult update_firmware(CUSBConnect& link, const QString& path, bool force, CTask* task);
