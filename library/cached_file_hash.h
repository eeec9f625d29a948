#pragma once

#include <QString>

class CSongLibrary;

// The SHA-256 of the file at `path` (file_sha256), read again only when the library has
// none for the file at its present size and modification time; a read file's hash is kept.
// Empty when the file cannot be read.
QString cached_file_sha256(CSongLibrary& library, const QString& path);

// Keeps `sha256`, found while the file at `path` was read for something else, for the file
// at its present size and modification time; nothing for an empty hash.
void remember_file_sha256(CSongLibrary& library, const QString& path, const QString& sha256);
