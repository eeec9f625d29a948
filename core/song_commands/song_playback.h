#pragma once

#include "core/operation_result.h"
#include "core/song_commands/song_operations.h"

#include <QString>
#include <memory>

class CPedalSession;
class CSongStream;
class CTask;

// Songs made ready for a player: a slot streamed from the pedal as it is read, and a file
// converted as an import would write it. Slots are 0-based.

// The stream a play of `slot` fills: the song's format and stored length. Null for an
// empty slot, a pedal without songs, or a length memory cannot be had for.
std::shared_ptr<CSongStream> slot_stream(const CPedalSession& session, int slot);

// Reads `slot` into `stream` (made by slot_stream) page by page, telling the stream as
// each page arrives, so playing can start at once. A cancel (Stop) ends the read at the
// next page with no further command to the pedal. The stream is ended in every case,
// whole only when the read was. A whole song passes into the library as an export's does
// (its overview and loudness, when the library lacks them).
[[nodiscard]] COperationResult stream_slot(CPedalSession& session, int slot, CSongStream& stream,
                                           CTask* task);

// Converts the file at `path` as an import into the session's pedal with `settings`
// would, without writing it: OK with `stream` whole and holding the very bytes the import
// would write, or the result that refuses the file.
[[nodiscard]] COperationResult convert_for_playing(CPedalSession& session, const QString& path,
                                                   const SImportSettings& settings, CTask* task,
                                                   std::shared_ptr<CSongStream>& stream);
