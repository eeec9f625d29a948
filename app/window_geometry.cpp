#include "app/window_geometry.h"

#include "app/app_config.h"

#include <QByteArray>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace {

const QString kGeometryKey = QStringLiteral("/Config/WindowGeometry");

// Wide enough for the song list to show a line's text, a typical name, the length and the
// loudness; tall enough for about 20 lines.
constexpr QSize kFirstStart(1100, 760);

}  // namespace

QSize first_start_size(const QRect& available, const QSize& minimum)
{
    const QSize fits = available.isValid() ? kFirstStart.boundedTo(available.size()) : kFirstStart;
    return fits.expandedTo(minimum);
}

void restore_window_geometry(QWidget& window)
{
    const QByteArray remembered = QByteArray::fromBase64(read_config(kGeometryKey).toLatin1());
    if (!remembered.isEmpty() && window.restoreGeometry(remembered))
        return;
    const QScreen* screen = window.screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QSize size = first_start_size(available, window.minimumSize());
    if (available.isValid())
        window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, available));
    else
        window.resize(size);
}

void remember_window_geometry(const QWidget& window)
{
    write_config(kGeometryKey, QString::fromLatin1(window.saveGeometry().toBase64()));
}
