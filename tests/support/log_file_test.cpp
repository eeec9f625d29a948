#include "support/log_file.h"

#include "support/app_paths.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QStringList read_lines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

}  // namespace

TEST(LogFile, StampReadsYearMonthDay)
{
    const QDateTime when(QDate(2026, 3, 5), QTime(14, 7, 9, 45));
    EXPECT_EQ(log_time_stamp(when), "[2026-03-05 14:07:09.045]");
}

// One test: the instance fixes its path at the first call, so the working folder is set
// once for the whole program.
TEST(LogFile, RecordsAppendInTheFirstWorkingFolder)
{
    QTemporaryDir dir;
    const QString old_folder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    // A portable copy, wherever the tests were built.
    set_executable_folder(dir.path());
    CLogFile* log = CLogFile::get_instance();
    set_executable_folder({});
    ASSERT_TRUE(QDir::setCurrent(old_folder));
    EXPECT_EQ(log, CLogFile::get_instance());
    EXPECT_TRUE(log->path().endsWith("/log.txt"));

    const QString day_before = log_time_stamp(QDateTime::currentDateTime()).left(11);
    log->log("CUSBPort::open failed=%s", "no service");
    log->log(LOG_LEVEL_WARNING, "level %d", 2);
    log->log(LOG_LEVEL_ERROR, "bad");
    log->log("%s", std::string(300, 'x').c_str());

    QStringList lines = read_lines(log->path());
    ASSERT_EQ(lines.size(), 4);
    const QString stamp = R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\])";
    EXPECT_TRUE(QRegularExpression("^" + stamp + R"(\{CUSBPort::open failed=no service\}$)")
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(QRegularExpression("^" + stamp + R"( \[WARNNING\] \{level 2\}$)").match(lines[1]).hasMatch())
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(" [ERROR] {bad}"));
    EXPECT_EQ(lines[3].mid(lines[3].indexOf('{')), "{" + QString(199, 'x') + "}");

    // The record's day is today's, also when midnight passed while it was written.
    const QString day_after = log_time_stamp(QDateTime::currentDateTime()).left(11);
    EXPECT_TRUE(lines[0].left(11) == day_before || lines[0].left(11) == day_after) << lines[0].toStdString();

    QFile::remove(log->path());
    log->log("again");
    EXPECT_EQ(read_lines(log->path()).size(), 1);
}

TEST(LogFile, RotatesIntoOneOldFileBeforePassingTheLimit)
{
    QTemporaryDir dir;
    // Each record is 37 bytes (stamp, braces, "record nn", line end): ten fit under 400.
    CLogFile log(dir.filePath("log.txt"), 400);
    EXPECT_EQ(log.old_path(), dir.filePath("log.old.txt"));
    for (int i = 0; i < 30; ++i)
        log.log("record %02d", i);

    auto numbers = [](const QStringList& lines) {
        QStringList found;
        for (const QString& line : lines)
            found.append(line.section("{record ", 1).chopped(1));
        return found.join(' ');
    };
    EXPECT_EQ(numbers(read_lines(log.old_path())), "10 11 12 13 14 15 16 17 18 19");
    EXPECT_EQ(numbers(read_lines(log.path())), "20 21 22 23 24 25 26 27 28 29");
    EXPECT_EQ(QFileInfo(log.path()).size(), 370);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"log.old.txt", "log.txt"}));
}
