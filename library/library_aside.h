#pragma once

#include <QDate>
#include <QString>

// Moves the library file at `path` aside as "<path>.broken-<date>" (with "-2", "-3", ...
// when that name is taken), its SQLite companions ("-wal", "-shm") along with it, so a
// fresh library can start there and the old one can still be examined. The new file name
// without its folder, or empty when the file could not be moved.
QString move_library_aside(const QString& path, const QDate& date);
