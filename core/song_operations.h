#pragma once

#include "core/operation_result.h"

#include <QString>

class CPedalSession;
class CTask;

// The song commands, run on a worker with a task for progress and cancel. Slots are
// 0-based. None of them reloads the store; the caller reloads what the command changed.

// Converts the audio file at `path` to the pedal's format and writes it into `slot`. The
// slot's record is committed last, so a cancelled or failed import leaves the old song.
[[nodiscard]] COperationResult import_song(CPedalSession& session, const QString& path, int slot, CTask* task);

// Reads `slot` and saves it at `path` as a 48000 Hz, 24-bit WAV file. The file is
// replaced only once it is whole: a cancelled or failed export leaves a file that was
// there as it was and creates none.
[[nodiscard]] COperationResult export_song(CPedalSession& session, int slot, const QString& path, CTask* task);

[[nodiscard]] COperationResult delete_song(CPedalSession& session, int slot);
