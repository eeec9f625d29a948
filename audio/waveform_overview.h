#pragma once

#include "audio/song_export.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// The shape of a whole song, small enough to keep with it and draw in a list line: the
// song cut into kOverviewColumns equal columns of frames, and for each the lowest and the
// highest sample of any channel, on -127..127 of full scale. Kept as 2 signed bytes a
// column, lowest first.
constexpr int kOverviewColumns = 1000;

// The overview of the `length` bytes of a song in the pedal's `format`; empty when the
// song has fewer frames than columns.
QByteArray waveform_overview(const unsigned char* song, size_t length, const SSongAudioFormat& format);

// The same built from the song's bytes as they pass, in blocks of any length, for a song
// that is never whole in memory; `length` is the song's whole length.
class CWaveformOverviewBuilder {
public:
    CWaveformOverviewBuilder(size_t length, const SSongAudioFormat& format);
    void add(const unsigned char* bytes, size_t count);
    // Columns not yet reached are drawn as nothing; empty as waveform_overview says.
    [[nodiscard]] QByteArray result() const { return m_overview; }

private:
    void add_frame(const unsigned char* frame);
    // Takes `samples` 24-bit samples into the column's lowest and highest.
    void add_samples(const unsigned char* bytes, size_t samples);
    void end_column();

    unsigned int m_channels;
    size_t m_frame_bytes;
    uint64_t m_frames = 0;
    uint64_t m_frame = 0;
    int m_column = 0;
    uint64_t m_column_end = 0;  // the first frame past the column
    int32_t m_low = INT32_MAX;
    int32_t m_high = INT32_MIN;
    unsigned char m_partial[6] = {};  // the start of a frame a block ended in
    size_t m_partial_bytes = 0;
    QByteArray m_overview;
};

struct SOverviewColumn {
    int low = 0;
    int high = 0;
};
// Column `column` of an overview made above; nothing drawn (0, 0) for a column the
// overview lacks.
SOverviewColumn overview_column(const QByteArray& overview, int column);
