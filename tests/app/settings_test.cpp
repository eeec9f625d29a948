#include "app/app_config.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>

namespace {

// The settings file lives beside the executable; each test starts and ends without one.
class Settings : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(path()); }
    void TearDown() override { QFile::remove(path()); }
    static QString path() { return QCoreApplication::applicationDirPath() + "/Config.ini"; }
};

}  // namespace

TEST_F(Settings, MissingFileReadsEmptyAndWritesNothing)
{
    EXPECT_EQ(read_config("/Config/WavLoadDir"), "");
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(Settings, FoldersRoundTripThroughTheConfigGroup)
{
    write_config("/Config/WavLoadDir", "/Users/a/b/");
    write_config("/Config/WavSaveDir", QString::fromUtf8("/Users/a/歌曲 out/"));
    // On disk before the call returns, in group [Config].
    QSettings on_disk(path(), QSettings::IniFormat);
    EXPECT_EQ(on_disk.childGroups(), QStringList({"Config"}));
    EXPECT_EQ(on_disk.value("Config/WavLoadDir").toString(), "/Users/a/b/");

    EXPECT_EQ(read_config("/Config/WavLoadDir"), "/Users/a/b/");
    EXPECT_EQ(read_config("/Config/WavSaveDir"), QString::fromUtf8("/Users/a/歌曲 out/"));
    EXPECT_EQ(read_config("/Config/FirmwareDir"), "");

    write_config("/Config/WavLoadDir", "/Users/c/");
    EXPECT_EQ(read_config("/Config/WavLoadDir"), "/Users/c/");
    EXPECT_EQ(read_config("/Config/WavSaveDir"), QString::fromUtf8("/Users/a/歌曲 out/"));
}

TEST_F(Settings, ReadsAFileWrittenByHand)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Config]\nFirmwareDir=/opt/fw/\n");
    file.close();
    EXPECT_EQ(read_config("/Config/FirmwareDir"), "/opt/fw/");
}
