#pragma once

#include <QString>

class QDateTime;

enum ELogLevel : int {
    LOG_LEVEL_DEBUG = 0,
    LOG_LEVEL_INFO = 1,
    LOG_LEVEL_WARNING = 2,
    LOG_LEVEL_ERROR = 3,
};

// The stamp that opens every record, in local time with the day before the month.
QString log_time_stamp(const QDateTime& when);

// Appends one-line records to "log.txt" in the working folder of the first call. The file
// is opened and closed for every record, so deleting it while the program runs is harmless.
class CLogFile {
public:
    static CLogFile* get_instance();

    void log(ELogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const QString& path() const { return m_path; }

private:
    CLogFile();
    void append(const QString& record);

    QString m_path;
};
