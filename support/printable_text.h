#pragma once

#include <QString>

// Text from outside (a server's list, a file's tags) as it may be printed or shown: without
// control characters, which could move a terminal's cursor, clear its screen or turn the
// reading direction of what follows.
[[nodiscard]] QString printable_text(const QString& text);
