#include "support/log_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
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
    return when.toString("[yyyy-dd-MM hh:mm:ss.zzz]");
}

CLogFile::CLogFile() : m_path(QDir::currentPath() + "/log.txt") {}

CLogFile* CLogFile::get_instance()
{
    static CLogFile* instance = nullptr;
    static std::once_flag once;
    std::call_once(once, [] { instance = new CLogFile(); });
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
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Text))
        return;
    QTextStream stream(&file);
    stream << record << Qt::endl;
}
