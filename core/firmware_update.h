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
// After a success the link's device information is read again; where the version did not
// change, the result's detail asks for a restart of the pedal. A failure because the
// pedal's ports went away (the link's waits were aborted) says so in the detail.
// The task may cancel the update until its first erase; from there it runs to its end,
// since a pedal left half-written has no program to start.
[[nodiscard]] COperationResult update_firmware(CUSBConnect& link, const QString& path, bool force,
                                               CTask* task);

// Downloads the online list's package at `server_path` (below the update server's
// address) into a temporary file and installs it as update_firmware does. A failed download
// says "Download firmware failed !", and the result's detail line says why.
[[nodiscard]] COperationResult update_firmware_online(CUSBConnect& link, const QString& server_path,
                                                      bool force, CTask* task);
