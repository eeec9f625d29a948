#include "library/library_schema.h"

#include "library/library_connection.h"

#include <QSqlQuery>
#include <QStringList>

namespace {

// Step i takes a library from version i to version i + 1. A released step never changes:
// a later change is a step of its own.
const QStringList kSteps[] = {
    {QStringLiteral("CREATE TABLE songs ("
                    " product_id INTEGER NOT NULL,"
                    " slot INTEGER NOT NULL,"
                    " fingerprint TEXT NOT NULL,"
                    " name TEXT NOT NULL DEFAULT '',"
                    " source_path TEXT NOT NULL DEFAULT '',"
                    " source_sha256 TEXT NOT NULL DEFAULT '',"
                    " mono_mode TEXT NOT NULL DEFAULT '',"
                    " recorded TEXT NOT NULL,"
                    " seconds REAL NOT NULL DEFAULT 0,"
                    " stored_bytes INTEGER NOT NULL DEFAULT 0,"
                    " loudness_lufs REAL,"
                    " loudness_range_lu REAL,"
                    " true_peak_dbtp REAL,"
                    " loudness_setting TEXT NOT NULL DEFAULT '',"
                    " gain_db REAL,"
                    " overview BLOB,"
                    " PRIMARY KEY (product_id, slot, fingerprint))")},
    // A source file's SHA-256, valid while the file keeps its size and modification time.
    {QStringLiteral("CREATE TABLE file_hashes ("
                    " path TEXT PRIMARY KEY,"
                    " size INTEGER NOT NULL,"
                    " modified_ms INTEGER NOT NULL,"
                    " sha256 TEXT NOT NULL)")},
};
static_assert(sizeof(kSteps) / sizeof(kSteps[0]) == kLibrarySchemaVersion, "one step per version");

}  // namespace

namespace {

// The schema version, read without a transaction; -1 when it cannot be read.
int schema_version(CLibraryConnection& connection)
{
    QSqlQuery version = connection.query();
    if (!connection.select(version, QStringLiteral("PRAGMA user_version")) || !version.next())
        return -1;
    return version.value(0).toInt();
}

}  // namespace

bool migrate_library(CLibraryConnection& connection)
{
    // A library up to date needs no write lock, which another program may hold for long.
    if (schema_version(connection) == kLibrarySchemaVersion)
        return true;
    if (!connection.begin_write())
        return false;
    QSqlQuery version = connection.query();
    if (!connection.select(version, QStringLiteral("PRAGMA user_version")) || !version.next()) {
        connection.roll_back();
        return false;
    }
    const int from = version.value(0).toInt();
    version.finish();
    for (int step = from; step < kLibrarySchemaVersion; ++step)
        for (const QString& sql : kSteps[step])
            if (!connection.exec(sql)) {
                connection.roll_back();
                return false;
            }
    if (from < kLibrarySchemaVersion &&
        !connection.exec(QStringLiteral("PRAGMA user_version = %1").arg(kLibrarySchemaVersion))) {
        connection.roll_back();
        return false;
    }
    return connection.commit();
}
