#pragma once

#include <QRect>
#include <QString>

class QFontMetrics;

// What a song's line shows, column by column: the line's first part as the list has
// always shown it ("Song 004 -- (12.34  MB)"), the song's name, its length and its
// loudness; the waveform strip comes last when the song has one.
struct SSlotLineTexts {
    QString head;
    QString name;
    QString length;
    QString loudness;
    bool strip = false;
};

// Where each column of a line goes; an empty rectangle is a column that gave way.
struct SSlotLineColumns {
    QRect head;
    QRect name;
    QRect length;
    QRect loudness;
    QRect strip;
};

// Lays a line of `line` out: the head first, `head_width` px wide (its icon included), the
// name after it; the length, the loudness and the strip in columns of one width on every
// line, at the right, so the lines align. Where the line is too narrow the strip gives
// way first, then the loudness, then the length; the name is elided last.
SSlotLineColumns slot_line_columns(const QRect& line, int head_width, const QFontMetrics& metrics,
                                   const SSlotLineTexts& texts);
