#pragma once

#include "audio/audio_source.h"
#include "audio/song_audio.h"
#include "audio/song_converter.h"
#include "audio/song_import.h"

#include <QFile>
#include <QIODevice>
#include <QString>
#include <memory>
#include <optional>

class CTask;

// The steps an import is made of, shared by the import in memory (song_import.cpp), its
// check and its second reading (song_file_check.cpp, song_file_reader.cpp). Each step that
// refuses the file says why in `import`.

// The decoder for the file at the device's position: the WAV reader or libsndfile.
std::unique_ptr<CAudioSource> open_song_source(QIODevice& device, SSongImport& import);
SConversion song_conversion_for(const SSongTarget& target);
// False, with the reason, for a target of other than 1 or 2 channels.
bool song_channels_made(const SSongTarget& target, SSongImport& import);
bool open_song_file(QFile& file, SSongImport& import);
void refuse_for_memory(SSongImport& import, const QString& what);
void take_conversion_failure(EConvertResult result, const SConversionCounts& counts,
                             const CAudioSource& source, const SSongTarget& target, SSongImport& import);
// Logs a refusal; OK and CANCELLED are not logged.
void log_song_refusal(const QString& name, const SSongImport& import);
// The import (or, without `keep_song`, its check) of the file at the device's position.
void import_from_device(QIODevice& device, const SSongTarget& target, CTask* task, SSongImport& import,
                        bool keep_song);
// An import's check without converting: the file read to its end, the song's length from
// the frames read. To normalise (`target_lufs`), its sound is measured at its own rate, true
// peak included, and the gain chosen from it; otherwise the loudness is left to the
// conversion that follows.
void measure_song_file(CAudioSource& source, const SSongTarget& target, std::optional<double> target_lufs,
                       CTask* task, SSongImport& import);
