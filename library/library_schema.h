#pragma once

class CLibraryConnection;

// The schema version this program writes (SQLite's user_version).
constexpr int kLibrarySchemaVersion = 2;

// Brings the library's schema up to kLibrarySchemaVersion in one write transaction, step
// by step from the version it has; a fresh file starts at 0. A file of a newer program is
// left as it is: its steps only ever add. False on a failure (error() tells it).
[[nodiscard]] bool migrate_library(CLibraryConnection& connection);
