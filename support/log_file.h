#pragma once

#include <QString>
#include <QtGlobal>
#include <mutex>

class QDateTime;

enum ELogLevel : int {
    LOG_LEVEL_DEBUG = 0,
    LOG_LEVEL_INFO = 1,
    LOG_LEVEL_WARNING = 2,
    LOG_LEVEL_ERROR = 3,
};

// The stamp that opens every record, in local time, year-month-day ("[2026-12-08 03:08:00.260]").
QString log_time_stamp(const QDateTime& when);

// A record that would take the log past this size first moves the log aside to
// "log.old.txt" (replacing an older one), so the two files hold at most about 10 MB.
constexpr qint64 kLogRotateBytes = 5 * 1024 * 1024;

// Appends one-line records to a log file; the instance's file is "log.txt" where
// log_file_path() (support/app_paths.h) puts it at the first call. The file is opened and
// closed for every record, so deleting it while the program runs is harmless.
class CLogFile {
public:
    static CLogFile* get_instance();

    // The old file lies beside `path`: "log.old.txt" for "log.txt".
    explicit CLogFile(const QString& path, qint64 rotate_bytes = kLogRotateBytes);

    void log(ELogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const QString& path() const { return m_path; }
    const QString& old_path() const { return m_old_path; }

private:
    void append(const QString& record);
    void rotate_before(qint64 record_bytes);

    QString m_path;
    QString m_old_path;
    qint64 m_rotate_bytes;
    std::mutex m_guard;
};
