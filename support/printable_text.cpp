#include "support/printable_text.h"

namespace {

// The explicit direction embeddings, overrides and isolates (U+202A..U+202E,
// U+2066..U+2069): they change the order in which the rest of a line is shown.
bool is_direction_control(QChar c)
{
    const ushort code = c.unicode();
    return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

QString printable_text(const QString& text)
{
    QString printable;
    printable.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control && !is_direction_control(c))
            printable += c;
    }
    return printable;
}
