#pragma once

#include "audio/song_audio.h"
#include "audio/song_import.h"

#include <QString>
#include <QStringList>

// What the user and the log are told of an import.

// A short name of the result ("File too large!" for TOO_LONG, as the pedal results say it).
const char* song_import_result_text(ESongImportResult result);

// "The file ends at 0:02 of the 4:00 its header gives." for a file shorter than its header
// says (a cut download); empty for a whole file.
QString cut_file_note(const SSongImport& import);

// What the user is told about an import that went through with a flaw, a line each: a
// file shorter than its header says, samples clipped, a loudness short of the target as
// the peaks allow no more ("reached −15.1 LUFS; the peaks allow no more") or the gain limit
// held it back, a song too quiet to normalise left as it is. Empty for a faultless import.
[[nodiscard]] QStringList song_import_notes(const SSongImport& import);

// What the user is told about a refused import of `path`, one or two lines:
// "<name> is not an audio file Tandora can read. Tandora reads WAV, AIFF, FLAC, OGG,
// Opus and MP3 files.", or "File too large!" and the slot's and the file's lengths.
QString song_import_message(const SSongImport& import, const QString& path, const SSongTarget& target);
