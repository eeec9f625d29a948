#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <initializer_list>

class QSqlQuery;

// One SQLite connection to the library file, for the calling thread and the life of one
// library call: Qt's connections belong to the thread that made them, and a session's
// work moves between the window's thread and its worker.
class CLibraryConnection {
public:
    explicit CLibraryConnection(const QString& path);
    ~CLibraryConnection();
    CLibraryConnection(const CLibraryConnection&) = delete;
    CLibraryConnection& operator=(const CLibraryConnection&) = delete;

    bool is_open() const { return m_open; }
    // The last failure, for the log and for telling a damaged file from a busy one.
    const QSqlError& error() const { return m_error; }
    // True when the last failure says another program held the file: the connection does
    // not wait for it.
    bool was_busy() const;

    // Runs `sql` with `values` bound in order; false with error() set.
    [[nodiscard]] bool exec(const QString& sql, std::initializer_list<QVariant> values = {});
    // The same, leaving the rows in `query`.
    [[nodiscard]] bool select(QSqlQuery& query, const QString& sql,
                              std::initializer_list<QVariant> values = {});
    QSqlQuery query() const;

    // A write transaction that takes the write lock at once: two programs that both read
    // and then write would otherwise meet a lock SQLite cannot wait out ("database is
    // locked") instead of waiting for each other.
    [[nodiscard]] bool begin_write() { return exec(QStringLiteral("BEGIN IMMEDIATE")); }
    [[nodiscard]] bool commit();
    void roll_back();

private:
    QString m_name;
    QSqlDatabase m_db;
    QSqlError m_error;
    bool m_open = false;
};
