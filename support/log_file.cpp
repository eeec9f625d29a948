#include "support/log_file.h"

#include "support/app_paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

const char* const LEVEL_WORDS[] = {"DEBUG", "INFO", "WARNNING", "ERROR"};

// Messages longer than 199 characters are cut: the record buffer holds 200 bytes.
QString format_message(const char* format, va_list args)
{
    char message[200];
    std::vsnprintf(message, sizeof message, format, args);
    return QString::fromLatin1(message);
}

}  // namespace

QString log_time_stamp(const QDateTime& when)
{
    return when.toString("[yyyy-MM-dd hh:mm:ss.zzz]");
}

CLogFile::CLogFile(const QString& path, qint64 rotate_bytes) : m_path(path), m_rotate_bytes(rotate_bytes)
{
    const QFileInfo info(path);
    m_old_path = info.dir().filePath(info.completeBaseName() + ".old." + info.suffix());
}

CLogFile* CLogFile::get_instance()
{
    static CLogFile* instance = nullptr;
    static std::once_flag once;
    std::call_once(once, [] { instance = new CLogFile(log_file_path()); });
    return instance;
}

void CLogFile::log(ELogLevel level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const QString message = format_message(format, args);
    va_end(args);
    const char* word = (level >= LOG_LEVEL_DEBUG && level <= LOG_LEVEL_ERROR) ? LEVEL_WORDS[level] : "";
    append(log_time_stamp(QDateTime::currentDateTime()) + " [" + word + "] {" + message + "}");
}

void CLogFile::log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const QString message = format_message(format, args);
    va_end(args);
    append(log_time_stamp(QDateTime::currentDateTime()) + "{" + message + "}");
}

void CLogFile::append(const QString& record)
{
    std::lock_guard<std::mutex> lock(m_guard);
    // An installed program's data folder does not exist before its first record.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // The record's length in characters is close enough to its size: messages are short
    // and mostly ASCII.
    rotate_before(record.size() + 1);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Text))
        return;
    QTextStream stream(&file);
    stream << record << Qt::endl;
}

void CLogFile::rotate_before(qint64 record_bytes)
{
    const qint64 size = QFileInfo(m_path).size();
    if (size == 0 || size + record_bytes <= m_rotate_bytes)
        return;
    QFile::remove(m_old_path);
    // Should the rename fail, the log keeps growing rather than losing records.
    QFile::rename(m_path, m_old_path);
}
