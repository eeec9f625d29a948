#include "library/library_connection.h"

#include <QSqlQuery>
#include <atomic>

namespace {

QString unique_connection_name()
{
    static std::atomic<unsigned int> next{0};
    return QStringLiteral("tandora-library-%1").arg(next++);
}

}  // namespace

CLibraryConnection::CLibraryConnection(const QString& path) : m_name(unique_connection_name())
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    // Busy is answered at once: the library waits for another program itself, on a clock
    // it can bound per call (CSongLibrary).
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
    m_open = m_db.open();
    if (!m_open)
        m_error = m_db.lastError();
}

CLibraryConnection::~CLibraryConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool CLibraryConnection::was_busy() const
{
    // SQLITE_BUSY and SQLITE_LOCKED.
    const QString code = m_error.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

QSqlQuery CLibraryConnection::query() const
{
    return QSqlQuery(m_db);
}

bool CLibraryConnection::select(QSqlQuery& query, const QString& sql, std::initializer_list<QVariant> values)
{
    if (!m_open)
        return false;
    if (!query.prepare(sql)) {
        m_error = query.lastError();
        return false;
    }
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        m_error = query.lastError();
        return false;
    }
    return true;
}

bool CLibraryConnection::exec(const QString& sql, std::initializer_list<QVariant> values)
{
    QSqlQuery done(m_db);
    return select(done, sql, values);
}

bool CLibraryConnection::commit()
{
    if (exec(QStringLiteral("COMMIT")))
        return true;
    roll_back();
    return false;
}

void CLibraryConnection::roll_back()
{
    const QSqlError failure = m_error;
    (void)exec(QStringLiteral("ROLLBACK"));
    m_error = failure;
}
