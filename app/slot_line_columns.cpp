#include "app/slot_line_columns.h"

#include <QFontMetrics>
#include <algorithm>

namespace {

// The strip takes at most this many pixels and needs this many to be worth drawing.
constexpr int kStripWidest = 100;
constexpr int kStripLeast = 40;
constexpr int kGap = 12;
// A name wider than this does not push the other columns out; it is elided instead.
constexpr int kNameRoom = 220;

// The width of a column holding `text` or, if wider, the widest text of its kind.
int column_width(const QFontMetrics& metrics, const QString& text, const QString& widest)
{
    return std::max(metrics.horizontalAdvance(text), metrics.horizontalAdvance(widest)) + kGap;
}

}  // namespace

SSlotLineColumns slot_line_columns(const QRect& line, int head_width, const QFontMetrics& metrics,
                                   const SSlotLineTexts& texts)
{
    SSlotLineColumns columns;
    columns.head = QRect(line.left(), line.top(), std::min(head_width, line.width()), line.height());
    int length = texts.length.isEmpty() ? 0 : column_width(metrics, texts.length, QStringLiteral("00:00"));
    int loudness = texts.loudness.isEmpty()
                       ? 0
                       : column_width(metrics, texts.loudness, QStringLiteral("\u221200.0 LUFS"));
    int strip = texts.strip ? kStripWidest + kGap : 0;
    const int rest = line.width() - columns.head.width();
    const int name = std::min(metrics.horizontalAdvance(texts.name) + kGap, kNameRoom);
    const auto needed = [&] { return name + length + loudness + strip; };
    // A strip narrower than its widest still shows the song's shape.
    if (needed() > rest && strip > 0)
        strip = std::max(0, rest - name - length - loudness);
    if (strip > 0 && strip < kStripLeast + kGap)
        strip = 0;
    if (needed() > rest)
        loudness = 0;
    if (needed() > rest)
        length = 0;
    int right = line.right() + 1;
    const auto take = [&](int width) {
        right -= width;
        return width > 0 ? QRect(right, line.top(), width - kGap, line.height()) : QRect();
    };
    columns.strip = take(strip);
    columns.loudness = take(loudness);
    columns.length = take(length);
    columns.name = QRect(columns.head.right() + 1, line.top(), std::max(0, right - columns.head.right() - 1),
                         line.height());
    return columns;
}
