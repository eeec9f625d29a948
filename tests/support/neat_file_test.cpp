#include "support/neat.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

class NeatFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.path() + "/" + name; }
};

TEST_F(NeatFiles, OpenFailureNamesOnlyTheFileWhenAsked)
{
    QFile file;
    QString error;
    EXPECT_EQ(NEAT::OpenFile(file, path("missing.wav"), QIODevice::ReadOnly, &error), 0);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(error, "Open file 'missing.wav' failed, it may be occupied by other process");
    EXPECT_EQ(NEAT::OpenFile(file, path("missing.wav"), QIODevice::ReadOnly, nullptr), 0);
}

TEST_F(NeatFiles, WriteThenReadBackAndPastTheEnd)
{
    const unsigned char data[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(NEAT::WriteFile(path("a.bin"), data, 5), 1);

    unsigned char back[3] = {0xEE, 0xEE, 0xEE};
    ASSERT_EQ(NEAT::ReadFile(path("a.bin"), 1, 3, back), 1);
    EXPECT_EQ(back[0], 2);
    EXPECT_EQ(back[2], 4);

    unsigned char untouched[2] = {0xEE, 0xEE};
    EXPECT_EQ(NEAT::ReadFile(path("a.bin"), 100, 2, untouched), 1);
    EXPECT_EQ(untouched[0], 0xEE);
    EXPECT_EQ(untouched[1], 0xEE);

    // A rewrite truncates the old content.
    ASSERT_EQ(NEAT::WriteFile(path("a.bin"), data, 2), 1);
    EXPECT_EQ(QFile(path("a.bin")).size(), 2);

    QString error;
    EXPECT_EQ(NEAT::ReadFile(path("none.bin"), 0, 2, untouched, &error), 0);
    EXPECT_EQ(error, "Open file 'none.bin' failed, it may be occupied by other process");
    EXPECT_EQ(NEAT::WriteFile(path("no/such/folder.bin"), data, 2, &error), 0);
    EXPECT_EQ(error, "Open file 'folder.bin' failed, it may be occupied by other process");
}

TEST_F(NeatFiles, RemoveIfExistIsSilentEitherWay)
{
    const unsigned char byte = 7;
    ASSERT_EQ(NEAT::WriteFile(path("x"), &byte, 1), 1);
    NEAT::remove_if_exist(path("x"));
    EXPECT_FALSE(QFile::exists(path("x")));
    NEAT::remove_if_exist(path("x"));
}

TEST(FolderFromPath, AbsoluteWithTrailingSlash)
{
    EXPECT_EQ(NEAT::get_folder_from_path("/Users/a/song.wav"), "/Users/a/");
    EXPECT_EQ(NEAT::get_folder_from_path("song.wav"), QDir::currentPath() + "/");
    EXPECT_EQ(NEAT::get_folder_from_path("/song.wav"), "/");
    QString out;
    EXPECT_EQ(NEAT::get_folder_from_path("/Users/a/b/song.wav", out), "/Users/a/b/");
    EXPECT_EQ(out, "/Users/a/b/");
}

TEST(AppDir, IsTheExecutableFolderAndStaysCached)
{
    const QString first = NEAT::GetAppDir();
    EXPECT_EQ(first, QCoreApplication::applicationDirPath() + "/");
    EXPECT_EQ(NEAT::GetAppDir(), first);
}

TEST(SleepAndPump, SleepWaitsWithoutRunningEventsAndPumpRunsThem)
{
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    NEAT::Sleep(50);
    EXPECT_GE(clock.elapsed(), 50);
    EXPECT_FALSE(fired);
    NEAT::Sleep(0);
    EXPECT_EQ(NEAT::PeekAndPump(), 1);
    EXPECT_TRUE(fired);
}
