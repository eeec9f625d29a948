#pragma once

#include "audio/loudness_meter.h"
#include "audio/song_audio.h"
#include "audio/song_import.h"
#include "core/operation_result.h"
#include "library/library_song.h"

#include <QByteArray>
#include <QString>
#include <optional>

class CPedalSession;

// The song library's side of the song commands: what they record of the songs they move
// and what the front ends are shown of them. Slots are 0-based. A library that cannot be
// used or written never fails a command; the session's notes tell the user.

// What the library recorded of the song `slot` holds now; nothing for an empty slot, a
// song the library does not know, or a slot written since by anyone else.
std::optional<SLibrarySong> known_song(const CPedalSession& session, int slot);
// Its name; empty when it has none.
QString known_name(const CPedalSession& session, int slot);

// The name an import of `path` gives its song: the file's title tag, or its file name
// without the extension.
QString imported_song_name(const QString& path);

// Records the song an import of `path` just wrote into `slot`, in place of the song the
// slot held before (`replaced_fingerprint`, empty for none), with the file's hash and the
// loudness `import` found, its setting and the gain it applied, and the song's `overview`.
void record_import(CPedalSession& session, int slot, const QString& replaced_fingerprint, const QString& path,
                   EMonoMode mono_mode, const SSongImport& import, const QByteArray& overview);
// Records the song Tandora just wrote into `slot` from no file (a restore, a starter song):
// its `length` bytes at `song`, and what it comes with, the name and the loudness figures
// of `facts`.
void record_named_song(CPedalSession& session, int slot, const QString& replaced_fingerprint,
                       const SLibrarySong& facts, const unsigned char* song, size_t length);
// Records the song just read whole from `slot` (its `length` bytes at `song`) unless the
// library knows it already, and measures its loudness and draws its overview where the
// library lacks them. The loudness figures, or nothing when they could not be measured.
std::optional<SLoudness> record_read(CPedalSession& session, int slot, const unsigned char* song,
                                     size_t length);
// Moves what the library knows of a song (`known`, found before its record moved) to the
// slot it is in now, `to`, under that slot's fingerprint after its reload.
void record_moved(CPedalSession& session, const std::optional<SLibrarySong>& known, int to);
// Drops what the library knows of the song `slot` held, with `fingerprint`, once deleted.
void forget_song(CPedalSession& session, int slot, const QString& fingerprint);

// Names the song in `slot`; an empty name removes it. "Song 004 is now named Intro jam."
[[nodiscard]] COperationResult rename_song(CPedalSession& session, int slot, const QString& name);

// The file an export of `slot` proposes: "Intro jam.wav" with the characters a file system
// refuses replaced by "_", or "Song 004.wav" when the song has no name.
QString export_file_name(const CPedalSession& session, int slot);
