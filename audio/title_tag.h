#pragma once

#include <QString>

// The title an audio file's tags give (ID3, Vorbis comments, FLAC, MP4, AIFF, WAV INFO),
// trimmed; empty when it has none or its tags cannot be read.
QString title_tag(const QString& path);
