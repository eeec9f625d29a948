#pragma once

#include <QString>

// The SHA-256 of the file at `path` in lower-case hex, read a piece at a time; empty when
// it cannot be read.
QString file_sha256(const QString& path);
