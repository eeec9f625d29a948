#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// The size a window opens at on its first start: room for the song list's names, lengths
// and loudness (about 1100 x 760), less on a screen whose free area is smaller, never less
// than `minimum`.
QSize first_start_size(const QRect& available, const QSize& minimum);

// Gives `window` the size, place and maximised state it had when last remembered, or, the
// first time, the first-start size centred on its screen. Call it once the minimum size
// is set: the page anchors measure growth from the minimum.
void restore_window_geometry(QWidget& window);
// Keeps the window's geometry for the next start, in the file the install-location rule
// gives Config.ini.
void remember_window_geometry(const QWidget& window);
