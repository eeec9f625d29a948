#pragma once

#include "core/operation_result.h"

#include <QString>

class CPedalSession;
class CQuestions;
class CTask;
struct SFirmwareEntry;

// Installs the firmware package at `path` into the session's pedal: the package check,
// the product check (`force` installs a package made for another product, the window's
// Shift key), every section's layout and image; once the whole package is checked, the
// user is asked through `questions` ("Write firmware <file name> into the PULSE RING? ..."),
// and a No changes nothing; then the erase pass in ascending and the write pass in
// descending order of the sections' start addresses. The result is "Successful!" or
// "Failed!", after a note with the failing step's reason (a refused package's own text,
// with a plain sentence under it).
// After a success the link's device information is read again; where the version did not
// change, the result's detail asks for a restart of the pedal. A failure because the
// pedal's ports went away (the link's waits were aborted) says so in the detail.
// The task may cancel the update until its first erase; from there it runs to its end,
// since a pedal left half-written has no program to start.
[[nodiscard]] COperationResult update_firmware(CPedalSession& session, const QString& path, bool force,
                                               CQuestions& questions, CTask* task);

// Downloads the online list's package `entry` into a temporary file and installs it as
// update_firmware does, asking by the entry's name. A package no newer than the pedal's
// firmware is first asked about too. A failed download notes "Download firmware failed !", and the
// result's detail line says why.
[[nodiscard]] COperationResult update_firmware_online(CPedalSession& session, const SFirmwareEntry& entry,
                                                      bool force, CQuestions& questions, CTask* task);
