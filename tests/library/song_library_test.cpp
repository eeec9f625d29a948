#include "library/song_library.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uint32_t kPulseRing = 0x2712;

SLibrarySong song_at(unsigned slot, const QString& fingerprint)
{
    SLibrarySong song;
    song.product_id = kPulseRing;
    song.slot = slot;
    song.fingerprint = fingerprint;
    song.name = fingerprint;
    song.date = QDateTime::currentDateTimeUtc();
    return song;
}

// Records `count` songs one transaction each, fingerprints "<who>-<i>"; true when every
// write went through and nothing was reported to the user.
bool record_many(const QString& path, const QString& who, unsigned count)
{
    CSongLibrary library(path);
    bool all = true;
    for (unsigned i = 0; i < count; ++i)
        all = library.record(song_at(i, QStringLiteral("%1-%2").arg(who).arg(i)), {}) && all;
    return all && library.take_notes().isEmpty();
}

class SongLibraryFile : public ::testing::Test {
protected:
    QString path() const { return m_folder.filePath("library.sqlite"); }
    QTemporaryDir m_folder;
};

}  // namespace

// The window and the command-line tool write at the same moment, from a file neither has
// created yet: both wait their turn, and every row arrives.
TEST_F(SongLibraryFile, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr unsigned kEach = 60;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(record_many(path(), "child", kEach) ? 0 : 1);
    const bool parent_ok = record_many(path(), "parent", kEach);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(parent_ok);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    CSongLibrary library(path());
    std::set<QString> fingerprints;
    for (const SLibrarySong& song : library.songs_of(kPulseRing))
        fingerprints.insert(song.fingerprint);
    EXPECT_EQ(fingerprints.size(), 2 * kEach);
}

TEST_F(SongLibraryFile, DamagedFileIsSetAsideAndAFreshOneStarted)
{
    const QByteArray garbage("This was a library until a disk error.");
    const QString aside = path() + ".broken-" + QDate::currentDate().toString(Qt::ISODate);
    for (const QString& expected : {aside, aside + "-2"}) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(garbage);
        file.close();
        CSongLibrary library(path());
        EXPECT_TRUE(library.record(song_at(3, "fresh"), {}));
        EXPECT_EQ(library.find(kPulseRing, 3, "fresh")->name, "fresh");
        const QStringList notes = library.take_notes();
        ASSERT_EQ(notes.size(), 1);
        EXPECT_TRUE(notes[0].contains(QFileInfo(expected).fileName())) << notes[0].toStdString();
        QFile kept(expected);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), garbage);
        ASSERT_TRUE(QFile::remove(path()));
    }
}

// A row replaced on the pedal goes; rows of other pedals of the model with the same slot stay.
TEST_F(SongLibraryFile, RecordReplacesOnlyTheSongItOverwrote)
{
    CSongLibrary library(path());
    ASSERT_TRUE(library.record(song_at(0, "first pedal"), {}));
    ASSERT_TRUE(library.record(song_at(0, "second pedal"), {}));
    ASSERT_TRUE(library.record(song_at(0, "first pedal again"), "first pedal"));
    ASSERT_TRUE(library.rename(kPulseRing, 1, "unknown", "Named later"));
    std::set<QString> names;
    for (const SLibrarySong& song : library.songs_of(kPulseRing))
        names.insert(song.name);
    EXPECT_EQ(names, (std::set<QString>{"second pedal", "first pedal again", "Named later"}));
}
