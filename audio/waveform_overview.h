#pragma once

#include "audio/song_export.h"

#include <QByteArray>
#include <cstddef>

// The shape of a whole song, small enough to keep with it and draw in a list line: the
// song cut into kOverviewColumns equal columns of frames, and for each the lowest and the
// highest sample of any channel, on -127..127 of full scale. Kept as 2 signed bytes a
// column, lowest first.
constexpr int kOverviewColumns = 1000;

// The overview of the `length` bytes of a song in the pedal's `format`; empty when the
// song has fewer frames than columns.
QByteArray waveform_overview(const unsigned char* song, size_t length, const SSongAudioFormat& format);

struct SOverviewColumn {
    int low = 0;
    int high = 0;
};
// Column `column` of an overview made above; nothing drawn (0, 0) for a column the
// overview lacks.
SOverviewColumn overview_column(const QByteArray& overview, int column);
