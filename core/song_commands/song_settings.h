#pragma once

#include "audio/song_audio.h"
#include "audio/song_export.h"

#include <QString>
#include <optional>

struct SNandFlashConfig;

// What the song commands and the library's records of them both need to know of a song:
// the pedal's stored format and the names of the mono settings.

// The audio side of the pedal's stored `format`.
SSongAudioFormat song_audio_format(const SNandFlashConfig& format);

// The mono setting as the settings file and the command line spell it: "left", "mix".
const char* mono_mode_name(EMonoMode mode);
std::optional<EMonoMode> mono_mode_from_name(const QString& name);
// The mono setting as the library records it with a song: only a mono pedal's songs have
// one; empty for a stereo one or without a format.
QString recorded_mono_mode(const SNandFlashConfig* format, EMonoMode mode);
